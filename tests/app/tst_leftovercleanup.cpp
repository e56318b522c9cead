#include <QtTest>

#include "leftovercleanup.h"
#include "platform.h"
#include "testplatform.h"

// The start-up clean-up on files beside the executable: it removes what an update left there and
// nothing that merely carries one of its names.
class LeftoverCleanupTest : public QObject {
    Q_OBJECT

private slots:
    void cleansUpOnlyItsOwnFiles_data();
    void cleansUpOnlyItsOwnFiles();
};

namespace {

QByteArray executable(const QByteArray &body)
{
    return (TestPlatform::isPosix() ? QByteArray("\x7f"
                                                 "ELF")
                                    : QByteArray("MZ")) +
           body;
}

const QByteArray MovedAside = executable("the build moved aside");

// A role in the table, as file name and content, for a folder and the file a script's run marks.
struct Entry {
    QString name;
    QByteArray content;
};

Entry entryFor(const QString &role, const QDir &folder, const QString &ranMarker)
{
    const QByteArray traceRun = "echo ran> \"" + QDir::toNativeSeparators(ranMarker).toUtf8() + "\"\n";
    const QString old = folder.filePath(Platform::oldExecutableName());
    const QString legacyOld = folder.filePath(Platform::legacyOldExecutableName());
    const QString download = Platform::downloadedExecutableName();
    const QHash<QString, Entry> entries{
        {"old", {Platform::oldExecutableName(), MovedAside}},
        {"old replaced", {Platform::oldExecutableName(), executable("someone else's program")}},
        {"script",
         {Platform::cleanupScriptName(),
          Platform::cleanupScriptText(
              old, QCryptographicHash::hash(MovedAside, QCryptographicHash::Sha256).toHex())}},
        {"user script", {Platform::cleanupScriptName(), traceRun}},
        {"Old", {Platform::legacyOldExecutableName(), executable("an earlier version")}},
        {"Old text", {Platform::legacyOldExecutableName(), "the user's notes"}},
        {"delete", {Platform::legacyCleanupScriptName(), Platform::legacyCleanupScriptText(legacyOld)}},
        {"delete elsewhere",
         {Platform::legacyCleanupScriptName(), Platform::legacyCleanupScriptText("/elsewhere/Old")}},
        {"user delete", {Platform::legacyCleanupScriptName(), traceRun + "echo done\n"}},
        {"download", {download + ".a1B2c3", executable("half a build")}},
        {"download empty", {download + ".Zz9Yy8", QByteArray()}},
        {"download text", {download + ".q1w2e3", "the user's notes"}},
        {"download other name", {download + ".txt", executable("a build")}},
    };
    return entries.value(role);
}

} // namespace

void LeftoverCleanupTest::cleansUpOnlyItsOwnFiles_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("update left behind") << QStringList{"script", "old"} << QStringList{};
    QTest::newRow("script without the old build") << QStringList{"script"} << QStringList{};
    QTest::newRow("old build replaced since")
        << QStringList{"script", "old replaced"} << QStringList{"old replaced"};
    QTest::newRow("old build without script") << QStringList{"old"} << QStringList{"old"};
    QTest::newRow("someone's script of that name")
        << QStringList{"user script", "old"} << QStringList{"user script", "old"};
    QTest::newRow("earlier version's update") << QStringList{"delete", "Old"} << QStringList{};
    QTest::newRow("earlier version's script, Old a text")
        << QStringList{"delete", "Old text"} << QStringList{"Old text"};
    // A Windows script of earlier versions names the old build through its own folder ("%~dp0Old"),
    // so it is the same text in every folder and always recognisably the program's.
    QTest::newRow("earlier version's script for another folder")
        << QStringList{"delete elsewhere", "Old"}
        << (TestPlatform::isPosix() ? QStringList{"delete elsewhere", "Old"} : QStringList{});
    QTest::newRow("someone's delete script and Old")
        << QStringList{"user delete", "Old"} << QStringList{"user delete", "Old"};
    QTest::newRow("Old alone") << QStringList{"Old"} << QStringList{"Old"};
    QTest::newRow("downloads never installed") << QStringList{"download", "download empty"} << QStringList{};
    QTest::newRow("files like downloads") << QStringList{"download text", "download other name"}
                                          << QStringList{"download text", "download other name"};
}

void LeftoverCleanupTest::cleansUpOnlyItsOwnFiles()
{
    QFETCH(QStringList, present);
    QFETCH(QStringList, kept);
    QTemporaryDir directory;
    QTemporaryDir traces;
    QVERIFY(directory.isValid() && traces.isValid());
    const QDir folder(directory.path());
    const QString ranMarker = traces.filePath(QStringLiteral("script-ran"));
    for (const QString &role : present) {
        const Entry entry = entryFor(role, folder, ranMarker);
        QVERIFY2(!entry.name.isEmpty(), qPrintable(role));
        QFile file(folder.filePath(entry.name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(entry.content), entry.content.size());
    }

    finishLeftoverUpdate(directory.path());

    QStringList expected;
    for (const QString &role : kept)
        expected << entryFor(role, folder, ranMarker).name;
    expected.sort();
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name), expected);
    for (const QString &role : kept) {
        QFile file(folder.filePath(entryFor(role, folder, ranMarker).name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), entryFor(role, folder, ranMarker).content);
    }
    // Nothing that is not the program's own was run.
    QVERIFY(!QFile::exists(ranMarker));
}

QTEST_GUILESS_MAIN(LeftoverCleanupTest)
#include "tst_leftovercleanup.moc"
