#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "hextesttools.h"
#include "imagebuild.h"
#include "imageplan.h"
#include "intelhexreader.h"
#include "intelhexrecord.h"
#include "intelhexwriter.h"
#include "jobrun.h"
#include "memoryimage.h"
#include "peakmemory.h"
#include "scripteddialogs.h"
#include "tabsettings.h"
#include "testplatform.h"

using namespace HexTestTools;
using TestFiles::pattern;

namespace {

// The data of a HEX file as our own reader sees it: address -> byte.
QMap<quint64, quint8> dataOf(const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    IntelHexReader reader;
    QMap<quint64, quint8> result;
    if (!reader.read(buffer, QStringLiteral("x.hex")))
        return result;
    for (const IntelHexChunk &chunk : reader.content().chunks)
        for (int i = 0; i < chunk.bytes.size(); ++i)
            result.insert(chunk.address + static_cast<quint64>(i), static_cast<quint8>(chunk.bytes.at(i)));
    return result;
}

// How a join ended, and the image it wrote.
struct Joined {
    enum class Outcome { Joined, NothingToJoin, Failed, Cancelled };
    Outcome outcome = Outcome::Failed;
    QString imagePath;

    bool succeeded() const { return outcome == Outcome::Joined; }
};

// The IntelHEX tab's "Сборка" without its questions: the job's plan, then its build; what the user
// is told goes to `reporter`. `stopWhen` is asked at each progress report, as the window asks its
// "Отмена".
Joined joinAsTheTabDoes(const IntelHexJoinJob &job, Reporter &reporter,
                        const JobRun::ProgressConsumer &progress = {},
                        const std::function<bool()> &stopWhen = {})
{
    JobRun run(
        [&](qint64 done, qint64 total) {
            if (progress)
                progress(done, total);
            if (stopWhen && stopWhen())
                run.cancel();
        },
        [&reporter](const Problem &problem) { reportProblem(reporter, problem); }, 0);
    const Result<QStringList> built = buildImages(planImages(job, run), run);
    if (built)
        return {Joined::Outcome::Joined, built->first()};
    if (run.isCancelled())
        return {Joined::Outcome::Cancelled, QString()};
    return {built.problems().first().isError() ? Joined::Outcome::Failed : Joined::Outcome::NothingToJoin,
            QString()};
}

} // namespace

class IntelHexJoinTest : public QObject {
    Q_OBJECT

private slots:
    void init();

    void twoFilesGiveTheirRecordsThenOneEndOfFile_data();
    void twoFilesGiveTheirRecordsThenOneEndOfFile();
    void otherToolsReadTheSameData();
    void writesAManifestListingEachFile();
    void leftExtendedAddressIsResetForTheNextPiece_data();
    void leftExtendedAddressIsResetForTheNextPiece();
    void everyReaderReadsTheJoinAlike_data();
    void everyReaderReadsTheJoinAlike();
    void zeroBaseLeftNeedsNoReset();
    void onlyTheFirstStartAddressIsKept();
    void pieceWithoutEndOfFileIsCopiedWhole();
    void differentBytesAtOneAddressAreRefused();
    void sameBytesAtOneAddressAreAccepted();
    void clashInsideOneFileNamesBothLines();
    void malformedPieceWritesNothing_data();
    void malformedPieceWritesNothing();
    void longerOldImageLeavesNoTail();
    void nothingCheckedOrNoOutputDirIsAWarning();
    void badSourcesAndOutputsAreErrors_data();
    void badSourcesAndOutputsAreErrors();
    void progressEndsWholeAndCancelWritesNothing_data();
    void progressEndsWholeAndCancelWritesNothing();
    void holdsOnlyTheDecodedData();

    void cliJoinsAndPrintsThePath();
    void cliUsageAndFailureExitCodes_data();
    void cliUsageAndFailureExitCodes();
    void cliTakesTheJobFromSavedSettings_data();
    void cliTakesTheJobFromSavedSettings();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString put(const QString &name, const QByteArray &text);
    Joined join(const QStringList &sources, const QString &name = QStringLiteral("out.hex"));
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // Runs quillon-cli intelhex in the temporary directory; returns the exit code.
    int runCli(const QStringList &arguments, QString *out = nullptr, QString *err = nullptr);

    std::optional<QTemporaryDir> m_dir;
    ScriptedDialogs m_reporter;
};

void IntelHexJoinTest::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    m_reporter.records.clear();
}

QString IntelHexJoinTest::put(const QString &name, const QByteArray &text)
{
    const QString target = path(name);
    if (!writeFile(target, text))
        return QString();
    return target;
}

Joined IntelHexJoinTest::join(const QStringList &sources, const QString &name)
{
    IntelHexJoinJob job;
    job.sources = sources;
    job.outputDir = m_dir->path();
    job.fileName = name;
    return joinAsTheTabDoes(job, m_reporter);
}

