#include <QtTest>

#include "platform.h"

class CleanupScriptTest : public QObject {
    Q_OBJECT

private slots:
    void windowsScript_data();
    void windowsScript();
    void windowsScriptPath_data();
    void windowsScriptPath();
    void scriptRemovesOddlyNamedOldBuild_data();
    void scriptRemovesOddlyNamedOldBuild();
    void platformNames();
    void recordedDigest_data();
    void recordedDigest();
};

void CleanupScriptTest::windowsScript_data()
{
    QTest::addColumn<QString>("oldPath");
    QTest::addColumn<QByteArray>("quotedOld");
    QTest::addColumn<QString>("scriptPath");
    QTest::newRow("C:/Tools/Old") << "C:/Tools/Old" << QByteArray("\"%~dp0Old\"") << "C:\\Tools\\delete.bat";
    // The folder never appears in the text: cmd would read its Cyrillic letters in the OEM code
    // page, and take a "%" in it for a variable.
    QTest::newRow("blanks, Cyrillic, percent")
        << "C:/Users/Иван Петров/100% ready/Old" << QByteArray("\"%~dp0Old\"")
        << "C:\\Users\\Иван Петров\\100% ready\\delete.bat";
    QTest::newRow("percent in the name")
        << "C:/Tools/100% Old" << QByteArray("\"%~dp0100%% Old\"") << "C:\\Tools\\delete.bat";
}

void CleanupScriptTest::windowsScript()
{
    QFETCH(QString, oldPath);
    QFETCH(QByteArray, quotedOld);
    QFETCH(QString, scriptPath);
    const QByteArray expected = "@echo off\n"
                                ":loop\n"
                                "del /F /Q " +
                                quotedOld +
                                "\n"
                                "if exist " +
                                quotedOld +
                                " (\n"
                                "    goto loop\n"
                                ") else (\n"
                                "   timeout /t 10 >nul & del /F /Q \"%~f0\"\n"
                                ")";
    QCOMPARE(CleanupScript::legacyWindowsText(oldPath), expected);
    QCOMPARE(CleanupScript::windowsScriptPath(oldPath), scriptPath);
    // The program's mark comes first, then the same commands.
    const QByteArray digest(64, 'a');
    QCOMPARE(CleanupScript::windowsText(oldPath, digest),
             "@rem quillon-update-cleanup sha256=" + digest + "\n" + expected);
}

void CleanupScriptTest::windowsScriptPath_data()
{
    QTest::addColumn<QString>("oldPath");
    QTest::addColumn<QString>("scriptPath");
    QTest::newRow("nested") << "D:/Program Files/Quillon/Old"
                            << "D:\\Program Files\\Quillon\\delete.bat";
    QTest::newRow("backslashes already") << "C:\\Tools\\Old"
                                         << "C:\\Tools\\delete.bat";
    QTest::newRow("drive root") << "C:/Old"
                                << "C:\\delete.bat";
}

void CleanupScriptTest::windowsScriptPath()
{
    QFETCH(QString, oldPath);
    QFETCH(QString, scriptPath);
    QCOMPARE(CleanupScript::windowsScriptPath(oldPath), scriptPath);
}

void CleanupScriptTest::scriptRemovesOddlyNamedOldBuild_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "Old";
    QTest::newRow("blank, quote, ampersand") << "it's old & gone";
    QTest::newRow("dollar and backquote") << "$HOME`true`";
    QTest::newRow("percent and caret") << "100% ^old";
}

// The platform's own script, run as the next start runs it (sh on Linux, cmd on Windows).
void CleanupScriptTest::scriptRemovesOddlyNamedOldBuild()
{
    QFETCH(QString, name);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString old = directory.filePath(name);
    const QString bystander = directory.filePath(QStringLiteral("Quillon"));
    for (const QString &path : {old, bystander}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("build");
    }
    const QString script = directory.filePath(Platform::cleanupScriptName());
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Platform::cleanupScriptText(old, QByteArray(64, '0')));
    }
    // Windows' script waits ten seconds before it deletes itself.
    Platform::runCleanupScript(script, 30000);
    QVERIFY(!QFile::exists(old));
    QVERIFY(!QFile::exists(script));
    QVERIFY(QFile::exists(bystander));
}

void CleanupScriptTest::platformNames()
{
    QCOMPARE(Platform::legacyOldExecutableName(), QStringLiteral("Old"));
#ifdef Q_OS_WIN
    QCOMPARE(Platform::oldExecutableName(), QStringLiteral("Quillon.old.exe"));
    QCOMPARE(Platform::cleanupScriptName(), QStringLiteral("quillon-update-cleanup.bat"));
    QCOMPARE(Platform::legacyCleanupScriptName(), QStringLiteral("delete.bat"));
    QCOMPARE(Platform::downloadedExecutableName(), QStringLiteral("Quillon_new.exe"));
#else
    QCOMPARE(Platform::oldExecutableName(), QStringLiteral("Quillon.old"));
    QCOMPARE(Platform::cleanupScriptName(), QStringLiteral("quillon-update-cleanup.sh"));
    QCOMPARE(Platform::legacyCleanupScriptName(), QStringLiteral("delete.sh"));
    QCOMPARE(Platform::downloadedExecutableName(), QStringLiteral("Quillon_new"));
    QVERIFY(Platform::isNativeExecutable(QByteArray("\x7f"
                                                    "ELF\x02\x01",
                                                    6)));
    QVERIFY(!Platform::isNativeExecutable("MZ\x90"));
    QVERIFY(!Platform::isNativeExecutable(QByteArray()));
#endif
}

void CleanupScriptTest::recordedDigest_data()
{
    const QByteArray digest = QByteArray("0123456789abcdef").repeated(4);
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("batch file") << CleanupScript::windowsText("C:/Tools/Quillon.old.exe", digest) << digest;
    QTest::newRow("shell script") << CleanupScript::posixText("/opt/Quillon.old", digest) << digest;
    QTest::newRow("batch file with CR LF")
        << QByteArray("@rem quillon-update-cleanup sha256=" + digest + "\r\ndel x") << digest;
    QTest::newRow("someone's own batch file") << QByteArray("@echo off\ndel *.*\n") << QByteArray();
    QTest::newRow("earlier versions' script") << CleanupScript::legacyPosixText("/opt/Old") << QByteArray();
    QTest::newRow("mark on the second line")
        << QByteArray("#!/bin/sh\n# quillon-update-cleanup sha256=" + digest) << QByteArray();
    QTest::newRow("digest cut short")
        << QByteArray("# quillon-update-cleanup sha256=" + digest.left(63)) << QByteArray();
    QTest::newRow("digest in upper case")
        << QByteArray("# quillon-update-cleanup sha256=" + digest.toUpper()) << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void CleanupScriptTest::recordedDigest()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(CleanupScript::recordedDigest(text), expected);
}

QTEST_GUILESS_MAIN(CleanupScriptTest)
#include "tst_cleanupscript.moc"
