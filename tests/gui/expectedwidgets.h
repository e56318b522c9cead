#pragma once

#include <QList>
#include <QString>

// Every widget of the main window as the rest of the program reaches it: object name, class, the
// nearest named widget that holds it, its caption and the states a first start (no config.conf)
// shows. Settings, templates and the tab classes find widgets by these names.
struct ExpectedWidget {
    enum State { Unspecified = -1, Off = 0, On = 1 };

    QString name;
    QString className;
    QString container; // empty: the window itself
    QString caption;   // null: the widget has no caption of its own
    State checked = Unspecified;
    State enabled = Unspecified;
};

inline QList<ExpectedWidget> expectedWidgets()
{
    using S = ExpectedWidget::State;
    const QString none;
    QList<ExpectedWidget> widgets = {
        {"centralwidget", "QWidget", "", none},
        {"tabWidget", "QTabWidget", "centralwidget", none},
        {"Reset", "QPushButton", "centralwidget", "Сбросить все"},
        {"Converter2BIN", "QPushButton", "centralwidget", "IntelHEX to BIN"},
        {"Converter2IntelHEX", "QPushButton", "centralwidget", "BIN to IntelHEX", S::Unspecified, S::On},
        {"MemoryMapButton", "QPushButton", "centralwidget", "Карта"},
        {"LoRa", "QWidget", "tabWidget", "LoRa"},
        {"Binary", "QWidget", "tabWidget", "Binary"},
        {"IntelHEX", "QWidget", "tabWidget", "IntelHEX"},

        {"LoRaBOOTGroup", "QGroupBox", "LoRa", "Бутлоадер"},
        {"LoRaComboBOOT", "QComboBox", "LoRaBOOTGroup", none},
        {"LoRaBOOTExtension", "QGroupBox", "LoRaBOOTGroup", "Расширение"},
        {"LoRaBINBOOT", "QRadioButton", "LoRaBOOTExtension", ".bin", S::On},
        {"LoRaHEXBOOT", "QRadioButton", "LoRaBOOTExtension", ".hex", S::Off},
        {"LoRaSearchBOOT", "QPushButton", "LoRaBOOTGroup", "..."},
        {"LoRaFoundFilesBOOT", "QTreeWidget", "LoRaBOOTGroup", "Найденные файл"},
        {"LoRaLoraMACGroup", "QGroupBox", "LoRa", "LoRa"},
        {"LoRaComboLoraMAC", "QComboBox", "LoRaLoraMACGroup", none},
        {"LoRaFoundFilesLoraMAC", "QTreeWidget", "LoRaLoraMACGroup", "Найденные файлы"},
        {"LoRaExtension", "QGroupBox", "LoRaLoraMACGroup", "Расширение"},
        {"LoRaBINLoraMAC", "QRadioButton", "LoRaExtension", ".bin", S::Off},
        {"LoRaHEXLoraMAC", "QRadioButton", "LoRaExtension", ".hex", S::On},
        {"LoRaSearchLoraMAC", "QPushButton", "LoRaLoraMACGroup", "..."},
        {"label_4", "QLabel", "LoRaLoraMACGroup", "Поиск по LoRaMAC"},
        {"LoRaLoRaMACInName", "QCheckBox", "LoRaLoraMACGroup", ""},
        {"LoRaAppGroup", "QGroupBox", "LoRa", "Основное приложение"},
        {"LoRaComboApp", "QComboBox", "LoRaAppGroup", none},
        {"LoRaFoundFilesApp", "QTreeWidget", "LoRaAppGroup", "Найденные файлы"},
        {"LoRaAppExtension", "QGroupBox", "LoRaAppGroup", "Расширение"},
        {"LoRaBINApp", "QRadioButton", "LoRaAppExtension", ".bin", S::On},
        {"LoRaHEXApp", "QRadioButton", "LoRaAppExtension", ".hex", S::Off},
        {"LoRaSearchApp", "QPushButton", "LoRaAppGroup", "..."},
        {"OpenAdvancedSettings", "QPushButton", "LoRa", "Настройка смещений записи >>"},
        {"LoRaAssembling", "QPushButton", "LoRa", "Сборка"},
        {"LoRaSettingsRelease", "QGroupBox", "LoRa", "Настройки записи"},
        {"label", "QLabel", "LoRaSettingsRelease", "Шаблон имени out-file"},
        {"LoRaSearchRelease", "QPushButton", "LoRaSettingsRelease", "..."},
        {"label_5", "QLabel", "LoRaSettingsRelease", "Путь записи out-file"},
        {"LoRaTemplateName", "QLineEdit", "LoRaSettingsRelease", none},
        {"Converter_3", "QPushButton", "LoRaSettingsRelease", "Encrypt to .zbf", S::Unspecified, S::Off},
        {"LoRaComboRelease", "QListWidget", "LoRaSettingsRelease", none},
        {"LoRaOffsetSettings", "QGroupBox", "LoRa", "Настройки смещенияя"},
        {"label_20", "QLabel", "LoRaOffsetSettings", "Смещение, по которому запишется bootloader."},
        {"label_21", "QLabel", "LoRaOffsetSettings", "Смещение, по которому запишется  LoRa."},
        {"label_22", "QLabel", "LoRaOffsetSettings", "Смещение, по которому запишется Application."},
        {"label_23", "QLabel", "LoRaOffsetSettings", "Смещение, по которому находится название LoRa "},
        {"label_24", "QLabel", "LoRaOffsetSettings", "Смещение, по которому находится название App. "},
        {"LoRaComboOffsetBOOT", "QLineEdit", "LoRaOffsetSettings", none},
        {"LoRaComboOffsetLoRa", "QLineEdit", "LoRaOffsetSettings", none},
        {"LoRaComboOffsetApp", "QLineEdit", "LoRaOffsetSettings", none},
        {"LoRaComboOffset_lora_region", "QLineEdit", "LoRaOffsetSettings", none},
        {"LoRaComboOffsetFW", "QLineEdit", "LoRaOffsetSettings", none},
        {"label_3", "QLabel", "LoRa", "Сохраненные конфигурации"},
        {"LoRaSaveSettings", "QPushButton", "LoRa", "Сохранить шаблон"},
        {"LoRaNameWrtSettings", "QLineEdit", "LoRa", none},
        {"LoRaListFileSettings", "QListWidget", "LoRa", none},
        {"line_5", "QFrame", "LoRa", none},
        {"line_6", "QFrame", "LoRa", none},
        {"line_7", "QFrame", "LoRa", none},
        {"LoRaRunFirmware", "QPushButton", "LoRa", "Прошивка"},
    };

    const QStringList extensionGroups = {"groupBox_15", "groupBox_16", "groupBox_17",
                                         "groupBox_21", "groupBox_25", "groupBox_27"};
    const QStringList offsetLabels = {"label_15", "label_14", "label_13", "label_16", "label_18", "label_19"};
    for (int file = 1; file <= 6; ++file) {
        const QString n = QString::number(file);
        const QString group = "File" + n + "Group";
        const QString extension = extensionGroups[file - 1];
        widgets += {
            // No file is ticked at first, so no file row is usable.
            {group, "QGroupBox", "Binary", file == 1 ? "Файл 1 " : "Файл " + n, S::Unspecified, S::Off},
            {"BinaryComboFile" + n, "QComboBox", group, none},
            {extension, "QGroupBox", group, "Расширение"},
            {"BinaryBINFile" + n, "QRadioButton", extension, ".bin", S::On},
            {"BinaryHEXFile" + n, "QRadioButton", extension, ".hex", S::Off},
            {"BinarySearchButtonFile" + n, "QPushButton", group, "..."},
            {offsetLabels[file - 1], "QLabel", group, "Смещение записи"},
            {"BinaryOffsetFile" + n, "QLineEdit", group, none},
        };
    }
    widgets += {{"FileSelectionGroup", "QGroupBox", "Binary", none}};
    for (int file = 1; file <= 6; ++file) {
        const QString n = QString::number(file);
        widgets += {{"BinaryCheckFile" + n, "QCheckBox", "FileSelectionGroup", "Файл " + n, S::Off}};
    }
    widgets += {
        {"BinaryExtendedAssembly", "QPushButton", "Binary", "Расширенная сборка >>"},
        {"BinaryAssembling", "QPushButton", "Binary", "Сборка"},
        {"BinarySettingsRelease", "QGroupBox", "Binary", "Настройки записи"},
        {"BinarySearchRelesae", "QPushButton", "BinarySettingsRelease", "..."},
        {"label_8", "QLabel", "BinarySettingsRelease", "Шаблон имени out-file"},
        {"label_9", "QLabel", "BinarySettingsRelease", "Путь записи out-file"},
        {"label_12", "QLabel", "BinarySettingsRelease", "Расширение выходного файла"},
        {"BinaryHEXRelease", "QRadioButton", "BinarySettingsRelease", ".hex", S::Off},
        {"BinaryBINRelease", "QRadioButton", "BinarySettingsRelease", ".bin", S::On},
        {"BinaryTemplateNameRelease", "QLineEdit", "BinarySettingsRelease", none},
        {"BinarySequentAssenbl", "QCheckBox", "BinarySettingsRelease", "Сборка по смещениям", S::On},
        {"BinaryReleaseCombo", "QListWidget", "BinarySettingsRelease", none},
        {"line", "QFrame", "Binary", none},
        {"line_3", "QFrame", "Binary", none},
        {"label_6", "QLabel", "Binary", "Сохрененные конфигурации"},
        {"BinarySaveSettings", "QPushButton", "Binary", "Сохранить шаблон"},
        {"BinaryNameWrtSettings", "QLineEdit", "Binary", none},
        {"BinaryListFileSettings", "QListWidget", "Binary", none},

        {"IntelHEXMainGroup", "QGroupBox", "IntelHEX", "Основное приложене", S::Unspecified, S::Off},
        {"IntelHEXComboMain", "QComboBox", "IntelHEXMainGroup", none},
        {"IntelHEXSearchApp", "QPushButton", "IntelHEXMainGroup", "..."},
        {"IntelHEXBOOT", "QGroupBox", "IntelHEX", "Корневой bootloader", S::Unspecified, S::Off},
        {"IntelHEXComboBOOT", "QComboBox", "IntelHEXBOOT", none},
        {"IntelHEXSearchBOOT", "QPushButton", "IntelHEXBOOT", "..."},
        {"IntelHEXAppBOOT", "QGroupBox", "IntelHEX", "Bootloader прошивки", S::Unspecified, S::Off},
        {"IntelHEXComboApp", "QComboBox", "IntelHEXAppBOOT", none},
        {"IntelHEXSearchBOOTApp", "QPushButton", "IntelHEXAppBOOT", "..."},
        {"IntelHEXAssebling", "QPushButton", "IntelHEX", "Сборка"},
        {"IntelHEXSettingsRelease", "QGroupBox", "IntelHEX", "Настройки записи"},
        {"IntelHEXSearchReleaseButton", "QPushButton", "IntelHEXSettingsRelease", "..."},
        {"label_10", "QLabel", "IntelHEXSettingsRelease", "Шаблон имени out-file"},
        {"label_11", "QLabel", "IntelHEXSettingsRelease", "Путь записи out-file"},
        {"IntelHEXTemplFileName", "QLineEdit", "IntelHEXSettingsRelease", none},
        {"IntelHEXReleaseDirrect", "QListWidget", "IntelHEXSettingsRelease", none},
        {"IntelHEXExtendedAssembly", "QPushButton", "IntelHEX", "Расширенная сборка >>"},
        {"line_2", "QFrame", "IntelHEX", none},
        {"line_4", "QFrame", "IntelHEX", none},
        {"IntelHEXNameWrtSettings", "QLineEdit", "IntelHEX", none},
        {"IntelHEXListFileSettings", "QListWidget", "IntelHEX", none},
        {"IntelHEXSaveSettings", "QPushButton", "IntelHEX", "Сохранить шаблон"},
        {"label_7", "QLabel", "IntelHEX", "Сохрененные конфигурации"},
        {"IntelHEXCheckBOOT", "QCheckBox", "IntelHEX", "Корневой Boot", S::Off},
        {"IntelHEXCheckBOOT2", "QCheckBox", "IntelHEX", "Boot прошивки", S::Off},
        {"IntelHEXCheckApp", "QCheckBox", "IntelHEX", "App", S::Off},
    };
    for (int file = 1; file <= 3; ++file) {
        const QString n = QString::number(file);
        const QString group = "IntelHEXAdditionalFile" + n;
        widgets += {
            {group, "QGroupBox", "IntelHEX", "Дополнительный файл " + n, S::Unspecified, S::Off},
            {group + "Combo", "QComboBox", group, none},
            {"IntelHEXSearchAddictFile" + n, "QPushButton", group, "..."},
            {"IntelHEXCheckFile" + n, "QCheckBox", "IntelHEX", "Доп. файл " + n, S::Off},
        };
    }
    return widgets;
}

// The panels that only the widened window shows, per tab page.
inline QStringList extensionPanelWidgets()
{
    return {"LoRaOffsetSettings",
            "line_6",
            "line_7",
            "File4Group",
            "File5Group",
            "File6Group",
            "line_3",
            "IntelHEXAdditionalFile1",
            "IntelHEXAdditionalFile2",
            "IntelHEXAdditionalFile3",
            "IntelHEXCheckFile1",
            "IntelHEXCheckFile2",
            "IntelHEXCheckFile3",
            "line_4"};
}