void IntelHexJoinTest::twoFilesGiveTheirRecordsThenOneEndOfFile_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
}

void IntelHexJoinTest::twoFilesGiveTheirRecordsThenOneEndOfFile()
{
    QFETCH(QByteArray, lineEnd);
    const QByteArray aRecords = dataRecord(0x0000, pattern(16, 1)) + dataRecord(0x0010, pattern(5, 2));
    const QByteArray bRecords = dataRecord(0x1000, pattern(16, 3));
    auto withLineEnd = [&](QByteArray text) {
        return text.replace("\r\n", lineEnd);
    };
    const QString a = put(QStringLiteral("a.hex"), withLineEnd(aRecords + EndOfFile));
    const QString b = put(QStringLiteral("b.hex"), withLineEnd(bRecords + EndOfFile));

    const Joined result = join({a, b});

    QVERIFY(result.succeeded());
    QCOMPARE(result.imagePath, path(QStringLiteral("out.hex")));
    QCOMPARE(readFile(result.imagePath), withLineEnd(aRecords + bRecords + EndOfFile));
    QVERIFY(m_reporter.records.isEmpty());
}

void IntelHexJoinTest::writesAManifestListingEachFile()
{
    const QByteArray aText = hexFor(0x08000000, pattern(0x40, 6));
    const QByteArray bText = hexFor(0x08004000, pattern(0x20, 7));
    const QString a = put(QStringLiteral("a.hex"), aText);
    const QString b = put(QStringLiteral("b.hex"), bText);
    const Joined result = join({a, b});
    QVERIFY(result.succeeded());
    QCOMPARE(entries(), (QStringList{"a.hex", "b.hex", "out.hex", "out.hex.manifest.json"}));

    const QByteArray image = readFile(result.imagePath);
    const QJsonObject manifest =
        QJsonDocument::fromJson(readFile(result.imagePath + ".manifest.json")).object();
    const QJsonObject imageEntry = manifest[QStringLiteral("image")].toObject();
    QCOMPARE(imageEntry[QStringLiteral("file")].toString(), QStringLiteral("out.hex"));
    QCOMPARE(imageEntry[QStringLiteral("size")].toInteger(), image.size());
    QCOMPARE(imageEntry[QStringLiteral("sha256")].toString().toLatin1(),
             QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    const QJsonArray pieces = manifest[QStringLiteral("pieces")].toArray();
    QCOMPARE(pieces.size(), 2);
    const QList<std::tuple<QString, QString, QByteArray>> expected = {
        {a, QStringLiteral("0x08000000"), aText}, {b, QStringLiteral("0x08004000"), bText}};
    for (int i = 0; i < pieces.size(); ++i) {
        const QJsonObject piece = pieces[i].toObject();
        QCOMPARE(piece[QStringLiteral("source")].toString(),
                 QDir::toNativeSeparators(std::get<0>(expected[i])));
        QCOMPARE(piece[QStringLiteral("offset")].toString(), std::get<1>(expected[i]));
        QCOMPARE(piece[QStringLiteral("size")].toInteger(), std::get<2>(expected[i]).size());
        QCOMPARE(piece[QStringLiteral("sha256")].toString().toLatin1(),
                 QCryptographicHash::hash(std::get<2>(expected[i]), QCryptographicHash::Sha256).toHex());
    }
    QVERIFY(!manifest.contains(QStringLiteral("names")));
}

void IntelHexJoinTest::otherToolsReadTheSameData()
{
    // Two pieces in different 64 KiB windows, the first one reaching across a window boundary.
    const QString a = put(QStringLiteral("a.hex"), hexFor(0x0800FF00, pattern(0x300, 4)));
    const QString b = put(QStringLiteral("b.hex"), hexFor(0x08020000, pattern(0x123, 5)));
    QVERIFY(join({a, b}).succeeded());
    const QString out = path(QStringLiteral("out.hex"));

    const QString reference = path(QStringLiteral("reference.hex"));
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    ProcessRun run =
        runProcess(QStringLiteral("srec_cat"), {a, QStringLiteral("-Intel"), b, QStringLiteral("-Intel"),
                                                QStringLiteral("-o"), reference, QStringLiteral("-Intel")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run = runProcess(QStringLiteral("srec_cmp"),
                     {out, QStringLiteral("-Intel"), reference, QStringLiteral("-Intel")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));

    const QString script = QStringLiteral("import sys\n"
                                          "from intelhex import IntelHex\n"
                                          "joined = IntelHex(sys.argv[1])\n"
                                          "merged = IntelHex(sys.argv[2])\n"
                                          "merged.merge(IntelHex(sys.argv[3]), overlap='error')\n"
                                          "assert joined.todict() == merged.todict(), 'different data'\n"
                                          "print(joined.segments())\n");
    run = runProcess(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, out, a, b});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out.trimmed(), QStringLiteral("[(134283008, 134283776), (134348800, 134349091)]"));
}

void IntelHexJoinTest::leftExtendedAddressIsResetForTheNextPiece_data()
{
    QTest::addColumn<QByteArray>("addressRecord");
    QTest::addColumn<QByteArray>("written"); // the address record as the joined file has it
    QTest::addColumn<QByteArray>("reset");
    QTest::addColumn<quint32>("firstBase");
    QTest::newRow("linear") << QByteArray(":020000040800F2\r\n") << QByteArray(":020000040800F2\r\n")
                            << QByteArray(":020000040000FA\r\n") << 0x08000000u;
    // Setting the linear base to 0 would leave the segment base in force for objcopy.
    QTest::newRow("segment") << QByteArray(":020000021000EC\r\n") << QByteArray(":020000021000EC\r\n")
                             << QByteArray(":020000020000FC\r\n") << 0x10000u;
    QTest::newRow("linear, lower case")
        << QByteArray(":02000004abcd82\r\n") << QByteArray(":02000004ABCD82\r\n")
        << QByteArray(":020000040000FA\r\n") << 0xABCD0000u;
}

void IntelHexJoinTest::leftExtendedAddressIsResetForTheNextPiece()
{
    QFETCH(QByteArray, addressRecord);
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, reset);
    QFETCH(quint32, firstBase);
    const QByteArray aData = pattern(16, 6);
    const QByteArray bData = pattern(16, 7);
    // B relies on the upper address being 0: it has no address record at all.
    const QByteArray bRecords = dataRecord(0x0200, bData);
    const QString a = put(QStringLiteral("a.hex"), addressRecord + dataRecord(0x0100, aData) + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), bRecords + EndOfFile);

    QVERIFY(join({a, b}).succeeded());

    const QString outPath = path(QStringLiteral("out.hex"));
    const QByteArray out = readFile(outPath);
    QCOMPARE(out, written + dataRecord(0x0100, aData) + reset + bRecords + EndOfFile);
    const QMap<quint64, quint8> data = dataOf(out);
    QCOMPARE(data.size(), 32);
    QCOMPARE(data.value(firstBase + 0x0100), static_cast<quint8>(aData.at(0)));
    QCOMPARE(data.value(0x0200), static_cast<quint8>(bData.at(0)));
    QCOMPARE(data.value(0x020F), static_cast<quint8>(bData.at(15)));
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    for (const OtherReading &reading : readWithOtherTools(outPath, m_dir->path())) {
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.tool + QLatin1String(": ") + reading.error));
        QVERIFY2(reading.bytes == data, qPrintable(reading.tool));
    }
}

