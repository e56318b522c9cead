#include "hex/elfreader.h"

#include <gelf.h>
#include <libelf.h>

#include <QByteArray>

#include "common/inputfile.h"

namespace {

// libelf keeps its state per handle; elf_end() must run on every way out.
struct ElfHandle {
    Elf *elf = nullptr;
    ~ElfHandle()
    {
        if (elf)
            elf_end(elf);
    }
};

QString libelfError()
{
    // libelf says nothing when a file merely does not hold what it should.
    const int error = elf_errno();
    return error != 0 ? QString::fromUtf8(elf_errmsg(error)) : QStringLiteral("файл обрезан или повреждён");
}

QString describeType(GElf_Half type)
{
    switch (type) {
    case ET_REL:
        return QStringLiteral("перемещаемый объектный файл (.o); сначала скомпонуйте из него исполняемый");
    case ET_CORE:
        return QStringLiteral("дамп памяти (core)");
    default:
        return QStringLiteral("типа ELF %1, а не исполняемый").arg(type);
    }
}

} // namespace

bool ElfReader::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool ElfReader::read(InputFile &input)
{
    m_content = {};
    m_error.clear();
    if (elf_version(EV_CURRENT) == EV_NONE)
        return fail(QStringLiteral("библиотеку ELF нельзя использовать: %1").arg(libelfError()));

    // A regular file is mapped and read where it lies; a pipe has to be held whole first.
    QByteArray held;
    ElfHandle handle;
    if (input.isRereadable()) {
        handle.elf = elf_begin(input.handle(), ELF_C_READ_MMAP, nullptr);
    } else {
        std::optional<QByteArray> data = input.readToEnd(m_memoryLimit);
        if (!data)
            return fail(input.problemText(m_memoryLimit));
        held = std::move(*data);
        handle.elf = elf_memory(held.data(), static_cast<size_t>(held.size()));
    }
    if (!handle.elf || elf_kind(handle.elf) != ELF_K_ELF)
        return fail(QStringLiteral("не является правильным файлом ELF: %1").arg(libelfError()));

    GElf_Ehdr header;
    if (!gelf_getehdr(handle.elf, &header))
        return fail(QStringLiteral("не удалось прочитать заголовок ELF: %1").arg(libelfError()));
    // A position-independent executable (ET_DYN) is placed at the addresses it gives, as from 0.
    if (header.e_type != ET_EXEC && header.e_type != ET_DYN)
        return fail(QStringLiteral("файл ELF — %1").arg(describeType(header.e_type)));
    m_content.is64Bit = gelf_getclass(handle.elf) == ELFCLASS64;
    if (header.e_entry != 0)
        m_content.entryPoint = header.e_entry;

    size_t fileSize = 0;
    const char *file = elf_rawfile(handle.elf, &fileSize);
    size_t headerCount = 0;
    if (!file || elf_getphdrnum(handle.elf, &headerCount) != 0)
        return fail(QStringLiteral("не удалось прочитать программные заголовки: %1").arg(libelfError()));
    m_content.fileSize = static_cast<qint64>(fileSize);

    qint64 heldBytes = 0;
    for (size_t index = 0; index < headerCount; ++index) {
        GElf_Phdr segment;
        if (!gelf_getphdr(handle.elf, static_cast<int>(index), &segment))
            return fail(QStringLiteral("не удалось прочитать программный заголовок %1: %2")
                            .arg(index + 1)
                            .arg(libelfError()));
        if (segment.p_type != PT_LOAD || segment.p_filesz == 0)
            continue;
        const int number = static_cast<int>(index + 1);
        if (segment.p_filesz > segment.p_memsz)
            return fail(QStringLiteral(
                            "программный заголовок %1 задаёт байтов в файле (%2) больше, чем в памяти (%3)")
                            .arg(number)
                            .arg(segment.p_filesz)
                            .arg(segment.p_memsz));
        if (segment.p_offset > fileSize || segment.p_filesz > fileSize - segment.p_offset)
            return fail(QStringLiteral("программный заголовок %1 выходит за конец файла").arg(number));
        if (segment.p_paddr + segment.p_filesz < segment.p_paddr)
            return fail(QStringLiteral("программный заголовок %1 выходит за конец адресного пространства")
                            .arg(number));
        heldBytes += static_cast<qint64>(segment.p_filesz);
        if (heldBytes > m_memoryLimit)
            return fail(
                QStringLiteral("загружаемые сегменты занимают больше %1 МиБ; образы больше не принимаются")
                    .arg(m_memoryLimit >> 20));
        m_content.segments.append(
            {segment.p_paddr, static_cast<qint64>(segment.p_offset), static_cast<qint64>(segment.p_filesz)});
        m_content.chunks.append(
            {segment.p_paddr, QByteArray(file + segment.p_offset, static_cast<qsizetype>(segment.p_filesz)),
             number, 0});
    }
    return true;
}
