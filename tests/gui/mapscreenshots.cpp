// Takes the README's pictures of the memory map from the real window under the offscreen platform:
// the Binary demo with two pieces moved onto each other, and the LoRa demo in a 512 KiB flash.
// Run by scripts/map-screenshots.sh in a copy of the demo workspace: map_screenshots OUTPUT_DIR.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

#include "mainwindow.h"
#include "scripteddialogs.h"
#include "useractions.h"

namespace {

QWidget *mapWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("MemoryMapWindow") && widget->isVisible())
            return widget;
    }
    qFatal("the map window did not open");
}

void settle()
{
    for (int round = 0; round < 5; ++round)
        QTest::qWait(50);
}

void save(QWidget *window, const QString &path)
{
    settle();
    if (!window->grab().save(path))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream(stdout) << path << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = app.arguments().value(1);
    if (out.isEmpty())
        qFatal("usage: map_screenshots OUTPUT_DIR");
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the window was not shown");
    auto *tabs = UserActions::widget<QTabWidget>(&window, QStringLiteral("tabWidget"));

    UserActions::openTab(tabs, 1);
    UserActions::typeInto(UserActions::widget<QLineEdit>(&window, QStringLiteral("BinaryOffsetFile3")),
                          QStringLiteral("30000"));
    UserActions::click(UserActions::widget<QAbstractButton>(&window, QStringLiteral("MemoryMapButton")));
    QWidget *map = mapWindow();
    map->resize(900, 430);
    save(map, out + QStringLiteral("/map-overlap.png"));

    UserActions::openTab(tabs, 0);
    if (!UserActions::doubleClickRow(
            UserActions::widget<QListWidget>(&window, QStringLiteral("LoRaListFileSettings")),
            QStringLiteral("demo.LoRa")))
        qFatal("no demo.LoRa template");
    auto *flash = UserActions::widget<QComboBox>(map, QStringLiteral("MemoryMapFlashSize"));
    UserActions::selectItem(flash, int(flash->findText(QStringLiteral("512 KiB"))));
    save(map, out + QStringLiteral("/map-lora.png"));
    return 0;
}