void IntelHexJoinTest::everyReaderReadsTheJoinAlike_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    const QByteArray crossing = pattern(48, 40);
    // A piece in segment mode whose data crosses a 64 KiB boundary, as srec_cat writes it for
    // addresses below 1 MiB.
    const QByteArray segmentPiece = segmentBase(0x1FFF) + dataRecord(0x0000, crossing.first(16)) +
                                    dataRecord(0x0010, crossing.sliced(16, 16)) + segmentBase(0x2000) +
                                    dataRecord(0x0010, crossing.sliced(32)) + EndOfFile;
    const QByteArray linearPiece = hexFor(0x0800FFF0, pattern(64, 41));
    QTest::newRow("segment, then linear") << QList<QByteArray>{segmentPiece, linearPiece};
    QTest::newRow("linear, then segment") << QList<QByteArray>{linearPiece, segmentPiece};
    // One piece that moves from segment to linear addresses without setting the segment base to 0.
    QTest::newRow("segment to linear inside a piece")
        << QList<QByteArray>{segmentBase(0x4000) + dataRecord(0x0000, pattern(16, 42)) + linearBase(0x0005) +
                                 dataRecord(0x0000, pattern(16, 43)) + EndOfFile,
                             hexFor(0x00060000, pattern(16, 44))};
    // A segment record whose data runs past its 64 KiB window (srec_cat wraps it, others do not).
    QTest::newRow("segment record past its window")
        << QList<QByteArray>{segmentBase(0x1000) + dataRecord(0xFFF8, pattern(16, 45)) + EndOfFile};
    const QByteArray shared = pattern(16, 46);
    QTest::newRow("same bytes at one address")
        << QList<QByteArray>{dataRecord(0x0000, pattern(16, 47)) + dataRecord(0x0010, shared) + EndOfFile,
                             dataRecord(0x0008, pattern(32, 47).sliced(8, 8) + shared.first(8)) +
                                 dataRecord(0x0010, shared) + EndOfFile};
    // objcopy refuses a file whose first line is blank.
    QTest::newRow("blank lines") << QList<QByteArray>{"\r\n" + dataRecord(0x0000, pattern(16, 48)) + "\r\n" +
                                                          EndOfFile,
                                                      dataRecord(0x0100, pattern(16, 49)) + EndOfFile};
    QTest::newRow("byte order mark") << QList<QByteArray>{"\xEF\xBB\xBF" +
                                                          dataRecord(0x0100, pattern(16, 50)) + EndOfFile};
}

