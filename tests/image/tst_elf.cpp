#include <QtTest>

#include "hextesttools.h"
#include "hextext.h"
#include "imageloader.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

// Vectors and code in flash, initialised data that runs from RAM but is stored in flash after the
// code, and a .bss that must give nothing.
const char armSource[] = R"(
    .syntax unified
    .thumb
    .section .isr_vector,"a"
    .word 0x20005000
    .word reset + 1
    .text
    .global reset
reset:
    ldr r0, =table
    b reset
    .ltorg
    .section .rodata
table: .ascii "read-only table\0"
    .data
counter: .word 0x11223344, 0x55667788
msg: .ascii "initialised data"
    .bss
buffer: .space 256
)";

const char armScript[] = R"(
MEMORY { FLASH (rx) : ORIGIN = 0x08000000, LENGTH = 64K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 20K }
ENTRY(reset)
SECTIONS {
  .isr_vector : { KEEP(*(.isr_vector)) } > FLASH
  .text : { *(.text*) *(.rodata*) . = ALIGN(4); } > FLASH
  .data : { *(.data*) . = ALIGN(4); } > RAM AT > FLASH
  .bss : { *(.bss*) } > RAM
}
)";

// The same, with the stored data 256-aligned in flash: a gap the flat image fills with 0xFF.
const char armGapScript[] = R"(
MEMORY { FLASH (rx) : ORIGIN = 0x08000000, LENGTH = 64K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 20K }
ENTRY(reset)
SECTIONS {
  .isr_vector : { KEEP(*(.isr_vector)) } > FLASH
  .text : { *(.text*) *(.rodata*) . = ALIGN(4); } > FLASH
  .data : AT(ALIGN(LOADADDR(.text) + SIZEOF(.text), 256)) { *(.data*) . = ALIGN(4); } > RAM
  .bss : { *(.bss*) } > RAM
}
)";

// The same with a word of erased flash at a fixed place for a CRC, far behind the data.
const char armSlotScript[] = R"(
MEMORY { FLASH (rx) : ORIGIN = 0x08000000, LENGTH = 64K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 20K }
ENTRY(reset)
SECTIONS {
  .isr_vector : { KEEP(*(.isr_vector)) } > FLASH
  .text : { *(.text*) *(.rodata*) . = ALIGN(4); } > FLASH
  .data : { *(.data*) . = ALIGN(4); } > RAM AT > FLASH
  .bss : { *(.bss*) } > RAM
  .crc 0x08000FFC : { LONG(0xFFFFFFFF) } > FLASH
}
)";

// Flash above the segment's first page: ld puts the ELF and program headers into the first loadable
// segment, in front of the vectors, and they are no data.
const char armHeadersInFlashScript[] = R"(
MEMORY { FLASH (rx) : ORIGIN = 0x08000400, LENGTH = 63K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 20K }
ENTRY(reset)
SECTIONS {
  .isr_vector : { KEEP(*(.isr_vector)) } > FLASH
  .text : { *(.text*) *(.rodata*) . = ALIGN(4); } > FLASH
  .data : { *(.data*) . = ALIGN(4); } > RAM AT > FLASH
  .bss : { *(.bss*) } > RAM
  .crc 0x08000FFC : { LONG(0xFFFFFFFF) } > FLASH
}
)";

// The same asked for outright: the vectors right behind the headers.
const char armSizeOfHeadersScript[] = R"(
ENTRY(reset)
SECTIONS {
  . = 0x08000000 + SIZEOF_HEADERS;
  .isr_vector : { KEEP(*(.isr_vector)) }
  .text : { *(.text*) *(.rodata*) . = ALIGN(4); }
  .data 0x20000000 : AT(LOADADDR(.text) + SIZEOF(.text)) { *(.data*) . = ALIGN(4); }
  .bss : { *(.bss*) }
}
)";

