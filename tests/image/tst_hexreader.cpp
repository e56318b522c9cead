#include <QtTest>

#include "intelhexreader.h"
#include "memoryimage.h"

namespace {

struct ReadOutcome {
    bool ok = false;
    IntelHexContent content;
    QList<Problem> diagnostics;
};

ReadOutcome readText(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    IntelHexReader reader;
    ReadOutcome outcome;
    outcome.ok = reader.read(buffer, QStringLiteral("/some/dir/fw.hex"));
    outcome.content = reader.content();
    outcome.diagnostics = reader.diagnostics();
    return outcome;
}

const QByteArray goodData = ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
const QByteArray endOfFile = ":00000001FF\r\n";

} // namespace

class HexReaderTest : public QObject {
    Q_OBJECT

private slots:
    void malformedRecordIsRejectedWithItsLine_data();
    void malformedRecordIsRejectedWithItsLine();
    void lineEndsAndLowerCaseAreAccepted_data();
    void lineEndsAndLowerCaseAreAccepted();
    void addressRecordsSetTheBase();
    void startAddressesCarryNoData_data();
    void startAddressesCarryNoData();
    void missingEndOfFileIsAWarning();
    void readingStopsAtEndOfFile();
    void consecutiveRecordsFormOneChunk();
    void imageAcceptsRepeatedBytes();
    void imageNamesBothLinesOfAClash();
    void imageSpansJoinNeighbours();
    void lineSplitAcrossReadBlocks();
};

void HexReaderTest::malformedRecordIsRejectedWithItsLine_data()
{
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("no colon") << QByteArray("10001000000102030405060708090A0B0C0D0E0F68")
                              << "не начинается с ':'";
    QTest::newRow("not hex") << QByteArray(":1000100000010203040506070809XA0B0C0D0E0F68")
                             << "'X' в столбце 30 не шестнадцатеричная цифра";
    QTest::newRow("control byte") << QByteArray(":10001000000102030405060708090A0B0C0D0E0F6\x01")
                                  << "байт 0x01 в столбце 43";
    QTest::newRow("count too big")
        << QByteArray(":11001000000102030405060708090A0B0C0D0E0F67")
        << "счётчик байтов 11 (17 байт) не совпадает со строкой, в которой байтов данных: 16";
    QTest::newRow("count too small") << QByteArray(":0F001000000102030405060708090A0B0C0D0E0F69")
                                     << "не совпадает со строкой";
    QTest::newRow("odd digits") << QByteArray(":10001000000102030405060708090A0B0C0D0E0F680")
                                << "нечётное число шестнадцатеричных цифр";
    QTest::newRow("too short") << QByteArray(":000000") << "слишком коротка";
    QTest::newRow("checksum") << QByteArray(":10001000000102030405060708090A0B0C0D0E0F69")
                              << "неверная контрольная сумма: в записи 69, по её байтам 68";
    QTest::newRow("type 06") << QByteArray(":00000006FA") << "неизвестный тип записи 06";
    QTest::newRow("end of file with data")
        << QByteArray(":0100000100FE") << "типа 01 должна нести байтов данных: 0, а не 1";
    QTest::newRow("short linear address")
        << QByteArray(":0100000408F3") << "типа 04 должна нести байтов данных: 2";
    QTest::newRow("past 4 GiB") << QByteArray(
                                       ":02000004FFFFFC\r\n:10FFF800000102030405060708090A0B0C0D0E0F81")
                                << "за 32-битное адресное пространство";
    QTest::newRow("blank but spaces") << QByteArray("   ") << "не начинается с ':'";
    QTest::newRow("overlong") << QByteArray(":" + QByteArray(600, '0')) << "длиннее любой записи";
}

