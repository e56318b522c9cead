#include <QtTest>

#include "hextesttools.h"

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

} // namespace

class ElfTest : public QObject {
    Q_OBJECT

private slots:
    void loadableSegmentsAtTheirLoadAddresses_data();
    void loadableSegmentsAtTheirLoadAddresses();
    void stampChangesFourBytesOfTheSegment();
    void whatIsNoExecutableIsRefused_data();
    void whatIsNoExecutableIsRefused();
};

void ElfTest::loadableSegmentsAtTheirLoadAddresses_data()
{
    QTest::addColumn<int>("toolchain"); // 0 arm, 1 big-endian arm, 2 host (ELF64)
    QTest::addColumn<int>("layout");    // 0 data after the code, 1 data 256-aligned
    QTest::addColumn<quint64>("base");
    QTest::addColumn<QString>("start");
    QTest::newRow("ELF32, .data stored after .text") << 0 << 0 << quint64(0x08000000) << "0x08000008";
    QTest::newRow("ELF32, .data stored 256-aligned") << 0 << 1 << quint64(0x08000000) << "0x08000008";
    QTest::newRow("ELF32 big-endian") << 1 << 0 << quint64(0x08000000) << "0x08000008";
    QTest::newRow("ELF64") << 2 << 0 << quint64(0x400000) << "0x00400000";
}

// The flat image from the lowest load address is objcopy's -O binary (gaps 0xFF); the S-records hold
// what objcopy's S-records hold; the entry point is the start address.
void ElfTest::loadableSegmentsAtTheirLoadAddresses()
{
    QFETCH(int, toolchain);
    QFETCH(int, layout);
    QFETCH(quint64, base);
    QFETCH(QString, start);
    const Toolchain &tools = toolchain == 0 ? arm : toolchain == 1 ? armBigEndian : host;
    QTemporaryDir dir;
    const QString elf = link(dir.path(), tools, toolchain == 2 ? hostSource : armSource,
                             toolchain == 2 ? hostScript
                             : layout == 1  ? armGapScript
                                            : armScript);
    QVERIFY(!elf.isEmpty());

    const QString peerBinary = dir.filePath(QStringLiteral("objcopy.bin"));
    ToolRun peer =
        runTool(tools.objcopy, {QStringLiteral("-O"), QStringLiteral("binary"), QStringLiteral("--gap-fill"),
                                QStringLiteral("0xFF"), elf, peerBinary});
    QVERIFY2(peer.exitCode == 0, peer.err.constData());
    const QString ours = dir.filePath(QStringLiteral("ours.bin"));
    ToolRun run =
        runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"), QStringLiteral("bin"),
                            QStringLiteral("--base"), hexArgument(base), QStringLiteral("-o"), ours});
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), run.err.constData());
    const QByteArray flat = readFile(ours);
    QVERIFY(flat.contains("initialised data"));
    QCOMPARE(flat, readFile(peerBinary));

    const QString peerRecords = dir.filePath(QStringLiteral("objcopy.srec"));
    peer = runTool(tools.objcopy, {QStringLiteral("-O"), QStringLiteral("srec"), elf, peerRecords});
    QVERIFY2(peer.exitCode == 0, peer.err.constData());
    const QString records = dir.filePath(QStringLiteral("ours.srec"));
    run = runTool(cliPath(), {QStringLiteral("convert"), elf, QStringLiteral("--to"), QStringLiteral("srec"),
                              QStringLiteral("-o"), records});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const ToolRun same = runTool(QStringLiteral("srec_cmp"), {records, QStringLiteral("-Motorola"),
                                                              peerRecords, QStringLiteral("-Motorola")});
    QVERIFY2(same.exitCode == 0, same.err.constData());

    const ToolRun info = runTool(cliPath(), {QStringLiteral("info"), elf});
    QVERIFY2(info.out.contains("format: elf\n"), info.out.constData());
    QVERIFY2(info.out.contains("start: " + start.toUtf8() + '\n'), info.out.constData());
}

// The stamped ELF is the same file but for the four bytes: what objcopy makes of it is what srec_cat
// makes of objcopy's image of the original with its CRC filter, the gap up to the slot read as 0xFF.
void ElfTest::stampChangesFourBytesOfTheSegment()
{
    QTemporaryDir dir;
    const QString elf = link(dir.path(), arm, armSource, armSlotScript);
    QVERIFY(!elf.isEmpty());
    const QByteArray before = readFile(elf);
    const QString flat = dir.filePath(QStringLiteral("flat.bin"));
    ToolRun run = runTool(arm.objcopy, {QStringLiteral("-O"), QStringLiteral("binary"),
                                        QStringLiteral("--gap-fill"), QStringLiteral("0xFF"), elf, flat});
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QString expected = dir.filePath(QStringLiteral("expected.bin"));
    run = runTool(QStringLiteral("srec_cat"),
                  {flat, QStringLiteral("-Binary"), QStringLiteral("-crop"), QStringLiteral("0"),
                   QStringLiteral("0xFFC"), QStringLiteral("-crc32-l-e"), QStringLiteral("0xFFC"),
                   QStringLiteral("-o"), expected, QStringLiteral("-Binary")});
    QVERIFY2(run.exitCode == 0, run.err.constData());

    run =
        runTool(cliPath(), {QStringLiteral("stamp"), elf, QStringLiteral("--at"), QStringLiteral("8000FFC")});
    QVERIFY2(run.exitCode == 0, run.err.constData());
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

    // Bytes that no segment holds in the file cannot be stamped into it.
    run =
        runTool(cliPath(), {QStringLiteral("stamp"), elf, QStringLiteral("--at"), QStringLiteral("8001000"),
                            QStringLiteral("--range"), QStringLiteral("8000000"), QStringLiteral("8000FFC")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(
                 "fw.elf: ни один загружаемый сегмент файла не содержит четыре байта по адресу 0x08001000"),
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

QTEST_GUILESS_MAIN(ElfTest)
#include "tst_elf.moc"