// Sections 256-aligned inside one segment: the padding between them is in the file, and no data.
const char armPaddedScript[] = R"(
MEMORY { FLASH (rx) : ORIGIN = 0x08000000, LENGTH = 64K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 20K }
ENTRY(reset)
SECTIONS {
  .isr_vector : { KEEP(*(.isr_vector)) } > FLASH
  .text ALIGN(256) : { *(.text*) } > FLASH
  .rodata ALIGN(256) : { *(.rodata*) . = ALIGN(4); } > FLASH
  .data : { *(.data*) . = ALIGN(4); } > RAM AT > FLASH
  .bss : { *(.bss*) } > RAM
}
)";

const char hostSource[] = R"(
    .text
    .globl _start
_start:
    mov $table, %rax
    jmp _start
    .data
table: .quad 0x1122334455667788
    .ascii "initialised data"
    .bss
buf: .space 128
)";

const char hostScript[] = R"(
ENTRY(_start)
SECTIONS {
  .text 0x400000 : { *(.text) }
  .data 0x600000 : AT(ADDR(.text) + SIZEOF(.text)) { *(.data) }
  .bss : { *(.bss) }
  /DISCARD/ : { *(.note*) }
}
)";

struct Toolchain {
    QString assembler;
    QStringList assemblerOptions;
    QString linker;
    QStringList linkerOptions;
    QString objcopy;
};

const Toolchain arm{QStringLiteral("arm-none-eabi-as"),
                    {},
                    QStringLiteral("arm-none-eabi-ld"),
                    {},
                    QStringLiteral("arm-none-eabi-objcopy")};
const Toolchain armBigEndian{QStringLiteral("arm-none-eabi-as"),
                             {QStringLiteral("-mbig-endian")},
                             QStringLiteral("arm-none-eabi-ld"),
                             {QStringLiteral("-EB")},
                             QStringLiteral("arm-none-eabi-objcopy")};
const Toolchain host{
    QStringLiteral("as"), {QStringLiteral("--64")}, QStringLiteral("ld"), {}, QStringLiteral("objcopy")};

// Assembles and links `source` with `script` into dir/name.elf; the object is left as dir/name.o.
QString link(const QString &dir, const Toolchain &tools, const char *source, const char *script)
{
    const QString sourcePath = dir + QStringLiteral("/fw.s");
    const QString scriptPath = dir + QStringLiteral("/fw.ld");
    const QString objectPath = dir + QStringLiteral("/fw.o");
    const QString elfPath = dir + QStringLiteral("/fw.elf");
    if (!writeFile(sourcePath, source) || !writeFile(scriptPath, script))
        return {};
    const ToolRun assembled = runTool(
        tools.assembler, tools.assemblerOptions + QStringList{QStringLiteral("-o"), objectPath, sourcePath});
    const ToolRun linked =
        runTool(tools.linker, tools.linkerOptions + QStringList{QStringLiteral("-T"), scriptPath,
                                                                QStringLiteral("-o"), elfPath, objectPath});
    if (assembled.exitCode != 0 || linked.exitCode != 0) {
        qWarning("%s%s", assembled.err.constData(), linked.err.constData());
        return {};
    }
    return elfPath;
}

// Little-endian, as the files patched below are.
void patch(QByteArray &file, qsizetype at, int width, quint64 value)
{
    for (int i = 0; i < width; ++i)
        file[at + i] = static_cast<char>(value >> (8 * i));
}

quint64 readField(const QByteArray &file, qsizetype at, int width)
{
    quint64 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(file.at(at + i));
    return value;
}

// A file as some tools leave it: no section headers at all (e_shoff, e_shnum, e_shstrndx 0).
QByteArray withoutSectionHeaders(QByteArray file)
{
    patch(file, 32, 4, 0);
    patch(file, 48, 2, 0);
    patch(file, 50, 2, 0);
    return file;
}

} // namespace

class ElfTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void imageIsWhatObjcopyMakes_data();
    void imageIsWhatObjcopyMakes();
    void sectionsLargerThanACopyBlock();
    void stampChangesFourBytesOfASection_data();
    void stampChangesFourBytesOfASection();
    void whatIsNoExecutableIsRefused_data();
    void whatIsNoExecutableIsRefused();
    void damagedHeadersAreErrors_data();
    void damagedHeadersAreErrors();
};