// The bad record sits on line 3 (line 4 when the case itself takes two lines).
void HexReaderTest::malformedRecordIsRejectedWithItsLine()
{
    QFETCH(QByteArray, badLine);
    QFETCH(QString, message);
    const QByteArray text = ":020000040800F2\r\n" + goodData + badLine + "\r\n" + endOfFile;
    const ReadOutcome outcome = readText(text);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.diagnostics.size(), 1);
    const Problem error = outcome.diagnostics.first();
    QCOMPARE(error.severity, Problem::Severity::Error);
    QCOMPARE(error.line, 3 + int(badLine.count('\n')));
    QVERIFY2(error.message.contains(message), qPrintable(error.message));
    QVERIFY(error.toString().startsWith(QStringLiteral("/some/dir/fw.hex, строка %1: ").arg(error.line)));
}

void HexReaderTest::lineEndsAndLowerCaseAreAccepted_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("CR LF") << QByteArray(":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n");
    QTest::newRow("LF") << QByteArray(":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n");
    QTest::newRow("lower case") << QByteArray(":10000000000102030405060708090a0b0c0d0e0f78\n:00000001ff\n");
    QTest::newRow("no final line end")
        << QByteArray(":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF");
    QTest::newRow("empty lines") << QByteArray(
        "\n:10000000000102030405060708090A0B0C0D0E0F78\r\n\r\n:00000001FF\r\n");
}

void HexReaderTest::lineEndsAndLowerCaseAreAccepted()
{
    QFETCH(QByteArray, text);
    const ReadOutcome outcome = readText(text);
    QVERIFY(outcome.ok);
    QVERIFY(outcome.diagnostics.isEmpty());
    QVERIFY(outcome.content.hasEndOfFile);
    QCOMPARE(outcome.content.chunks.size(), 1);
    QCOMPARE(outcome.content.chunks.first().address, 0u);
    QCOMPARE(outcome.content.chunks.first().bytes, QByteArray::fromHex("000102030405060708090A0B0C0D0E0F"));
}

void HexReaderTest::addressRecordsSetTheBase()
{
    const ReadOutcome outcome = readText(":020000021000EC\r\n" // segment 0x1000 -> base 0x10000
                                         ":020010001122BB\r\n" // 0x10010
                                         ":020000040800F2\r\n" // linear 0x0800 -> base 0x08000000
                                         ":02FFFE0033448A\r\n" // 0x0800FFFE
                                         ":00000001FF\r\n");
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.content.chunks.size(), 2);
    QCOMPARE(outcome.content.chunks.at(0).address, 0x10010u);
    QCOMPARE(outcome.content.chunks.at(0).line, 2);
    QCOMPARE(outcome.content.chunks.at(1).address, 0x0800FFFEu);
    QCOMPARE(outcome.content.chunks.at(1).bytes, QByteArray("\x33\x44"));
    QCOMPARE(outcome.content.dataBytes, 4);
}

void HexReaderTest::startAddressesCarryNoData_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<quint32>("start");
    QTest::newRow("type 03") << QByteArray(":0400000312345678E5") << quint32(0x12340 + 0x5678);
    QTest::newRow("type 05") << QByteArray(":040000050800018D61") << 0x0800018Du;
}

void HexReaderTest::startAddressesCarryNoData()
{
    QFETCH(QByteArray, record);
    QFETCH(quint32, start);
    const ReadOutcome outcome = readText(goodData + record + "\r\n" + endOfFile);
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.content.startAddress, std::optional<quint32>(start));
    QCOMPARE(outcome.content.chunks.size(), 1);
    QCOMPARE(outcome.content.dataBytes, 16);
}

void HexReaderTest::missingEndOfFileIsAWarning()
{
    const ReadOutcome outcome = readText(goodData);
    QVERIFY(outcome.ok);
    QVERIFY(!outcome.content.hasEndOfFile);
    QCOMPARE(outcome.content.chunks.size(), 1);
    QCOMPARE(outcome.diagnostics.size(), 1);
    QCOMPARE(outcome.diagnostics.first().severity, Problem::Severity::Warning);
    QVERIFY(outcome.diagnostics.first().toString().contains(
        QStringLiteral("нет записи конца файла (:00000001FF)")));
}

void HexReaderTest::readingStopsAtEndOfFile()
{
    const ReadOutcome outcome = readText(goodData + endOfFile + "not a record at all\r\n");
    QVERIFY(outcome.ok);
    QVERIFY(outcome.diagnostics.isEmpty());
    QCOMPARE(outcome.content.chunks.size(), 1);
}

