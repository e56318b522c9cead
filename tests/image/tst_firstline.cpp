#include <QtTest>

#include "hextesttools.h"
#include "testplatform.h"

using namespace HexTestTools;

namespace {

const QByteArray HexData = ":100000000102030405060708090A0B0C0D0E0F1068\r\n";
const QByteArray HexEnd = ":00000001FF\r\n";
const QByteArray SRecordHeader = "S00600004844521B\r\n";
const QByteArray SRecordData = "S1130000000102030405060708090A0B0C0D0E0F74\r\n";
const QByteArray SRecordEnd = "S5030001FB\r\nS9030000FC\r\n";

QByteArray withLineEnds(QByteArray text, const QByteArray &lineEnd)
{
    return text.replace("\r\n", lineEnd);
}

} // namespace

// What a file's first line makes of it, through every command that reads image files: a line with the
// shape of a record makes a record file, so a fault in it is an error naming the file as typed and
// line 1; what srec_cat and objcopy take is read as they read it.
class FirstLineTest : public QObject {
    Q_OBJECT

private slots:
    void everyCommandReadsTheFileAlike_data();
    void everyCommandReadsTheFileAlike();
};

void FirstLineTest::everyCommandReadsTheFileAlike_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("format");    // srec_cat's word for it
    QTest::addColumn<QByteArray>("judged"); // what srec_cat reads for it; empty: refused, at line 1
    QTest::newRow("flipped checksum")
        << ":100000000102030405060708090A0B0C0D0E0F1069\r\n" + HexEnd << "-Intel" << QByteArray();
    QTest::newRow("bad length") << ":110000000102030405060708090A0B0C0D0E0F1068\r\n" + HexEnd << "-Intel"
                                << QByteArray();
    QTest::newRow("bad 04 record") << ":0400000408000000F0\r\n" + HexData + HexEnd << "-Intel"
                                   << QByteArray();
    QTest::newRow("S0 bad checksum") << "S00600004844521C\r\n" + SRecordData + SRecordEnd << "-Motorola"
                                     << QByteArray();
    QTest::newRow("S3 past 4 GiB") << "S309FFFFFFFE01020304F1\r\n" + SRecordEnd << "-Motorola"
                                   << QByteArray();
    const QByteArray hex = HexData + HexEnd;
    const QByteArray srec = SRecordHeader + SRecordData + SRecordEnd;
    QTest::newRow("lower-case S-records") << srec.toLower() << "-Motorola" << srec;
    QTest::newRow("CR-only Intel HEX") << withLineEnds(hex, "\r") << "-Intel" << hex;
    QTest::newRow("CR-only S-records") << withLineEnds(srec, "\r") << "-Motorola" << srec;
}

void FirstLineTest::everyCommandReadsTheFileAlike()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, format);
    QFETCH(QByteArray, judged);
    QTemporaryDir dir;
    const QString typed = QStringLiteral("in/fw.") + (format == QLatin1String("-Intel") ? "hex" : "srec");
    QVERIFY(writeFile(dir.filePath(typed), text));
    const QString judgedPath = dir.filePath(QStringLiteral("judged.txt"));
    QVERIFY(writeFile(judgedPath, judged));
    const auto run = [&](const QStringList &arguments) {
        return runCli(arguments, dir.path());
    };
    const QList<std::pair<int, ProcessRun>> runs{
        {1, run({"info", typed})},
        {1, run({"convert", typed, "--to", "bin", "-o", "out.bin"})},
        {1, run({"stamp", typed, "--at", "10", "-o", "stamped"})},
        {2, run({"compare", typed, "judged.txt"})},
        {1, run({"map", typed})},
    };

    if (judged.isEmpty()) {
        for (const auto &[refusedWith, result] : runs) {
            QVERIFY2(result.exitCode == refusedWith, qPrintable(result.out + result.err));
            QVERIFY2(result.err.contains(typed + QStringLiteral(", строка 1: ")), qPrintable(result.err));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("judged.txt")});
        QCOMPARE(readFile(dir.filePath(typed)), text);
        return;
    }
    for (const auto &[refusedWith, result] : runs)
        QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    const QString peerPath = dir.filePath(QStringLiteral("peer.bin"));
    POSIX_ONLY("judged by srec_cat, a Linux program");
    const ToolRun peer = runTool(QStringLiteral("srec_cat"), {judgedPath, format, QStringLiteral("-o"),
                                                              peerPath, QStringLiteral("-Binary")});
    QVERIFY2(peer.exitCode == 0, peer.err.constData());
    QCOMPARE(readFile(dir.filePath(QStringLiteral("out.bin"))), readFile(peerPath));
}

QTEST_GUILESS_MAIN(FirstLineTest)
#include "tst_firstline.moc"
