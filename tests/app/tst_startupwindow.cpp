#include <QtTest>

#include "mainwindow.h"
#include "scripteddialogs.h"
#include "startup.h"

class StartupWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void showsTitledFixedWindow();
    void activationRestoresAMinimizedWindow();

private:
    std::unique_ptr<QTemporaryDir> m_workDir;
};

void StartupWindowTest::init()
{
    m_workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_workDir->isValid());
    QVERIFY(QDir::setCurrent(m_workDir->path()));
}

void StartupWindowTest::showsTitledFixedWindow()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    QVERIFY(!window.isVisible());
    Startup::showMainWindow(window);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillon_v2.3.0"));
    QVERIFY(QFile::exists(QStringLiteral(":/Icon.ico")));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.size(), QSize(535, 620));
    QCOMPARE(window.minimumSize(), QSize(535, 620));
    QCOMPARE(window.maximumSize(), QSize(535, 620));
    QVERIFY(dialogs.records.isEmpty());
}

void StartupWindowTest::activationRestoresAMinimizedWindow()
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    Startup::showMainWindow(window);
    window.setWindowState(Qt::WindowMinimized);
    QVERIFY(window.isMinimized());
    Startup::bringToFront(&window);
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
}

QTEST_MAIN(StartupWindowTest)
#include "tst_startupwindow.moc"