void HexReaderTest::consecutiveRecordsFormOneChunk()
{
    QByteArray text;
    for (int i = 0; i < 4; ++i)
        text += ":04" + QByteArray::number(i * 4, 16).rightJustified(4, '0').toUpper() + "00AABBCCDD" +
                QByteArray::number(quint8(0x100 - ((4 + i * 4 + 0xAA + 0xBB + 0xCC + 0xDD) & 0xFF)), 16)
                    .rightJustified(2, '0')
                    .toUpper() +
                "\n";
    const ReadOutcome outcome = readText(text + endOfFile);
    QVERIFY2(outcome.ok,
             outcome.diagnostics.isEmpty() ? "" : qPrintable(outcome.diagnostics.first().toString()));
    QCOMPARE(outcome.content.chunks.size(), 1);
    const IntelHexChunk chunk = outcome.content.chunks.first();
    QCOMPARE(chunk.bytes.size(), 16);
    QCOMPARE(chunk.lineOf(0), 1);
    QCOMPARE(chunk.lineOf(9), 3);
    QCOMPARE(chunk.lineOf(15), 4);
}

void HexReaderTest::imageAcceptsRepeatedBytes()
{
    QList<IntelHexChunk> chunks{{0x100, QByteArray("abcdef"), 1, 6}, {0x102, QByteArray("cdefgh"), 2, 6}};
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(chunks, &conflict);
    QVERIFY(!conflict);
    QCOMPARE(image.ranges().size(), 2);
    QCOMPARE(image.ranges().at(1).start, quint64(0x106));
    QCOMPARE(image.ranges().at(1).bytes, QByteArray("gh"));
    QCOMPARE(image.dataSize(), 8);
    QCOMPARE(image.endAddress(), quint64(0x108));
}

void HexReaderTest::imageNamesBothLinesOfAClash()
{
    const ReadOutcome outcome = readText(":0400000001020304F2\n"
                                         ":0400040005060708DE\n"
                                         ":020000040000FA\n"
                                         ":02000500AA0649\n" // 0x05 again with 0xAA instead of 0x06
                                         ":00000001FF\n");
    QVERIFY(outcome.ok);
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(outcome.content.chunks, &conflict);
    QVERIFY(conflict);
    QCOMPARE(conflict->address, quint64(5));
    QCOMPARE(conflict->firstLine, 2);
    QCOMPARE(conflict->secondLine, 4);
    QCOMPARE(conflict->firstValue, quint8(0x06));
    QCOMPARE(conflict->secondValue, quint8(0xAA));
    QVERIFY(image.isEmpty());
}

void HexReaderTest::imageSpansJoinNeighbours()
{
    QList<IntelHexChunk> chunks{
        {0x20, QByteArray("xy"), 3, 2}, {0x10, QByteArray(16, 'a'), 1, 16}, {0x40, "z", 4, 1}};
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(chunks, &conflict);
    QVERIFY(!conflict);
    const QList<QPair<quint64, quint64>> expected{{0x10, 0x22}, {0x40, 0x41}};
    QCOMPARE(image.spans(), expected);
    QCOMPARE(image.lowestAddress(), quint64(0x10));
}

void HexReaderTest::lineSplitAcrossReadBlocks()
{
    // Enough records that line boundaries fall across the reader's 1 MiB blocks.
    QByteArray text;
    const QByteArray record = ":10000000000102030405060708090A0B0C0D0E0F78\n";
    for (int i = 0; i < 30000; ++i)
        text += record;
    text += endOfFile;
    const ReadOutcome outcome = readText(text);
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.content.dataBytes, qint64(30000) * 16);
    text.replace(text.size() - record.size() * 1000, 1, "!");
    const ReadOutcome broken = readText(text);
    QVERIFY(!broken.ok);
    QCOMPARE(broken.diagnostics.first().line, 29001);
}

QTEST_GUILESS_MAIN(HexReaderTest)
#include "tst_hexreader.moc"