// The joined file means to srec_cat, objcopy and Python's intelhex what its pieces mean to our reader.
void IntelHexJoinTest::everyReaderReadsTheJoinAlike()
{
    QFETCH(QList<QByteArray>, pieces);
    QStringList paths;
    QMap<quint64, quint8> expected;
    for (qsizetype index = 0; index < pieces.size(); ++index) {
        paths << put(QStringLiteral("piece%1.hex").arg(index), pieces.at(index));
        QByteArray text = pieces.at(index);
        if (text.startsWith("\xEF\xBB\xBF"))
            text.remove(0, 3);
        const QMap<quint64, quint8> data = dataOf(text);
        QVERIFY(!data.isEmpty());
        expected.insert(data);
    }

    QVERIFY(join(paths).succeeded());

    const QString outPath = path(QStringLiteral("out.hex"));
    QCOMPARE(dataOf(readFile(outPath)), expected);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    for (const OtherReading &reading : readWithOtherTools(outPath, m_dir->path())) {
        QVERIFY2(reading.error.isEmpty(), qPrintable(reading.tool + QLatin1String(": ") + reading.error));
        QVERIFY2(reading.bytes == expected, qPrintable(reading.tool));
    }
}

void IntelHexJoinTest::zeroBaseLeftNeedsNoReset()
{
    const QByteArray aRecords = linearBase(0x0800) + dataRecord(0, pattern(16, 8)) + linearBase(0);
    const QByteArray bRecords = dataRecord(0x0040, pattern(16, 9));
    const QString a = put(QStringLiteral("a.hex"), aRecords + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), bRecords + EndOfFile);
    // The last piece's window needs no reset either: the end-of-file record follows.
    const QByteArray cRecords = linearBase(0x0801) + dataRecord(0, pattern(16, 10));
    const QString c = put(QStringLiteral("c.hex"), cRecords + EndOfFile);

    QVERIFY(join({a, b, c}).succeeded());

    QCOMPARE(readFile(path(QStringLiteral("out.hex"))), aRecords + bRecords + cRecords + EndOfFile);
}

void IntelHexJoinTest::onlyTheFirstStartAddressIsKept()
{
    const QByteArray aRecords = dataRecord(0, pattern(16, 10));
    const QByteArray bRecords = startLinear(0x08000101) + dataRecord(0x0100, pattern(16, 11));
    const QByteArray cRecords = dataRecord(0x0200, pattern(16, 12));
    const QString a = put(QStringLiteral("a.hex"), aRecords + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), bRecords + EndOfFile);
    const QString c =
        put(QStringLiteral("c.hex"), startLinear(0x08000201) + cRecords + startLinear(0x1) + EndOfFile);

    QVERIFY(join({a, b, c}).succeeded());

    const QString out = path(QStringLiteral("out.hex"));
    QCOMPARE(readFile(out), aRecords + bRecords + cRecords + EndOfFile);
    POSIX_ONLY("judged by srec_cat, objcopy and Python's intelhex, Linux programs");
    const ProcessRun run = runProcess(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys\nfrom intelhex import IntelHex\nprint(IntelHex(sys.argv[1]).start_addr)"),
         out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.out.trimmed(), QStringLiteral("{'EIP': 134217985}"));
}

void IntelHexJoinTest::pieceWithoutEndOfFileIsCopiedWhole()
{
    // No end-of-file record and no line end after the last record.
    QByteArray aRecords = dataRecord(0, pattern(16, 13));
    aRecords.chop(2);
    const QByteArray bRecords = dataRecord(0x0100, pattern(16, 14));
    const QString a = put(QStringLiteral("a.hex"), aRecords);
    const QString b = put(QStringLiteral("b.hex"), bRecords + EndOfFile + "trailing text after the end\r\n");

    QVERIFY(join({a, b}).succeeded());

    QCOMPARE(readFile(path(QStringLiteral("out.hex"))), aRecords + "\r\n" + bRecords + EndOfFile);
    // A file cut short is joined, but not without a word, as the converter says it too.
    QCOMPARE(m_reporter.messages().size(), 1);
    QCOMPARE(m_reporter.messages().first().kind, MessageKind::Warning);
    QCOMPARE(m_reporter.messages().first().text,
             QStringLiteral("Файл %1: нет записи конца файла (:00000001FF); данные прочитаны до "
                            "конца файла")
                 .arg(a));
}

