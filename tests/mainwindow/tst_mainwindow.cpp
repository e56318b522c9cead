#include <QtTest>

#include "mainwindow/mainwindow.h"
#include "scripteddialogs.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void constructsWithAllThreeTabs();
};

void MainWindowTest::constructsWithAllThreeTabs()
{
    QTemporaryDir workDir;
    QVERIFY(QDir::setCurrent(workDir.path()));
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("LoRa"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
