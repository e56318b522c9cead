#include <QtTest>

#include "intelhexreader.h"
#include "intelhexrecord.h"
#include "intelhexwriter.h"
#include "testfiles.h"

namespace {

QByteArray sequence(int from, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>((from + i) & 0xFF));
    return bytes;
}

QByteArray writeHex(quint32 first, quint64 address, const QByteArray &data)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    IntelHexWriter writer(buffer);
    writer.begin(first);
    writer.writeData(address, data);
    writer.finish();
    return buffer.data();
}

} // namespace

class HexCodecTest : public QObject {
    Q_OBJECT

private slots:
    void checksumOfHexText_data();
    void checksumOfHexText();
    void endOfFileLine();
    void extendedAddressRecord_data();
    void extendedAddressRecord();
    void dataRecordLines_data();
    void dataRecordLines();
    void recordsOfAnyLengthMatchTheirDigits_data();
    void recordsOfAnyLengthMatchTheirDigits();
    void writerGoldenOutput_data();
    void writerGoldenOutput();
    void writerKeepsEveryRecordInsideItsWindow_data();
    void writerKeepsEveryRecordInsideItsWindow();
};

void HexCodecTest::checksumOfHexText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("checksum");
    QTest::newRow("end of file") << QByteArray("00000001") << 0xFF;
    QTest::newRow("linear 0800") << QByteArray("020000040800") << 0xF2;
    QTest::newRow("segment 0100") << QByteArray("020000020100") << 0xFB;
    QTest::newRow("sum wraps") << QByteArray("0300300002337A") << 0x1E;
    QTest::newRow("lower case") << QByteArray("0300300002337a") << 0x1E;
}

// The reader takes the record with its checksum, and no other.
void HexCodecTest::checksumOfHexText()
{
    QFETCH(QByteArray, body);
    QFETCH(int, checksum);
    DecodedRecordLine record;
    for (int sum = 0; sum < 0x100; ++sum) {
        const QByteArray line = ":" + body + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper();
        QCOMPARE(checkRecordLine(line.constData(), line.size(), record).isEmpty(), sum == checksum);
    }
}

void HexCodecTest::endOfFileLine()
{
    QCOMPARE(QByteArray(IntelHexLayout::EndOfFileLine), QByteArray(":00000001FF\r\n"));
    QCOMPARE(writeHex(0, 0, QByteArray()), QByteArray(":00000001FF\r\n"));
}

void HexCodecTest::extendedAddressRecord_data()
{
    QTest::addColumn<quint32>("offset");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("base");
    QTest::newRow("zero writes nothing") << 0u << QByteArray() << 0u;
    QTest::newRow("0x1000 segment") << 0x1000u << QByteArray(":020000020100FB\r\n") << 0x1000u;
    QTest::newRow("0xFFF8 segment") << 0xFFF8u << QByteArray(":020000020FFFEE\r\n") << 0xFFF0u;
    QTest::newRow("0xFFFF0 last segment") << 0xFFFF0u << QByteArray(":02000002FFFFFE\r\n") << 0xFFFF0u;
    QTest::newRow("0xFFFF1 linear") << 0xFFFF1u << QByteArray(":02000004000FEB\r\n") << 0xF0000u;
    QTest::newRow("0x8000000 linear") << 0x8000000u << QByteArray(":020000040800F2\r\n") << 0x8000000u;
}

void HexCodecTest::extendedAddressRecord()
{
    QFETCH(quint32, offset);
    QFETCH(QByteArray, line);
    QFETCH(quint32, base);
    // The writer opens the window of a byte at `offset` with the record, then counts from `base`.
    QByteArray expected = line;
    TestFiles::appendRecordLine(expected, IntelHexRecordType::Data, quint16(offset - base), "\x5A");
    QCOMPARE(writeHex(offset, offset, "\x5A"), expected + IntelHexLayout::EndOfFileLine);
    if (offset != 0)
        QCOMPARE(extendedAddressFor(offset).base, base);
}

void HexCodecTest::dataRecordLines_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint32>("base");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("first block") << sequence(0, 16) << 0u << 0u
                                 << QByteArray(":10000000000102030405060708090A0B0C0D0E0F78\r\n");
    QTest::newRow("second block") << sequence(16, 16) << 0x10u << 0u
                                  << QByteArray(":10001000101112131415161718191A1B1C1D1E1F68\r\n");
    QTest::newRow("address relative to base")
        << sequence(0, 16) << 0x08000010u << 0x08000000u
        << QByteArray(":10001000000102030405060708090A0B0C0D0E0F68\r\n");
    QTest::newRow("short last block")
        << sequence(1, 3) << 0x1000u << 0x1000u << QByteArray(":03000000010203F7\r\n");
    QTest::newRow("all erased is skipped") << QByteArray(16, '\xFF') << 0u << 0u << QByteArray();
    QTest::newRow("one byte not erased") << (QByteArray(15, '\xFF') + '\x00') << 0u << 0u
                                         << QByteArray(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00FF\r\n");
    QTest::newRow("empty") << QByteArray() << 0u << 0u << QByteArray();
}

void HexCodecTest::dataRecordLines()
{
    QFETCH(QByteArray, block);
    QFETCH(quint32, address);
    QFETCH(quint32, base);
    QFETCH(QByteArray, line);
    // Between the record that opens the window at `base` and the end of the file.
    const QByteArray opening =
        writeHex(base, base, QByteArray()).chopped(qsizetype(strlen(IntelHexLayout::EndOfFileLine)));
    QCOMPARE(writeHex(base, address, block), opening + line + IntelHexLayout::EndOfFileLine);
}