// Every ELF file here is made by the GNU assembler and linker, Linux programs that a Windows build
// under Wine does not have.
void ElfTest::initTestCase()
{
    POSIX_ONLY("the ELF files are made with the GNU assembler and linker");
}

void ElfTest::imageIsWhatObjcopyMakes_data()
{
    QTest::addColumn<int>("toolchain"); // 0 arm, 1 big-endian arm, 2 host (ELF64)
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<quint64>("base"); // the lowest load address, where objcopy's flat image starts
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("sectionHeaders");
    QTest::newRow(".data stored after .text")
        << 0 << QByteArray(armScript) << quint64(0x08000000) << "0x08000008" << true;
    QTest::newRow(".data stored 256-aligned, a gap between segments")
        << 0 << QByteArray(armGapScript) << quint64(0x08000000) << "0x08000008" << true;
    QTest::newRow("sections with gaps inside one segment")
        << 0 << QByteArray(armPaddedScript) << quint64(0x08000000) << "0x08000100" << true;
    QTest::newRow("headers inside the first segment: flash at 0x08000400")
        << 0 << QByteArray(armHeadersInFlashScript) << quint64(0x08000400) << "0x08000408" << true;
    QTest::newRow("headers inside the first segment: SIZEOF_HEADERS")
        << 0 << QByteArray(armSizeOfHeadersScript) << quint64(0x08000074) << "0x0800007C" << true;
    QTest::newRow("ELF32 big-endian, headers inside the first segment")
        << 1 << QByteArray(armHeadersInFlashScript) << quint64(0x08000400) << "0x08000408" << true;
    QTest::newRow("ELF64") << 2 << QByteArray(hostScript) << quint64(0x400000) << "0x00400000" << true;
    QTest::newRow("no section headers: the loadable segments, with a warning")
        << 0 << QByteArray(armScript) << quint64(0x08000000) << "0x08000008" << false;
}

// The flat image from the lowest load address is objcopy's -O binary (gaps 0xFF); the Intel HEX and
// S-records hold what objcopy's hold; the entry point is the start address. Without section headers
// (which objcopy refuses) the segments give what objcopy makes of the file that still has them.
void ElfTest::imageIsWhatObjcopyMakes()
{
    QFETCH(int, toolchain);
    QFETCH(QByteArray, script);
    QFETCH(quint64, base);
    QFETCH(QString, start);
    QFETCH(bool, sectionHeaders);
    const Toolchain &tools = toolchain == 0 ? arm : toolchain == 1 ? armBigEndian : host;
    QTemporaryDir dir;
    const QString elf = link(dir.path(), tools, toolchain == 2 ? hostSource : armSource, script.constData());
    QVERIFY(!elf.isEmpty());

    const QStringList peerFormats{QStringLiteral("binary"), QStringLiteral("ihex"), QStringLiteral("srec")};
    for (const QString &format : peerFormats) {
        QStringList options{QStringLiteral("-O"), format};
        if (format == QLatin1String("binary"))
            options << QStringLiteral("--gap-fill") << QStringLiteral("0xFF");
        const ToolRun peer =
            runTool(tools.objcopy, options << elf << dir.filePath(QStringLiteral("objcopy.") + format));
        QVERIFY2(peer.exitCode == 0, peer.err.constData());
    }
    if (!sectionHeaders)
        QVERIFY(writeFile(elf, withoutSectionHeaders(readFile(elf))));

    const QString ours = dir.filePath(QStringLiteral("ours.bin"));
    ToolRun run =
        runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"), QStringLiteral("bin"),
                            QStringLiteral("--base"), hexArgument(base), QStringLiteral("-o"), ours});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    if (sectionHeaders)
        QVERIFY2(run.err.isEmpty(), run.err.constData());
    else
        QVERIFY2(
            run.err.contains("fw.elf: в файле нет заголовков секций: данными взяты загружаемые сегменты"),
            run.err.constData());
    const QByteArray flat = readFile(ours);
    QVERIFY(flat.contains("initialised data"));
    QCOMPARE(flat, readFile(dir.filePath(QStringLiteral("objcopy.binary"))));

    for (const auto &[to, srecCatFormat] : {std::pair{QStringLiteral("hex"), QStringLiteral("-Intel")},
                                            std::pair{QStringLiteral("srec"), QStringLiteral("-Motorola")}}) {
        const QString records = dir.filePath(QStringLiteral("ours.") + to);
        run = runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"), to,
                                  QStringLiteral("-o"), records});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QString peer = dir.filePath(to == QLatin1String("hex") ? QStringLiteral("objcopy.ihex")
                                                                     : QStringLiteral("objcopy.srec"));
        const ToolRun same =
            runTool(QStringLiteral("srec_cmp"), {records, srecCatFormat, peer, srecCatFormat});
        QVERIFY2(same.exitCode == 0,
                 (to + QLatin1Char(' ') + QString::fromUtf8(same.out + same.err)).toUtf8().constData());
    }

    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), elf});
    QVERIFY2(info.out.contains("format: elf\n"), info.out.constData());
    QVERIFY2(info.out.contains("start: " + start.toUtf8() + '\n'), info.out.constData());
    // The data, its ranges and sums are those of objcopy's Intel HEX.
    const ToolRun hexInfo =
        runTool(cliPath(), {QStringLiteral("info"), dir.filePath(QStringLiteral("objcopy.ihex"))});
    const auto facts = [](const QByteArray &out) {
        QByteArrayList kept;
        for (const QByteArray &line : out.split('\n'))
            if (line.startsWith("data:") || line.startsWith("range") || line.startsWith("gap:") ||
                line.startsWith("sha256:") || line.startsWith("crc32:"))
                kept << line;
        return kept;
    };
    QVERIFY(!facts(info.out).isEmpty());
    QCOMPARE(facts(info.out), facts(hexInfo.out));
}