void IntelHexJoinTest::differentBytesAtOneAddressAreRefused()
{
    const QString boot = put(QStringLiteral("boot.hex"),
                             linearBase(0x0800) + dataRecord(0x0000, pattern(32, 15).left(16)) + EndOfFile);
    QByteArray clashing = pattern(16, 15);
    clashing[9] = static_cast<char>(clashing.at(9) ^ 0x5A);
    const QString app =
        put(QStringLiteral("app.hex"), linearBase(0x0800) + dataRecord(0x0000, clashing) + EndOfFile);
    const QString old = put(QStringLiteral("out.hex"), "old image\n");

    const Joined result = join({boot, app});

    QVERIFY(!result.succeeded());
    QCOMPARE(m_reporter.messages().size(), 1);
    const ScriptedDialogs::Record message = m_reporter.messages().first();
    QCOMPARE(message.kind, MessageKind::Critical);
    QCOMPARE(message.title, QStringLiteral("Error!"));
    QVERIFY2(message.text.contains(boot) && message.text.contains(app) && message.text.contains("0x08000009"),
             qPrintable(message.text));
    QCOMPARE(readFile(old), QByteArray("old image\n"));
    QCOMPARE(entries(), QStringList({"app.hex", "boot.hex", "out.hex"}));
}

void IntelHexJoinTest::sameBytesAtOneAddressAreAccepted()
{
    const QByteArray shared = pattern(16, 16);
    const QString a = put(QStringLiteral("a.hex"),
                          dataRecord(0x0000, pattern(16, 17)) + dataRecord(0x0010, shared) + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"),
                          dataRecord(0x0010, shared) + dataRecord(0x0020, pattern(16, 18)) + EndOfFile);

    QVERIFY(join({a, b}).succeeded());

    QCOMPARE(dataOf(readFile(path(QStringLiteral("out.hex")))).size(), 48);
    QVERIFY(m_reporter.records.isEmpty());
}

void IntelHexJoinTest::clashInsideOneFileNamesBothLines()
{
    const QString a = put(QStringLiteral("a.hex"), dataRecord(0x0010, QByteArray(16, '\x01')) +
                                                       dataRecord(0x0000, QByteArray(16, '\x02')) +
                                                       dataRecord(0x0014, QByteArray(4, '\x03')) + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), dataRecord(0x0100, QByteArray(16, '\x04')) + EndOfFile);

    QVERIFY(!join({b, a}).succeeded());

    QCOMPARE(m_reporter.messageTexts(),
             QStringList(
                 QStringLiteral("Файл %1 дважды задает адрес 0x00000014 разными данными: 0x01 в строке 1 и "
                                "0x03 в строке 3.")
                     .arg(a)));
    QVERIFY(!QFile::exists(path(QStringLiteral("out.hex"))));
}

void IntelHexJoinTest::malformedPieceWritesNothing_data()
{
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("problem");
    QTest::newRow("checksum") << QByteArray(":10001000000102030405060708090A0B0C0D0E0F69\r\n")
                              << QStringLiteral("строка 2: неверная контрольная сумма");
    QTest::newRow("digit") << QByteArray(":1000100000010203040506070809XA0B0C0D0E0F68\r\n")
                           << QStringLiteral("строка 2: 'X' в столбце 30 не шестнадцатеричная цифра");
    QTest::newRow("count") << QByteArray(":11001000000102030405060708090A0B0C0D0E0F68\r\n")
                           << QStringLiteral("строка 2: счётчик байтов 11");
}

void IntelHexJoinTest::malformedPieceWritesNothing()
{
    QFETCH(QByteArray, badLine);
    QFETCH(QString, problem);
    const QString good = put(QStringLiteral("good.hex"), dataRecord(0x0100, pattern(16, 19)) + EndOfFile);
    const QString bad =
        put(QStringLiteral("bad.hex"), dataRecord(0x0000, pattern(16, 20)) + badLine + EndOfFile);
    const QByteArray previous = hexFor(0, pattern(64, 21));
    put(QStringLiteral("out.hex"), previous);

    QVERIFY(!join({good, bad}).succeeded());

    QCOMPARE(m_reporter.messages().size(), 1);
    const QString text = m_reporter.messages().first().text;
    QVERIFY2(text.startsWith(QStringLiteral("Ошибка в файле %1, ").arg(bad)) && text.contains(problem),
             qPrintable(text));
    QCOMPARE(readFile(path(QStringLiteral("out.hex"))), previous);
    QCOMPARE(entries(), QStringList({"bad.hex", "good.hex", "out.hex"}));
}

void IntelHexJoinTest::longerOldImageLeavesNoTail()
{
    const QByteArray records = dataRecord(0, pattern(16, 22));
    const QString a = put(QStringLiteral("a.hex"), records + EndOfFile);
    put(QStringLiteral("out.hex"), hexFor(0, pattern(4096, 23)));

    QVERIFY(join({a}).succeeded());

    QCOMPARE(readFile(path(QStringLiteral("out.hex"))), records + EndOfFile);
}

