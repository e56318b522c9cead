#include <QtTest>

#include "platform.h"

class CleanupScriptTest : public QObject {
    Q_OBJECT

private slots:
    void windowsScript_data();
    void windowsScript();
    void windowsScriptPath_data();
    void windowsScriptPath();
    void posixScriptRemovesOddlyNamedOldBuild_data();
    void posixScriptRemovesOddlyNamedOldBuild();
    void platformNames();
};

void CleanupScriptTest::windowsScript_data()
{
    QTest::addColumn<QString>("oldPath");
    QTest::addColumn<QByteArray>("quotedPath");
    QTest::addColumn<QString>("scriptPath");
    QTest::newRow("C:/Tools/Old") << "C:/Tools/Old" << QByteArray("\"C:\\Tools\\Old\"")
                                  << "C:\\Tools\\delete.bat";
    // Unquoted, cmd would take "C:\Program" for the path and the rest for the command.
    QTest::newRow("blanks") << "C:/Program Files/Quillon/Old"
                            << QByteArray("\"C:\\Program Files\\Quillon\\Old\"")
                            << "C:\\Program Files\\Quillon\\delete.bat";
}

void CleanupScriptTest::windowsScript()
{
    QFETCH(QString, oldPath);
    QFETCH(QByteArray, quotedPath);
    QFETCH(QString, scriptPath);
    const QByteArray expected = "@echo off\n"
                                ":loop\n"
                                "del /F /Q " +
                                quotedPath +
                                "\n"
                                "if exist " +
                                quotedPath +
                                " (\n"
                                "    goto loop\n"
                                ") else (\n"
                                "   timeout /t 10 >nul & del /F /Q \"%~f0\"\n"
                                ")";
    QCOMPARE(CleanupScript::windowsText(oldPath), expected);
    QCOMPARE(CleanupScript::windowsScriptPath(oldPath), scriptPath);
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

void CleanupScriptTest::posixScriptRemovesOddlyNamedOldBuild_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "Old";
    QTest::newRow("blank, quote, ampersand") << "it's old & gone";
    QTest::newRow("dollar and backquote") << "$HOME`true`";
}

void CleanupScriptTest::posixScriptRemovesOddlyNamedOldBuild()
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
    const QString script = directory.filePath(QStringLiteral("delete.sh"));
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(CleanupScript::posixText(old));
    }
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"), {script});
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.exitCode(), 0);
    QVERIFY(!QFile::exists(old));
    QVERIFY(!QFile::exists(script));
    QVERIFY(QFile::exists(bystander));
}

void CleanupScriptTest::platformNames()
{
    QCOMPARE(Platform::oldExecutableName(), QStringLiteral("Old"));
#ifdef Q_OS_WIN
    QCOMPARE(Platform::cleanupScriptName(), QStringLiteral("delete.bat"));
    QCOMPARE(Platform::downloadedExecutableName(), QStringLiteral("Quillon_new.exe"));
#else
    QCOMPARE(Platform::cleanupScriptName(), QStringLiteral("delete.sh"));
    QCOMPARE(Platform::downloadedExecutableName(), QStringLiteral("Quillon_new"));
    QVERIFY(Platform::isNativeExecutable(QByteArray("\x7f"
                                                    "ELF\x02\x01",
                                                    6)));
    QVERIFY(!Platform::isNativeExecutable("MZ\x90"));
    QVERIFY(!Platform::isNativeExecutable(QByteArray()));
#endif
}

QTEST_GUILESS_MAIN(CleanupScriptTest)
#include "tst_cleanupscript.moc"