// Sections are copied from the file a block at a time: a .rodata of 700 KiB, in front of a gap and
// .data, crosses several blocks and the output's own buffer.
void ElfTest::sectionsLargerThanACopyBlock()
{
    QTemporaryDir dir;
    const QString blob = dir.filePath(QStringLiteral("blob.bin"));
    QVERIFY(writeFile(blob, firmwareBytes(700 * 1024 + 3, 7)));
    const QByteArray source =
        QByteArray(armSource) + "    .section .rodata\n    .incbin \"" + blob.toUtf8() + "\"\n";
    const QByteArray script = QByteArray(armGapScript).replace("64K", "4M");
    const QString elf = link(dir.path(), arm, source.constData(), script.constData());
    QVERIFY(!elf.isEmpty());
    const QString peer = dir.filePath(QStringLiteral("objcopy.bin"));
    QCOMPARE(runTool(arm.objcopy, {QStringLiteral("-O"), QStringLiteral("binary"),
                                   QStringLiteral("--gap-fill"), QStringLiteral("0xFF"), elf, peer})
                 .exitCode,
             0);

    const QString ours = dir.filePath(QStringLiteral("ours.bin"));
    const ToolRun run =
        runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"), QStringLiteral("bin"),
                            QStringLiteral("--base"), QStringLiteral("8000000"), QStringLiteral("-o"), ours});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(readFile(ours).size() > 700 * 1024);
    QCOMPARE(readFile(ours), readFile(peer));
}

void ElfTest::stampChangesFourBytesOfASection_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<quint64>("base"); // the lowest load address, where the default range starts
    QTest::newRow("data from the flash start") << QByteArray(armSlotScript) << quint64(0x08000000);
    QTest::newRow("headers inside the first segment")
        << QByteArray(armHeadersInFlashScript) << quint64(0x08000400);
}