void IntelHexJoinTest::nothingCheckedOrNoOutputDirIsAWarning()
{
    const Joined result = join({});

    QCOMPARE(result.outcome, Joined::Outcome::NothingToJoin);
    QCOMPARE(m_reporter.messages().size(), 1);
    QCOMPARE(m_reporter.messages().first().kind, MessageKind::Warning);
    QCOMPARE(m_reporter.messages().first().title, QStringLiteral("Предупреждение!"));
    QCOMPARE(m_reporter.messages().first().text, QStringLiteral("Нечего собирать: не отмечен ни один файл."));
    QVERIFY(entries().isEmpty());

    const QString a = put(QStringLiteral("a.hex"), dataRecord(0, pattern(16, 31)) + EndOfFile);
    IntelHexJoinJob job;
    job.sources = {a};
    job.fileName = QStringLiteral("out.hex");
    QCOMPARE(joinAsTheTabDoes(job, m_reporter).outcome, Joined::Outcome::NothingToJoin);
    QCOMPARE(m_reporter.messages().size(), 2);
    QCOMPARE(m_reporter.messages().last().kind, MessageKind::Warning);
    QCOMPARE(m_reporter.messages().last().text,
             QStringLiteral("Нечего собирать: не выбран путь записи out-file."));
    QCOMPARE(entries(), QStringList(QStringLiteral("a.hex")));
}

void IntelHexJoinTest::badSourcesAndOutputsAreErrors_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("outputDir");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing source") << "missing.hex"
                                    << "."
                                    << "out.hex"
                                    << "Не удалось открыть файл по пути: %1/missing.hex";
    QTest::newRow("source is a directory") << "sub"
                                           << "."
                                           << "out.hex"
                                           << "Не удалось открыть файл по пути: %1/sub";
    QTest::newRow("empty source") << ""
                                  << "."
                                  << "out.hex"
                                  << "Один из отмеченных файлов не выбран.";
    QTest::newRow("missing output dir") << "a.hex"
                                        << "nowhere"
                                        << "out.hex"
                                        << "Не найдена директория по пути: %1/nowhere";
    QTest::newRow("no name") << "a.hex"
                             << "."
                             << ".hex"
                             << "Не задано имя выходного файла.";
}

void IntelHexJoinTest::badSourcesAndOutputsAreErrors()
{
    QFETCH(QString, source);
    QFETCH(QString, outputDir);
    QFETCH(QString, fileName);
    QFETCH(QString, error);
    put(QStringLiteral("a.hex"), dataRecord(0, pattern(16, 24)) + EndOfFile);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    const QString base = m_dir->path();
    IntelHexJoinJob job;
    job.sources = {source.isEmpty() ? source : base + QLatin1Char('/') + source};
    job.outputDir = outputDir.isEmpty()               ? outputDir
                    : outputDir == QLatin1String(".") ? base
                                                      : base + QLatin1Char('/') + outputDir;
    job.fileName = fileName;

    const Joined result = joinAsTheTabDoes(job, m_reporter);

    QCOMPARE(result.outcome, Joined::Outcome::Failed);
    // A missing output folder is named as the system writes paths; a source as it was given.
    QString expected = error.contains(QLatin1String("%1")) ? error.arg(base) : error;
    if (outputDir == QLatin1String("nowhere"))
        expected = QDir::toNativeSeparators(expected);
    QCOMPARE(m_reporter.messageTexts(), QStringList(expected));
    QCOMPARE(m_reporter.messages().first().title, QStringLiteral("Error!"));
    QCOMPARE(entries(), QStringList(QStringLiteral("a.hex")));
}

void IntelHexJoinTest::progressEndsWholeAndCancelWritesNothing_data()
{
    QTest::addColumn<int>("cancelAt"); // the report the run is cancelled at; -1: none
    QTest::newRow("not cancelled") << -1;
    QTest::newRow("cancelled while reading") << 1;
    QTest::newRow("cancelled while writing") << 3; // the first report of the writing
}

// The files are counted while they are read, then the writing goes on in thousandths to its end; a
// cancel at any report leaves the older image and no temporary file, and says nothing.
void IntelHexJoinTest::progressEndsWholeAndCancelWritesNothing()
{
    QFETCH(int, cancelAt);
    const QString a = put(QStringLiteral("a.hex"), dataRecord(0, pattern(16, 25)) + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), dataRecord(0x10, pattern(16, 26)) + EndOfFile);
    const QString c = put(QStringLiteral("c.hex"), dataRecord(0x20, pattern(16, 27)) + EndOfFile);
    put(QStringLiteral("out.hex"), "previous");
    IntelHexJoinJob job;
    job.sources = {a, b, c};
    job.outputDir = m_dir->path();
    job.fileName = QStringLiteral("out.hex");
    QList<QPair<qint64, qint64>> steps;
    const auto record = [&steps](qint64 done, qint64 total) {
        steps.append({done, total});
    };
    const auto stop = [&steps, cancelAt] {
        return steps.size() == cancelAt + 1;
    };

    const Joined joined = joinAsTheTabDoes(job, m_reporter, record, stop);

    QCOMPARE(steps.mid(0, 3), (QList<QPair<qint64, qint64>>{{1, 3}, {2, 3}, {3, 3}}).mid(0, steps.size()));
    QVERIFY(m_reporter.records.isEmpty());
    if (cancelAt < 0) {
        QVERIFY(joined.succeeded());
        QCOMPARE(steps.last(), (QPair<qint64, qint64>{JobRun::PerMille, JobRun::PerMille}));
        return;
    }
    QCOMPARE(joined.outcome, Joined::Outcome::Cancelled);
    QCOMPARE(steps.size(), cancelAt + 1);
    QCOMPARE(readFile(path(QStringLiteral("out.hex"))), QByteArray("previous"));
    QCOMPARE(entries(), (QStringList{QStringLiteral("a.hex"), QStringLiteral("b.hex"),
                                     QStringLiteral("c.hex"), QStringLiteral("out.hex")}));
}

