#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "mainwindow.h"
#include "processes.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "testplatform.h"
#include "useractions.h"

using TestFiles::read;

// The demo workspace made by examples/make-demo-workspace.py: each of its templates, loaded in the
// window and run by quillon-cli, must give the same correctly named, byte-exact image, with
// manifests that differ only in their time.
class DemoWorkspaceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void templatesBuildTheSameImageThroughBothFaces_data();
    void templatesBuildTheSameImageThroughBothFaces();
    void loraImageHoldsThePiecesAtTheirOffsets();

private:
    QString workspacePath(const QString &relative) const { return m_workspace.filePath(relative); }
    QString runWindow(const QString &templateList, const QString &templateName, const QString &assembleButton,
                      int tab);
    void runCli(const QStringList &arguments);

    QTemporaryDir m_workspace;
};

namespace {

// The manifest without the moment it was written.
QJsonObject timelessManifest(const QString &imagePath)
{
    QJsonObject manifest =
        QJsonDocument::fromJson(read(imagePath + QStringLiteral(".manifest.json"))).object();
    manifest.remove(QStringLiteral("created"));
    return manifest;
}

} // namespace

void DemoWorkspaceTest::initTestCase()
{
    // Under Wine, scripts/windows/compare-cli.py builds the demo workspace's templates instead.
    POSIX_ONLY("the workspace is made by Python and copied with cp, Linux programs");
    QVERIFY(m_workspace.isValid());
    // Made in one place and used in a copy elsewhere, the original gone: a workspace that still
    // pointed into where it was made would build nothing, or the wrong pieces.
    QTemporaryDir madeAt;
    QVERIFY(madeAt.isValid());
    QProcess script;
    script.start(QStringLiteral("python3"),
                 {QStringLiteral(QUILLON_SOURCE_DIR "/examples/make-demo-workspace.py"), madeAt.path()});
    QVERIFY(script.waitForFinished(60000));
    QCOMPARE(script.exitCode(), 0);
    QCOMPARE(
        QProcess::execute(QStringLiteral("cp"),
                          {QStringLiteral("-a"), madeAt.path() + QStringLiteral("/."), m_workspace.path()}),
        0);
    QVERIFY(madeAt.remove());
    QVERIFY(QDir::setCurrent(m_workspace.path()));
}

QString DemoWorkspaceTest::runWindow(const QString &templateList, const QString &templateName,
                                     const QString &assembleButton, int tab)
{
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return QStringLiteral("window not shown");
    UserActions::openTab(UserActions::widget<QTabWidget>(&window, QStringLiteral("tabWidget")), tab);
    if (!UserActions::doubleClickRow(UserActions::widget<QListWidget>(&window, templateList), templateName))
        return QStringLiteral("template %1 not listed").arg(templateName);
    UserActions::click(UserActions::widget<QPushButton>(&window, assembleButton));
    if (!QTest::qWaitFor([&dialogs] { return !dialogs.messages().isEmpty(); }, 10000))
        return QStringLiteral("no message after %1").arg(assembleButton);
    if (dialogs.messageSummaries() != QStringList{QStringLiteral("Сборка завершена")})
        return dialogs.messageTexts().join(QLatin1Char('|'));
    return QString();
}

void DemoWorkspaceTest::runCli(const QStringList &arguments)
{
    const ProcessRun run = ::runCli(arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

void DemoWorkspaceTest::templatesBuildTheSameImageThroughBothFaces_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("templateList");
    QTest::addColumn<QString>("templateFile");
    QTest::addColumn<QString>("assembleButton");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("image");
    QTest::newRow("LoRa") << 0 << "LoRaListFileSettings"
                          << "demo.LoRa"
                          << "LoRaAssembling"
                          << "lora"
                          << "release/RU864_1.0.4_SENSOR_V2.bin";
    QTest::newRow("Binary") << 1 << "BinaryListFileSettings"
                            << "demo.binary"
                            << "BinaryAssembling"
                            << "binary"
                            << "release/demo_binary.bin";
    QTest::newRow("IntelHEX") << 2 << "IntelHEXListFileSettings"
                              << "demo.IntelHEX"
                              << "IntelHEXAssebling"
                              << "intelhex"
                              << "release/demo_intelhex.hex";
}

void DemoWorkspaceTest::templatesBuildTheSameImageThroughBothFaces()
{
    QFETCH(int, tab);
    QFETCH(QString, templateList);
    QFETCH(QString, templateFile);
    QFETCH(QString, assembleButton);
    QFETCH(QString, command);
    QFETCH(QString, image);
    const QString imagePath = workspacePath(image);
    QFile::remove(imagePath);

    const QString problem = runWindow(templateList, templateFile, assembleButton, tab);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const QByteArray windowImage = read(imagePath);
    QVERIFY(!windowImage.isEmpty());
    const QJsonObject windowManifest = timelessManifest(imagePath);
    QVERIFY(QFile::remove(imagePath));

    runCli({command, QStringLiteral("--settings"),
            workspacePath(QStringLiteral("Templates Setting/") + templateFile)});
    QCOMPARE(read(imagePath), windowImage);
    QCOMPARE(timelessManifest(imagePath), windowManifest);
}

void DemoWorkspaceTest::loraImageHoldsThePiecesAtTheirOffsets()
{
    runCli({QStringLiteral("lora"), QStringLiteral("--settings"),
            workspacePath(QStringLiteral("Templates Setting/demo.LoRa"))});
    const QByteArray image = read(workspacePath(QStringLiteral("release/RU864_1.0.4_SENSOR_V2.bin")));
    const QByteArray boot = read(workspacePath(QStringLiteral("pieces/bootloader/bootloader.bin")));
    const QByteArray loraMac = read(workspacePath(QStringLiteral("pieces/loramac/LoraMAC_1.0.4_RU864.hex")));
    const QByteArray app = read(workspacePath(QStringLiteral("pieces/application/sensor_app.bin")));
    QCOMPARE(image.size(), 0x40000 + app.size());
    QCOMPARE(image.left(boot.size()), boot);
    QCOMPARE(image.mid(0x8000, loraMac.size()), loraMac);
    QCOMPARE(image.mid(0x8000 + loraMac.size(), 0x40000 - 0x8000 - loraMac.size()),
             QByteArray(0x40000 - 0x8000 - loraMac.size(), '\0'));
    QCOMPARE(image.mid(0x40000), app);
}

QTEST_MAIN(DemoWorkspaceTest)
#include "tst_demoworkspace.moc"