// The stamped ELF is the same file but for the four bytes: what objcopy makes of it is what srec_cat
// makes of objcopy's image of the original with its CRC filter, the gap up to the slot read as 0xFF.
void ElfTest::stampChangesFourBytesOfASection()
{
    QFETCH(QByteArray, script);
    QFETCH(quint64, base);
    QTemporaryDir dir;
    const QString elf = link(dir.path(), arm, armSource, script.constData());
    QVERIFY(!elf.isEmpty());
    const QByteArray before = readFile(elf);
    const QString flat = dir.filePath(QStringLiteral("flat.bin"));
    ToolRun run = runTool(arm.objcopy, {QStringLiteral("-O"), QStringLiteral("binary"),
                                        QStringLiteral("--gap-fill"), QStringLiteral("0xFF"), elf, flat});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const quint64 slot = 0x08000FFC - base;
    const QString expected = dir.filePath(QStringLiteral("expected.bin"));
    run = runTool(QStringLiteral("srec_cat"),
                  {flat, QStringLiteral("-Binary"), QStringLiteral("-crop"), QStringLiteral("0"),
                   hexArgument(slot), QStringLiteral("-crc32-l-e"), hexArgument(slot), QStringLiteral("-o"),
                   expected, QStringLiteral("-Binary")});
    QVERIFY2(run.exitCode == 0, run.err.constData());

    run =
        runTool(cliPath(), {QStringLiteral("stamp"), elf, QStringLiteral("--at"), QStringLiteral("8000FFC")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY2(run.out.contains("range: " + HexText::address(base).toUtf8() + "-0x08000FFB"),
             run.out.constData());
    const QByteArray after = readFile(elf);
    QCOMPARE(after.size(), before.size());
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i)
        changed += after.at(i) != before.at(i);
    QCOMPARE(changed, 4);
    QVERIFY(QFileInfo(elf).isExecutable());
    run = runTool(arm.objcopy, {QStringLiteral("-O"), QStringLiteral("binary"), QStringLiteral("--gap-fill"),
                                QStringLiteral("0xFF"), elf, flat});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(readFile(flat), readFile(expected));

    // Bytes that no section holds in the file cannot be stamped into it.
    run = runTool(cliPath(), {QStringLiteral("stamp"), elf, QStringLiteral("--at"), QStringLiteral("8001000"),
                              QStringLiteral("--range"), hexArgument(base), QStringLiteral("8000FFC")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(
                 "fw.elf: ни одна секция файла с данными не содержит четыре байта по адресу 0x08001000"),
             run.err.constData());
    QVERIFY(readFile(elf) == after);
}

void ElfTest::whatIsNoExecutableIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("object file") << "object"
                                 << "fw.o: файл ELF — перемещаемый объектный файл";
    QTest::newRow("cut after the headers") << "cut"
                                           << "fw.elf: программный заголовок 2 выходит за конец файла";
    QTest::newRow("magic only") << "magic"
                                << "fw.elf: не является правильным файлом ELF";
}

void ElfTest::whatIsNoExecutableIsRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString elf = link(dir.path(), arm, armSource, armScript);
    QVERIFY(!elf.isEmpty());
    if (kind == QLatin1String("object"))
        elf = dir.filePath(QStringLiteral("fw.o"));
    else if (kind == QLatin1String("cut"))
        QVERIFY(writeFile(elf, readFile(elf).first(0x2004)));
    else
        QVERIFY(writeFile(elf, "\x7F"
                               "ELF"));
    const QString output = dir.filePath(QStringLiteral("out.bin"));
    const ToolRun run = runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"),
                                            QStringLiteral("bin"), QStringLiteral("-o"), output});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
    QVERIFY(!QFile::exists(output));
}

