#pragma once

#include <memory>

#include <QtTest>

#include "mainwindow.h"
#include "processes.h"
#include "scripteddialogs.h"
#include "testfiles.h"
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

    // Changes one control as a user does: a "..." button whose dialog is answered with `value`, a
    // directory or file under the working directory; a line edit given `value` as text; or, without
    // a value, a check box or radio button clicked. No control: nothing changes.
    void change(const QString &control, const QString &value)
    {
        if (control.isEmpty())
            return;
        if (window->findChild<QPushButton *>(control)) {
            const QString path = workDir.filePath(value);
            if (QFileInfo(path).isDir())
                chooseDirectory(control, path);
            else
                chooseFile(control, path);
        } else if (!value.isNull()) {
            type(control, value);
        } else {
            click(control);
        }
    }

    // Presses the tab's "Сборка", then has quillon-cli build from the same settings saved as a
    // template of the tab, given `options` for the choices templates do not store. Empty when both
    // wrote the same images into `out`; otherwise what went wrong or differs.
    QString commandLineDifference(const QString &assembleButton, const QString &tabPrefix,
                                  const QString &extension, const QString &command,
                                  const QStringList &options, const QString &out)
    {
        click(assembleButton);
        if (dialogs.messageSummaries() != QStringList{QStringLiteral("Сборка завершена")})
            return QStringLiteral("the window said: ") + dialogs.messageTexts().join(QLatin1Char('|'));
        const QMap<QString, QByteArray> windowImages = TestFiles::imagesIn(out);
        if (windowImages.isEmpty())
            return QStringLiteral("the window wrote nothing");
        for (const QString &name : windowImages.keys())
            QFile::remove(out + QLatin1Char('/') + name);
        const QString settings = saveTemplate(tabPrefix, extension, QStringLiteral("same"));
        const ProcessRun run =
            runCli(QStringList{command, QStringLiteral("--settings"), settings} + options, workDir.path());
        if (run.exitCode != 0)
            return QStringLiteral("quillon-cli: ") + run.err;
        return TestFiles::imageDifference(TestFiles::imagesIn(out), windowImages);
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