// The files are streamed through the reader: what is held is their data, not their text, and the
// image is written as it is made.
void IntelHexJoinTest::holdsOnlyTheDecodedData()
{
    constexpr qsizetype DataSize = 24 << 20;
    QFile big(path(QStringLiteral("big.hex")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    IntelHexWriter writer(big);
    QVERIFY(writer.begin(0x08000000));
    const QByteArray block = pattern(1 << 20, 50);
    for (qsizetype at = 0; at < DataSize; at += block.size())
        QVERIFY(writer.writeData(0x08000000 + quint64(at), block));
    QVERIFY(writer.finish());
    big.close();
    put(QStringLiteral("small.hex"), dataRecord(0x0100, pattern(16, 51)) + EndOfFile);

    const QString cli = cliPath();
    POSIX_ONLY("peak memory as GNU time measures it");
    const MeasuredRun bare = runMeasured(cli, {QStringLiteral("--version")});
    const MeasuredRun run = runMeasured(
        cli,
        {QStringLiteral("intelhex"), QStringLiteral("--out"), QStringLiteral("."), QStringLiteral("--name"),
         QStringLiteral("joined"), QStringLiteral("small.hex"), QStringLiteral("big.hex")},
        m_dir->path());
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QVERIFY(bare.peakKiB > 0 && run.peakKiB > 0);
    const qint64 held = run.peakKiB - bare.peakKiB;
    QVERIFY2(held < 2 * DataSize / 1024,
             qPrintable(QStringLiteral("%1 KiB held for %2 KiB of data in %3 KiB of text")
                            .arg(held)
                            .arg(DataSize / 1024)
                            .arg(big.size() / 1024)));
    QCOMPARE(dataOf(readFile(path(QStringLiteral("joined.hex")))).size(), DataSize + 16);
}

void IntelHexJoinTest::cliJoinsAndPrintsThePath()
{
    const QByteArray aRecords = hexFor(0x08000000, pattern(100, 28), false);
    const QByteArray bRecords = hexFor(0x08010000, pattern(60, 29), false);
    const QString a = put(QStringLiteral("a.hex"), aRecords + EndOfFile);
    const QString b = put(QStringLiteral("b.hex"), bRecords + EndOfFile);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("release")));

    QProcess cli;
    cli.setWorkingDirectory(m_dir->path());
    cli.start(cliPath(), {QStringLiteral("intelhex"), QStringLiteral("--out"), QStringLiteral("release"),
                          QStringLiteral("--name"), QStringLiteral("fw 1.0"), QStringLiteral("a.hex"),
                          QStringLiteral("b.hex")});
    QVERIFY(cli.waitForFinished(30000));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == 0, qPrintable(errors));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), QStringLiteral("release/fw 1.0.hex\n"));
    QCOMPARE(errors, QStringLiteral("Complete! Сборка завершена\n"));
    QCOMPARE(readFile(path(QStringLiteral("release/fw 1.0.hex"))),
             aRecords + ":020000040000FA\r\n" + bRecords + EndOfFile);
}

void IntelHexJoinTest::cliUsageAndFailureExitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList outAndName = {"--out", ".", "--name", "out"};
    QTest::newRow("no file") << outAndName << 2 << "no FILE given";
    QTest::newRow("seven files") << (outAndName + QStringList(7, "a.hex")) << 2
                                 << "at most 6 files are joined, 7 given";
    QTest::newRow("no --out") << QStringList{"--name", "out", "a.hex"} << 2 << "--out DIR is missing";
    QTest::newRow("no --name") << QStringList{"--out", ".", "a.hex"} << 2 << "--name NAME is missing";
    QTest::newRow("unknown option") << (outAndName + QStringList{"--bogus", "a.hex"}) << 2
                                    << "Unknown option 'bogus'";
    QTest::newRow("bad checksum") << (outAndName + QStringList{"a.hex", "bad.hex"}) << 1
                                  << "Error! Ошибка в файле bad.hex, строка 1: неверная контрольная сумма";
    QTest::newRow("missing file") << (outAndName + QStringList{"a.hex", "none.hex"}) << 1
                                  << "Error! Не удалось открыть файл по пути: none.hex";
}