void HexCodecTest::recordsOfAnyLengthMatchTheirDigits_data()
{
    // Lengths around the 16-byte blocks the formatter handles at once, with every digit and
    // checksums that wrap.
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("seed");
    for (int length : {0, 1, 15, 16, 17, 31, 32, 35, 48, 255})
        for (int seed : {0, 0x9D})
            QTest::addRow("%d bytes, seed %d", length, seed) << length << seed;
}

void HexCodecTest::recordsOfAnyLengthMatchTheirDigits()
{
    QFETCH(int, length);
    QFETCH(int, seed);
    QByteArray data(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        data[i] = static_cast<char>((i * 37 + seed) & 0xFF);
    const quint16 address = 0xBEEF;
    QByteArray fields;
    fields.append(static_cast<char>(length));
    fields.append(static_cast<char>(address >> 8));
    fields.append(static_cast<char>(address & 0xFF));
    fields.append(static_cast<char>(IntelHexRecordType::Data));
    fields.append(data);
    quint8 sum = 0;
    for (char byte : fields)
        sum += static_cast<quint8>(byte);
    fields.append(static_cast<char>(0x100 - sum));
    QByteArray line("previous");
    TestFiles::appendRecordLine(line, IntelHexRecordType::Data, address, data);
    QCOMPARE(line, QByteArray("previous:") + fields.toHex().toUpper() + "\r\n");
}

void HexCodecTest::writerGoldenOutput_data()
{
    QTest::addColumn<quint32>("offset");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("offset 0, 17 bytes") << 0u << sequence(0, 17)
                                        << QByteArray(":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                                                      ":0100100010DF\r\n"
                                                      ":00000001FF\r\n");
    QTest::newRow("0x1000, 3 bytes") << 0x1000u << sequence(1, 3)
                                     << QByteArray(":020000020100FB\r\n"
                                                   ":03000000010203F7\r\n"
                                                   ":00000001FF\r\n");
    // The first block is split where the 64 KiB window ends, and the next window gets a linear record.
    QTest::newRow("0xFFF8 crossing") << 0xFFF8u << (sequence(0, 16) + sequence(0, 16))
                                     << QByteArray(":020000020FFFEE\r\n"
                                                   ":080008000001020304050607D4\r\n"
                                                   // objcopy would add the segment base to the linear one
                                                   ":020000020000FC\r\n"
                                                   ":020000040001F9\r\n"
                                                   ":0800000008090A0B0C0D0E0F9C\r\n"
                                                   ":10000800000102030405060708090A0B0C0D0E0F70\r\n"
                                                   ":00000001FF\r\n");
    QTest::newRow("0x8000000 erased block skipped")
        << 0x8000000u << (sequence(0, 16) + QByteArray(16, '\xFF') + sequence(0, 2))
        << QByteArray(":020000040800F2\r\n"
                      ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                      ":020020000001DD\r\n"
                      ":00000001FF\r\n");
    QTest::newRow("only erased bytes")
        << 0x8000000u << QByteArray(64, '\xFF') << QByteArray(":020000040800F2\r\n:00000001FF\r\n");
}

void HexCodecTest::writerGoldenOutput()
{
    QFETCH(quint32, offset);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    QCOMPARE(writeHex(offset, offset, data), expected);
}

void HexCodecTest::writerKeepsEveryRecordInsideItsWindow_data()
{
    QTest::addColumn<quint32>("offset");
    QTest::newRow("0") << 0u;
    QTest::newRow("0x1000") << 0x1000u;
    QTest::newRow("0xFFF8") << 0xFFF8u;
    QTest::newRow("0x1FFF7") << 0x1FFF7u;
    QTest::newRow("0xFFFF0") << 0xFFFF0u;
    QTest::newRow("0x0FFFFFF0") << 0x0FFFFFF0u;
}

// Reads the writer's own output line by line with the segment / linear rules and checks that no
// record runs past its window and that every byte comes back at offset + position.
void HexCodecTest::writerKeepsEveryRecordInsideItsWindow()
{
    QFETCH(quint32, offset);
    const QByteArray data = sequence(7, 3 * 0x10000 + 5);
    const QByteArray text = writeHex(offset, offset, data);

    quint64 base = 0;
    QByteArray rebuilt(data.size(), '\0');
    qsizetype filled = 0;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        QVERIFY(line.endsWith('\r'));
        const QByteArray bytes = QByteArray::fromHex(line.mid(1, line.size() - 2));
        const int count = quint8(bytes.at(0));
        const quint32 address = quint8(bytes.at(1)) << 8 | quint8(bytes.at(2));
        const int type = bytes.at(3);
        QVERIFY(line.size() - 2 <= 1 + 2 * (5 + count));
        if (type == 2)
            base = quint64(quint8(bytes.at(4)) << 8 | quint8(bytes.at(5))) << 4;
        else if (type == 4)
            base = quint64(quint8(bytes.at(4)) << 8 | quint8(bytes.at(5))) << 16;
        else if (type == 0) {
            QVERIFY2(address + count <= 0x10000, line.constData());
            const quint64 absolute = base + address;
            QVERIFY(absolute >= offset);
            rebuilt.replace(qsizetype(absolute - offset), count, bytes.mid(4, count));
            filled += count;
        }
    }
    QCOMPARE(filled, data.size());
    QCOMPARE(rebuilt, data);
}

QTEST_GUILESS_MAIN(HexCodecTest)
#include "tst_hexcodec.moc"
