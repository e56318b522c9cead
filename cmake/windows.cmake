# What only the Windows build has: the published name of the window's executable (the self-update
# replaces "Quillon.exe"), and an icon and version information in both executables.
enable_language(RC)
set_target_properties(quillon PROPERTIES OUTPUT_NAME Quillon)

function(quillon_add_windows_resources target description)
    set(QUILLON_RC_TARGET ${target})
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    set(QUILLON_RC_FILE_NAME "${output_name}.exe")
    set(QUILLON_RC_DESCRIPTION "${description}")
    set(QUILLON_RC_ICON "${PROJECT_SOURCE_DIR}/resources/Icon.ico")
    set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
    configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in" "${rc_file}" @ONLY)
    target_sources(${target} PRIVATE "${rc_file}")
endfunction()

quillon_add_windows_resources(quillon "Quillon: firmware images for STM32 LoRa boards")
quillon_add_windows_resources(quillon-cli "quillon-cli: firmware images for STM32 LoRa boards, from the command line")