void IntelHexJoinTest::cliUsageAndFailureExitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    put(QStringLiteral("a.hex"), dataRecord(0, pattern(16, 30)) + EndOfFile);
    put(QStringLiteral("bad.hex"), ":10001000000102030405060708090A0B0C0D0E0F69\r\n" + EndOfFile);

    QProcess cli;
    cli.setWorkingDirectory(m_dir->path());
    cli.start(cliPath(), QStringList(QStringLiteral("intelhex")) + arguments);
    QVERIFY(cli.waitForFinished(30000));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(cli.readAllStandardOutput().isEmpty());
    QVERIFY(!QFile::exists(path(QStringLiteral("out.hex"))));
}

int IntelHexJoinTest::runCli(const QStringList &arguments, QString *out, QString *err)
{
    QProcess cli;
    cli.setWorkingDirectory(m_dir->path());
    cli.start(cliPath(), QStringList(QStringLiteral("intelhex")) + arguments);
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = QString::fromUtf8(cli.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(cli.readAllStandardError());
    return cli.exitCode();
}

void IntelHexJoinTest::cliTakesTheJobFromSavedSettings_data()
{
    QTest::addColumn<QString>("settingsFile");
    QTest::addColumn<QStringList>("extraArguments");
    QTest::addColumn<QList<int>>("expectedPieces");
    QTest::addColumn<QString>("expectedImage");
    QTest::newRow("template") << "Templates Setting/release.IntelHEX" << QStringList() << QList<int>{0, 2, 5}
                              << "release/stored.hex";
    QTest::newRow("config.conf") << "config.conf" << QStringList() << QList<int>{0, 2, 5}
                                 << "release/stored.hex";
    QTest::newRow("name and out given") << "config.conf" << QStringList{"--name", "given", "--out", "."}
                                        << QList<int>{0, 2, 5} << "./given.hex";
    QTest::newRow("files given") << "config.conf" << QStringList{"piece2.hex", "piece1.hex"}
                                 << QList<int>{1, 0} << "release/stored.hex";
}

void IntelHexJoinTest::cliTakesTheJobFromSavedSettings()
{
    QFETCH(QString, settingsFile);
    QFETCH(QStringList, extraArguments);
    QFETCH(QList<int>, expectedPieces);
    QFETCH(QString, expectedImage);
    QList<QByteArray> records;
    IntelHexSettings stored = IntelHexSettings::defaults();
    for (int slot = 0; slot < 6; ++slot) {
        records << dataRecord(static_cast<quint16>(0x100 * slot), pattern(16, 40 + slot));
        put(QStringLiteral("piece%1.hex").arg(slot + 1), records.last() + EndOfFile);
    }
    stored.pathBoot = QStringLiteral("piece1.hex");
    stored.pathApp = QStringLiteral("piece2.hex");
    stored.pathMain = QStringLiteral("piece3.hex");
    stored.pathAddictFile = {QStringLiteral("piece4.hex"), QStringLiteral("piece5.hex"),
                             QStringLiteral("piece6.hex")};
    stored.pathRelease = QStringLiteral("release");
    stored.templateName = QStringLiteral("stored");
    stored.enabled = {true, false, true, false, false, true};
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("release")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Templates Setting")));
    {
        QSettings store(path(settingsFile), QSettings::IniFormat);
        store.setValue(QStringLiteral("StateWindow/Tab"), 2);
        stored.save(store);
    }

    QString out;
    QString err;
    const int exitCode =
        runCli(QStringList{QStringLiteral("--settings"), settingsFile} + extraArguments, &out, &err);

    QVERIFY2(exitCode == 0, qPrintable(err));
    QCOMPARE(out, expectedImage + QLatin1Char('\n'));
    QByteArray expected;
    for (int piece : expectedPieces)
        expected += records.at(piece);
    QCOMPARE(readFile(path(expectedImage)), expected + EndOfFile);

    stored.enabled.fill(false);
    {
        QSettings store(path(settingsFile), QSettings::IniFormat);
        stored.save(store);
    }
    QCOMPARE(
        runCli({QStringLiteral("--settings"), settingsFile, QStringLiteral("--name"), QStringLiteral("none")},
               &out, &err),
        1);
    QCOMPARE(err, QStringLiteral("Предупреждение! Нечего собирать: не отмечен ни один файл.\n"));
    // A settings file that is not there is a mistake in the command, as for every job.
    QCOMPARE(runCli({QStringLiteral("--settings"), QStringLiteral("missing.IntelHEX")}, &out, &err), 2);
    QVERIFY2(err.contains(QLatin1String("cannot read the settings file \"missing.IntelHEX\"")),
             qPrintable(err));
    QVERIFY(!QFile::exists(path(QStringLiteral("release/none.hex"))));
}

QTEST_GUILESS_MAIN(IntelHexJoinTest)
#include "tst_intelhexjoin.moc"