void ElfTest::damagedHeadersAreErrors_data()
{
    QTest::addColumn<int>("toolchain");  // 0 arm (ELF32), 2 host (ELF64); both little-endian
    QTest::addColumn<QString>("header"); // "file", "program" or "section" header; "cut": the file's length
    QTest::addColumn<int>("index");      // of the program or section header
    QTest::addColumn<int>("field");      // the field's offset in its header
    QTest::addColumn<int>("width");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("cut inside the file header")
        << 0 << "cut" << 0 << 0 << 0 << quint64(40) << "не является правильным файлом ELF: файл обрезан";
    QTest::newRow("unknown class") << 0 << "file" << 0 << 4 << 1 << quint64(3)
                                   << "не является правильным файлом ELF: неизвестный класс файла 3";
    QTest::newRow("program headers past the end")
        << 0 << "file" << 0 << 28 << 4 << quint64(0xFFFFFFF0)
        << "таблица программных заголовков (с 0xFFFFFFF0, записей: 2) выходит за конец файла";
    QTest::newRow("section headers past the end")
        << 0 << "file" << 0 << 32 << 4 << quint64(0xFFFFFF00)
        << "таблица заголовков секций (с 0xFFFFFF00, записей: 9) выходит за конец файла";
    QTest::newRow("e_phentsize not a program header's")
        << 0 << "file" << 0 << 42 << 2 << quint64(33)
        << "неверный размер записи в таблице программных заголовков: 33 байт вместо 32";
    QTest::newRow("e_shentsize 0") << 0 << "file" << 0 << 46 << 2 << quint64(0)
                                   << "неверный размер записи в таблице заголовков секций: 0 байт вместо 40";
    QTest::newRow("section name table out of range")
        << 0 << "file" << 0 << 50 << 2 << quint64(9) << "номер секции имён (9) вне таблицы из 9 секций";
    QTest::newRow("segment past the end") << 0 << "program" << 0 << 4 << 4 << quint64(0xFFFFFFF0)
                                          << "программный заголовок 1 выходит за конец файла";
    QTest::newRow("section past the end")
        << 0 << "section" << 2 << 16 << 4 << quint64(0xFFFFFFF0) << "секция 2 (.text) выходит за конец файла";
    QTest::newRow("section size past the end")
        << 0 << "section" << 2 << 20 << 4 << quint64(0xFFFFFFFF) << "секция 2 (.text) выходит за конец файла";
    QTest::newRow("ELF64 segment offset overflowing")
        << 2 << "program" << 0 << 8 << 8 << quint64(0xFFFFFFFFFFFFFFF8)
        << "программный заголовок 1 выходит за конец файла";
    QTest::newRow("ELF64 section size overflowing")
        << 2 << "section" << 1 << 32 << 8 << quint64(0xFFFFFFFFFFFFFFFF)
        << "секция 1 (.text) выходит за конец файла";
    QTest::newRow("ELF64 section headers overflowing")
        << 2 << "file" << 0 << 40 << 8 << quint64(0xFFFFFFFFFFFFFFC0) << "таблица заголовков секций";
}

// One field of a linked executable made hostile: an error naming it, never a crash or a read past
// the file.
void ElfTest::damagedHeadersAreErrors()
{
    QFETCH(int, toolchain);
    QFETCH(QString, header);
    QFETCH(int, index);
    QFETCH(int, field);
    QFETCH(int, width);
    QFETCH(quint64, value);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const bool is64 = toolchain == 2;
    const QString elf =
        link(dir.path(), is64 ? host : arm, is64 ? hostSource : armSource, is64 ? hostScript : armScript);
    QVERIFY(!elf.isEmpty());
    QByteArray file = readFile(elf);
    const int word = is64 ? 8 : 4;
    const quint64 programHeaders = readField(file, is64 ? 32 : 28, word);
    const quint64 sectionHeaders = readField(file, is64 ? 40 : 32, word);
    if (header == QLatin1String("cut"))
        file.truncate(static_cast<qsizetype>(value));
    else if (header == QLatin1String("file"))
        patch(file, field, width, value);
    else if (header == QLatin1String("program"))
        patch(file, static_cast<qsizetype>(programHeaders) + index * (is64 ? 56 : 32) + field, width, value);
    else
        patch(file, static_cast<qsizetype>(sectionHeaders) + index * (is64 ? 64 : 40) + field, width, value);
    QVERIFY(writeFile(elf, file));

    const LoadedImage loaded = loadImageFile(elf, {});
    QVERIFY(!loaded.ok());
    QVERIFY2(loaded.errorText.startsWith(elf + QStringLiteral(": ")) && loaded.errorText.contains(message),
             qPrintable(loaded.errorText));
}

QTEST_GUILESS_MAIN(ElfTest)
#include "tst_elf.moc"
