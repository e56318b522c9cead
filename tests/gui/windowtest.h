#pragma once

#include <memory>

#include <QtTest>

#include "gui/mainwindow.h"
#include "scripteddialogs.h"
#include "useractions.h"
#include "workingdirectory.h"

// One real window for one test: a fresh working directory (for config.conf and the templates),
// scripted dialogs, and the window shown as wide as it is built, every panel in view.
class WindowTest {
public:
    WindowTest() { open(); }
    ~WindowTest() { window.reset(); }

    bool isValid() const { return workDir.isValid() && window && window->isVisible(); }
    // Closes the window (which saves config.conf) and opens it again, as a restart does.
    void reopen()
    {
        window.reset();
        open();
    }

    template <typename T> T *widget(const QString &name)
    {
        return UserActions::widget<T>(window.get(), name);
    }
    QPushButton *button(const QString &name) { return widget<QPushButton>(name); }
    void click(const QString &buttonName) { UserActions::click(widget<QAbstractButton>(buttonName)); }
    void type(const QString &lineEditName, const QString &text)
    {
        UserActions::typeInto(widget<QLineEdit>(lineEditName), text);
    }
    void tick(const QString &boxName, bool ticked)
    {
        UserActions::setTicked(widget<QAbstractButton>(boxName), ticked);
    }
    void openTab(int page) { UserActions::openTab(widget<QTabWidget>(QStringLiteral("tabWidget")), page); }
    void chooseDirectory(const QString &buttonName, const QString &answer)
    {
        UserActions::chooseDirectory(dialogs, button(buttonName), answer);
    }
    void chooseFile(const QString &buttonName, const QString &answer)
    {
        UserActions::chooseFile(dialogs, button(buttonName), answer);
    }
    // Types the name into the tab's template field and presses "Сохранить шаблон"; the template's path.
    QString saveTemplate(const QString &tabPrefix, const QString &extension, const QString &name)
    {
        type(tabPrefix + QStringLiteral("NameWrtSettings"), name);
        click(tabPrefix + QStringLiteral("SaveSettings"));
        return workDir.filePath(QStringLiteral("Templates Setting/") + name + extension);
    }

    WorkingDirectory workDir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

private:
    void open()
    {
        window = std::make_unique<MainWindow>(dialogs);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            window.reset();
    }
};
