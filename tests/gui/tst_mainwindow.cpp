#include <QtTest>

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

#include "expectedwidgets.h"
#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testplatform.h"
#include "useractions.h"
#include "workingdirectory.h"

namespace {

const QString shortcutHint = QStringLiteral("CTRL + G - Сборка, \n"
                                            "ALT + G - Сборка и прошивка(только с одним выходным файлом)");
const QString resetQuestion = QStringLiteral("Вы уверенны, что хотите сбросить все настройки? Для всех "
                                             "вариантов сбрасываются все текущие настроки для записи");

// Puts a directory in front of PATH, or in its place, for the lifetime of the object.
class PathPrefix {
public:
    explicit PathPrefix(const QString &directory, bool alone = false) : m_previous(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(directory) + (alone ? QByteArray() : ':' + m_previous));
    }
    ~PathPrefix() { qputenv("PATH", m_previous); }

private:
    QByteArray m_previous;
};

QString captionOf(QWidget *widget)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(
            widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr))
        return tabs->tabText(tabs->indexOf(widget));
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        return group->title();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *tree = qobject_cast<QTreeWidget *>(widget))
        return tree->headerItem()->text(0);
    return QString();
}

bool isQtInternal(QWidget *widget, QWidget *window)
{
    if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
        return true;
    // Composite widgets name some of their parts (the tab bar's scroll buttons, for one).
    for (QWidget *holder = widget->parentWidget(); holder && holder != window;
         holder = holder->parentWidget())
        if (qobject_cast<QTabBar *>(holder) || qobject_cast<QAbstractScrollArea *>(holder) ||
            qobject_cast<QComboBox *>(holder))
            return true;
    return false;
}

// The widgets of the window's own tree, without the internal parts of Qt's composite widgets.
QList<QWidget *> namedWidgets(QWidget *window)
{
    QList<QWidget *> result;
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (!isQtInternal(widget, window))
            result.append(widget);
    return result;
}

template <typename T> T *child(QWidget *window, const char *name)
{
    return UserActions::widget<T>(window, QString::fromLatin1(name));
}

void showAndWait(QWidget *window)
{
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        qFatal("window not exposed");
}

void activate(QWidget *window)
{
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qFatal("window not active");
}

// Presses Tab until the focus comes round again: the widgets visited, from the tab bar on. Each
// must be one the user sees whole and can use.
QStringList tabWalk(MainWindow &window)
{
    QStringList visited;
    for (int step = 0; step < 200; ++step) {
        QWidget *from = QApplication::focusWidget();
        QTest::keyClick(from ? from : &window, Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        if (!focused)
            return {QStringLiteral("no focus")};
        const QRect shown(focused->mapTo(&window, QPoint(0, 0)), focused->size());
        if (!focused->isVisible() || !focused->isEnabled() || !window.rect().contains(shown))
            return {QStringLiteral("out of sight: ") + focused->objectName()};
        const QString name = focused->objectName();
        if (visited.contains(name)) {
            visited = visited.mid(visited.indexOf(name));
            const qsizetype bar = visited.indexOf(QStringLiteral("qt_tabwidget_tabbar"));
            return visited.mid(bar) + visited.mid(0, bar);
        }
        visited << name;
    }
    return visited;
}

// Presses Tab until `name` has the focus.
bool tabTo(MainWindow &window, const QString &name)
{
    for (int step = 0; step < 200; ++step) {
        QWidget *from = QApplication::focusWidget();
        if (from && from->objectName() == name)
            return true;
        QTest::keyClick(from ? from : &window, Qt::Key_Tab);
    }
    return false;
}

// The width the window has when the program starts it.
void startNarrow(MainWindow &window)
{
    window.setFixedSize(MainWindow::NarrowWidth, MainWindow::WindowHeight);
    showAndWait(&window);
}

// One row of the window's wiring: disconnecting it succeeds exactly when the constructor made it.
struct Wire {
    QString sender;
    std::function<bool(QObject *sender, MainWindow *window)> disconnect;
};

template <typename Sender, typename... Arguments, typename Slot>
Wire wire(const QString &sender, void (Sender::*signal)(Arguments...), Slot slot)
{
    return {sender, [signal, slot](QObject *object, MainWindow *window) {
                auto *typed = qobject_cast<Sender *>(object);
                return typed && QObject::disconnect(typed, signal, window, slot);
            }};
}

QList<Wire> windowWiring()
{
    using W = MainWindow;
    const auto clicked = &QAbstractButton::clicked;
    const auto pressed = &QAbstractButton::pressed;
    const auto doubleClicked = &QListWidget::itemDoubleClicked;
    const auto itemClicked = &QListWidget::itemClicked;
    QList<Wire> wires = {
        wire("LoRaBINBOOT", clicked, &W::LoRa_Enter_BOOT_BIN_HEX),
        wire("LoRaHEXBOOT", clicked, &W::LoRa_Enter_BOOT_BIN_HEX),
        wire("LoRaBINLoraMAC", clicked, &W::LoRa_Enter_LoRaMAC_BIN_HEX),
        wire("LoRaHEXLoraMAC", clicked, &W::LoRa_Enter_LoRaMAC_BIN_HEX),
        wire("LoRaBINApp", clicked, &W::LoRa_Enter_App_BIN_HEX),
        wire("LoRaHEXApp", clicked, &W::LoRa_Enter_App_BIN_HEX),
        wire("LoRaSearchBOOT", pressed, &W::LoRa_Search_Open),
        wire("LoRaSearchLoraMAC", pressed, &W::LoRa_Search_Open),
        wire("LoRaSearchApp", pressed, &W::LoRa_Search_Open),
        wire("LoRaSearchRelease", pressed, &W::LoRa_Search_Open),
        wire("LoRaLoRaMACInName", &QCheckBox::stateChanged, &W::LoRaMAC_Name_Check),
        wire("LoRaAssembling", clicked, &W::LoRa_Start_Assembler),
        wire("Reset", clicked, &W::Reset_All),
        wire("LoRaListFileSettings", doubleClicked, &W::LoRa_Load_Template_Config),
        wire("LoRaSaveSettings", clicked, &W::LoRa_Button_Save_Setting),
        wire("LoRaRunFirmware", clicked, &W::LoRa_Start_Firmware),
        wire("LoRaListFileSettings", itemClicked, &W::LoRa_Enter_Settings_File),
        wire("BinarySearchRelesae", pressed, &W::Binary_Search_Open),
        wire("BinaryBINRelease", clicked, &W::Binary_Enter_BIN_HEX_File),
        wire("BinaryHEXRelease", clicked, &W::Binary_Enter_BIN_HEX_File),
        wire("BinaryAssembling", clicked, &W::Binary_Start_Assembling),
        wire("BinarySaveSettings", clicked, &W::Binary_Button_Save_Setting),
        wire("BinaryListFileSettings", doubleClicked, &W::Binary_Load_Template_Config),
        wire("BinaryListFileSettings", itemClicked, &W::Binary_Enter_Settings_File),
        wire("IntelHEXSearchBOOT", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchBOOTApp", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchApp", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchAddictFile1", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchAddictFile2", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchAddictFile3", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSearchReleaseButton", pressed, &W::IntelHEX_Search_Open),
        wire("IntelHEXSaveSettings", clicked, &W::IntelHEX_Button_Save_Setting),
        wire("IntelHEXAssebling", clicked, &W::IntelHEX_Start_Assembling),
        wire("IntelHEXListFileSettings", doubleClicked, &W::IntelHEX_Load_Template_Config),
        wire("IntelHEXListFileSettings", itemClicked, &W::IntelHEX_Enter_Settings_File),
        wire("OpenAdvancedSettings", pressed, &W::Open_advanced_setting),
        wire("BinaryExtendedAssembly", pressed, &W::Extended_Assembly),
        wire("IntelHEXExtendedAssembly", pressed, &W::Extended_Assembly),
        wire("tabWidget", &QTabWidget::tabBarClicked, &W::TabBar_Click_Page),
        wire("Converter2BIN", pressed, &W::Start_convert),
        wire("Converter2IntelHEX", pressed, &W::Start_convert),
        wire("LoRaComboRelease", doubleClicked, &W::Open_Folder),
        wire("BinaryReleaseCombo", doubleClicked, &W::Open_Folder),
        wire("IntelHEXReleaseDirrect", doubleClicked, &W::Open_Folder),
        wire("Ctrl+G", &QShortcut::activated, &W::Key_Assembling),
        wire("Alt+G", &QShortcut::activated, &W::Key_Assembling_Firmware),
    };
    for (int file = 1; file <= 6; ++file) {
        const QString n = QString::number(file);
        wires += {wire("BinarySearchButtonFile" + n, pressed, &W::Binary_Search_Open),
                  wire("BinaryBINFile" + n, clicked, &W::Binary_Enter_BIN_HEX_File),
                  wire("BinaryHEXFile" + n, clicked, &W::Binary_Enter_BIN_HEX_File)};
    }
    return wires;
}

// The sender of a wire: a widget by object name, or the shortcut with that key sequence.
QObject *senderOf(MainWindow &window, const QString &name)
{
    if (QWidget *widget = window.findChild<QWidget *>(name))
        return widget;
    for (QShortcut *shortcut : window.findChildren<QShortcut *>())
        if (shortcut->key() == QKeySequence(name, QKeySequence::PortableText))
            return shortcut;
    return nullptr;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The widget tree of a first start.
    void everyWidgetHasItsNameClassContainerAndCaption_data();
    void everyWidgetHasItsNameClassContainerAndCaption();
    void noWidgetBeyondTheListedOnes();
    void setupGivesTheWindowItsTitleSizeAndPages();
    void setupSetsTheListedWidgetProperties();

    // Layout of the real window at both widths.
    void narrowWindowShowsExactlyTheNonExtensionWidgets_data();
    void narrowWindowShowsExactlyTheNonExtensionWidgets();
    void widgetsNeitherOverlapNorLeaveTheirParent();
    void captionsFitTheirWidgets();

    // Shell of the real window.
    void constructionPreparesTheLoRaTab();
    void everyWidgetSignalReachesItsSlot_data();
    void everyWidgetSignalReachesItsSlot();
    void widthButtonsToggleBetweenNarrowAndWide_data();
    void widthButtonsToggleBetweenNarrowAndWide();
    void widthButtonsIgnoreAnyOtherWidth();
    void tabClicksWidenOnlyAWindowThatIsNotNarrow_data();
    void tabClicksWidenOnlyAWindowThatIsNotNarrow();
    void shortcutsBelongToTheWindow();
    void ctrlGFromTheKeyboardActivatesTheAssemblyShortcut();
    void doubleClickedOutputFolderOpensInTheFileManager_data();
    void doubleClickedOutputFolderOpensInTheFileManager();
    void doubleClickedOutputFolderThatCannotOpenSaysWhy_data();
    void doubleClickedOutputFolderThatCannotOpenSaysWhy();
    void tabVisitsWhatTheWindowShowsInReadingOrder_data();
    void tabVisitsWhatTheWindowShowsInReadingOrder();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void resetAnsweredNoAsksOnceAndKeepsTheConfiguration();
    void encryptButtonStaysDisabled();
    void configThatIsNoFileOpensTheWindowWithAWarning();
};

void MainWindowTest::everyWidgetHasItsNameClassContainerAndCaption_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("checked");
    QTest::addColumn<int>("enabled");
    for (const ExpectedWidget &expected : expectedWidgets())
        QTest::newRow(qPrintable(expected.name))
            << expected.className << expected.container << expected.caption << int(expected.checked)
            << int(expected.enabled);
}

void MainWindowTest::everyWidgetHasItsNameClassContainerAndCaption()
{
    QFETCH(QString, className);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    QFETCH(int, checked);
    QFETCH(int, enabled);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    const QList<QWidget *> matches = window.findChildren<QWidget *>(name);
    QCOMPARE(matches.size(), 1);
    QWidget *widget = matches.first();
    // A widget may be of a class made from the named one (a drop-down of paths is a QComboBox).
    QVERIFY2(widget->inherits(qPrintable(className)), widget->metaObject()->className());

    QWidget *holder = container.isEmpty() ? &window : window.findChild<QWidget *>(container);
    QVERIFY2(holder, qPrintable(container));
    QVERIFY(holder->isAncestorOf(widget));

    if (!caption.isNull())
        QCOMPARE(captionOf(widget), caption);
    if (checked != ExpectedWidget::Unspecified) {
        auto *button = qobject_cast<QAbstractButton *>(widget);
        QVERIFY(button);
        QCOMPARE(button->isChecked(), checked == ExpectedWidget::On);
    }
    if (enabled != ExpectedWidget::Unspecified)
        QCOMPARE(widget->isEnabled(), enabled == ExpectedWidget::On);
}

void MainWindowTest::noWidgetBeyondTheListedOnes()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    QStringList expected;
    for (const ExpectedWidget &widget : expectedWidgets())
        expected << widget.name;
    QStringList actual;
    for (QWidget *widget : namedWidgets(&window))
        actual << widget->objectName();
    expected.sort();
    actual.sort();
    QCOMPARE(actual, expected);
}

void MainWindowTest::setupGivesTheWindowItsTitleSizeAndPages()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    // Start-up gives the window its real title; the window itself carries the form's.
    QCOMPARE(window.windowTitle(), QStringLiteral("MainWindow"));
    QCOMPARE(window.size(), QSize(MainWindow::WideWidth, MainWindow::WindowHeight));
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralwidget"));
    auto *tabs = child<QTabWidget>(&window, "tabWidget");
    QCOMPARE(tabs->toolTipDuration(), -1);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("LoRa"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("Binary"));
    QCOMPARE(tabs->widget(2)->objectName(), QStringLiteral("IntelHEX"));
}

void MainWindowTest::setupSetsTheListedWidgetProperties()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    for (const char *name : {"LoRaFoundFilesBOOT", "LoRaFoundFilesLoraMAC", "LoRaFoundFilesApp"})
        QCOMPARE(child<QTreeWidget>(&window, name)->columnCount(), 1);
    auto *bootTree = child<QTreeWidget>(&window, "LoRaFoundFilesBOOT");
    QCOMPARE(bootTree->frameShape(), QFrame::StyledPanel);
    QCOMPARE(bootTree->frameShadow(), QFrame::Sunken);
    QCOMPARE(bootTree->indentation(), 20);

    for (const char *name : {"LoRaComboOffsetBOOT", "LoRaComboOffsetLoRa", "LoRaComboOffsetApp",
                             "LoRaComboOffset_lora_region", "LoRaComboOffsetFW"}) {
        auto *offset = child<QLineEdit>(&window, name);
        QVERIFY(!offset->isReadOnly());
        QVERIFY(!offset->dragEnabled());
        QVERIFY(!offset->isClearButtonEnabled());
    }

    auto *flash = child<QPushButton>(&window, "LoRaRunFirmware");
    QVERIFY(!flash->hasMouseTracking());
    QCOMPARE(flash->whatsThis(), QStringLiteral("<html><head/><body><p><br/></p></body></html>"));
    QVERIFY(!child<QListWidget>(&window, "BinaryReleaseCombo")->showDropIndicator());
    QVERIFY(!child<QListWidget>(&window, "IntelHEXReleaseDirrect")->showDropIndicator());
}

void MainWindowTest::narrowWindowShowsExactlyTheNonExtensionWidgets_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("LoRa") << 0;
    QTest::newRow("Binary") << 1;
    QTest::newRow("IntelHEX") << 2;
}

void MainWindowTest::narrowWindowShowsExactlyTheNonExtensionWidgets()
{
    QFETCH(int, page);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    auto *tabs = child<QTabWidget>(&window, "tabWidget");
    UserActions::openTab(tabs, page);

    // The page's visible area: what lies beyond it only the widened window shows.
    const int visibleWidth = tabs->widget(page)->parentWidget()->width();
    QVERIFY(visibleWidth > 400);
    const QStringList extensions = extensionPanelWidgets();
    int extensionCount = 0;
    for (QObject *object : tabs->widget(page)->children()) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (!widget)
            continue;
        if (extensions.contains(widget->objectName())) {
            ++extensionCount;
            QVERIFY2(widget->x() >= visibleWidth, qPrintable(widget->objectName()));
        } else {
            QVERIFY2(widget->geometry().right() < visibleWidth, qPrintable(widget->objectName()));
        }
    }
    QVERIFY(extensionCount >= 3);

    // The bottom row stays inside the window.
    for (const char *name : {"tabWidget", "Reset", "Converter2BIN", "Converter2IntelHEX", "MemoryMapButton"})
        QVERIFY2(child<QWidget>(&window, name)->geometry().right() < window.width(), name);
}

void MainWindowTest::widgetsNeitherOverlapNorLeaveTheirParent()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.setFixedSize(MainWindow::WideWidth, MainWindow::WindowHeight);
    showAndWait(&window);
    auto *tabs = child<QTabWidget>(&window, "tabWidget");

    for (QWidget *widget : namedWidgets(&window)) {
        QWidget *parent = widget->parentWidget();
        if (parent == &window || tabs->indexOf(widget) >= 0)
            continue;
        const QSize area = parent->parentWidget() && tabs->indexOf(parent) >= 0
                               ? parent->parentWidget()->size()
                               : parent->size();
        QVERIFY2(QRect(QPoint(0, 0), area).contains(widget->geometry()), qPrintable(widget->objectName()));
        for (QObject *object : parent->children()) {
            auto *sibling = qobject_cast<QWidget *>(object);
            if (!sibling || sibling == widget || isQtInternal(sibling, &window))
                continue;
            QVERIFY2(!widget->geometry().intersects(sibling->geometry()),
                     qPrintable(widget->objectName() + " / " + sibling->objectName()));
        }
    }
}

void MainWindowTest::captionsFitTheirWidgets()
{
    // Wine draws with Debian's fonts; only a real Windows, with its own, shows whether they fit.
    POSIX_ONLY("the captions are measured in the fonts of the system that shows them");
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    for (QWidget *widget : namedWidgets(&window)) {
        const QString name = widget->objectName();
        const QFontMetrics metrics = widget->fontMetrics();
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget) ||
            qobject_cast<QRadioButton *>(widget)) {
            QVERIFY2(widget->sizeHint().width() <= widget->width(), qPrintable(name));
            QVERIFY2(widget->sizeHint().height() <= widget->height(), qPrintable(name));
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            // The style draws the caption inside the frame and the button margin on both sides.
            const QStyle *style = button->style();
            const int padding = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                                     style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
            QVERIFY2(metrics.horizontalAdvance(button->text()) + padding <= button->width(),
                     qPrintable(name));
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            QVERIFY2(metrics.horizontalAdvance(group->title()) <= group->width(), qPrintable(name));
        }
    }
}

void MainWindowTest::constructionPreparesTheLoRaTab()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    QCOMPARE(window.size(), QSize(MainWindow::WideWidth, MainWindow::WindowHeight));
    QCOMPARE(child<QPushButton>(&window, "LoRaAssembling")->toolTip(), shortcutHint);
    QCOMPARE(child<QPushButton>(&window, "LoRaRunFirmware")->toolTip(), shortcutHint);
    QCOMPARE(child<QCheckBox>(&window, "LoRaLoRaMACInName")->text(), QString());
}

void MainWindowTest::everyWidgetSignalReachesItsSlot_data()
{
    QTest::addColumn<int>("row");
    const QList<Wire> wires = windowWiring();
    QMap<QString, int> perSender;
    for (int row = 0; row < wires.size(); ++row) {
        const QString tag = wires[row].sender + " #" + QString::number(++perSender[wires[row].sender]);
        QTest::newRow(qPrintable(tag)) << row;
    }
}

void MainWindowTest::everyWidgetSignalReachesItsSlot()
{
    QFETCH(int, row);
    const Wire wire = windowWiring().at(row);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    QObject *sender = senderOf(window, wire.sender);
    QVERIFY(sender);
    QVERIFY(wire.disconnect(sender, &window));
    // Exactly one such connection: a second one would run the slot twice per click.
    QVERIFY(!wire.disconnect(sender, &window));
}

void MainWindowTest::widthButtonsToggleBetweenNarrowAndWide_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("page");
    QTest::newRow("LoRa offsets") << "OpenAdvancedSettings" << 0;
    QTest::newRow("Binary extended") << "BinaryExtendedAssembly" << 1;
    QTest::newRow("IntelHEX extended") << "IntelHEXExtendedAssembly" << 2;
}

void MainWindowTest::widthButtonsToggleBetweenNarrowAndWide()
{
    QFETCH(QString, buttonName);
    QFETCH(int, page);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), page);
    auto *button = window.findChild<QPushButton *>(buttonName);
    QVERIFY(button);
    auto *offsets = child<QPushButton>(&window, "OpenAdvancedSettings");
    auto *binaryExtended = child<QPushButton>(&window, "BinaryExtendedAssembly");
    auto *intelHexExtended = child<QPushButton>(&window, "IntelHEXExtendedAssembly");

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(window.width(), MainWindow::WideWidth);
    QCOMPARE(window.minimumWidth(), MainWindow::WideWidth);
    QCOMPARE(window.maximumWidth(), MainWindow::WideWidth);
    QCOMPARE(window.height(), MainWindow::WindowHeight);
    QCOMPARE(offsets->text(), QStringLiteral("Настройка смещений записи <<"));
    QCOMPARE(binaryExtended->text(), QStringLiteral("Расширенная сборка <<"));
    QCOMPARE(intelHexExtended->text(), QStringLiteral("Расширенная сборка <<"));
    // The tab widget follows the window so the extension panels come into view.
    QTRY_COMPARE(child<QTabWidget>(&window, "tabWidget")->geometry().right(),
                 MainWindow::WideWidth - 1 - child<QTabWidget>(&window, "tabWidget")->x());

    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(window.width(), MainWindow::NarrowWidth);
    QCOMPARE(window.maximumWidth(), MainWindow::NarrowWidth);
    QCOMPARE(offsets->text(), QStringLiteral("Настройка смещений записи >>"));
    QCOMPARE(binaryExtended->text(), QStringLiteral("Расширенная сборка >>"));
    QCOMPARE(intelHexExtended->text(), QStringLiteral("Расширенная сборка >>"));
}

void MainWindowTest::widthButtonsIgnoreAnyOtherWidth()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.setFixedSize(700, MainWindow::WindowHeight);
    showAndWait(&window);

    for (const char *name : {"OpenAdvancedSettings", "BinaryExtendedAssembly", "IntelHEXExtendedAssembly"}) {
        QTest::mouseClick(child<QPushButton>(&window, name), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(window.width(), 700);
        QCOMPARE(window.maximumWidth(), 700);
    }
    QCOMPARE(child<QPushButton>(&window, "OpenAdvancedSettings")->text(),
             QStringLiteral("Настройка смещений записи >>"));
    QCOMPARE(child<QPushButton>(&window, "BinaryExtendedAssembly")->text(),
             QStringLiteral("Расширенная сборка >>"));
}

void MainWindowTest::tabClicksWidenOnlyAWindowThatIsNotNarrow_data()
{
    QTest::addColumn<int>("startWidth");
    QTest::addColumn<int>("page"); // -1: the empty part of the tab bar
    QTest::addColumn<bool>("expectFixedWide");
    QTest::newRow("narrow, LoRa") << 535 << 0 << false;
    QTest::newRow("narrow, Binary") << 535 << 1 << false;
    QTest::newRow("narrow, IntelHEX") << 535 << 2 << false;
    QTest::newRow("wide, LoRa") << 955 << 0 << true;
    QTest::newRow("wide, Binary") << 955 << 1 << true;
    QTest::newRow("wide, IntelHEX") << 955 << 2 << true;
    QTest::newRow("wide, outside the tabs") << 955 << -1 << false;
    QTest::newRow("other width, Binary") << 700 << 1 << true;
}

void MainWindowTest::tabClicksWidenOnlyAWindowThatIsNotNarrow()
{
    QFETCH(int, startWidth);
    QFETCH(int, page);
    QFETCH(bool, expectFixedWide);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    // A resizable window shows whether the slot fixed its width or left it alone.
    window.resize(startWidth, MainWindow::WindowHeight);
    showAndWait(&window);
    QCOMPARE(window.width(), startWidth);
    auto *tabs = child<QTabWidget>(&window, "tabWidget");

    QSignalSpy clicks(tabs, &QTabWidget::tabBarClicked);
    if (page >= 0) {
        UserActions::openTab(tabs, page);
    } else {
        const QRect lastTab = tabs->tabBar()->tabRect(tabs->count() - 1);
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          QPoint(lastTab.right() + 20, lastTab.center().y()));
    }
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks.first().first().toInt(), page);

    if (expectFixedWide) {
        QCOMPARE(window.minimumWidth(), MainWindow::WideWidth);
        QCOMPARE(window.maximumWidth(), MainWindow::WideWidth);
        QTRY_COMPARE(window.width(), MainWindow::WideWidth);
    } else {
        QCOMPARE(window.maximumWidth(), QWIDGETSIZE_MAX);
        QCoreApplication::processEvents();
        QCOMPARE(window.width(), startWidth);
    }
    QCOMPARE(child<QPushButton>(&window, "OpenAdvancedSettings")->text(),
             QStringLiteral("Настройка смещений записи >>"));
}

void MainWindowTest::shortcutsBelongToTheWindow()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);

    QStringList keys;
    for (QShortcut *shortcut : window.findChildren<QShortcut *>()) {
        QCOMPARE(shortcut->parent(), &window);
        QVERIFY(shortcut->isEnabled());
        QCOMPARE(shortcut->context(), Qt::WindowShortcut);
        keys << shortcut->key().toString(QKeySequence::PortableText);
    }
    keys.sort();
    QCOMPARE(keys,
             QStringList({QStringLiteral("Alt+G"), QStringLiteral("Ctrl+G"), QStringLiteral("Ctrl+M")}));
}

void MainWindowTest::ctrlGFromTheKeyboardActivatesTheAssemblyShortcut()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), 0);

    QShortcut *assemble = nullptr;
    for (QShortcut *shortcut : window.findChildren<QShortcut *>())
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_G))
            assemble = shortcut;
    QVERIFY(assemble);
    QSignalSpy activations(assemble, &QShortcut::activated);
    QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(activations.size(), 1);
}

void MainWindowTest::doubleClickedOutputFolderOpensInTheFileManager_data()
{
    QTest::addColumn<QString>("listName");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("relative");
    QTest::newRow("LoRa, blanks") << "LoRaComboRelease"
                                  << "LoRaSearchRelease" << 0 << "release out/v 1" << false;
    QTest::newRow("Binary, blanks") << "BinaryReleaseCombo"
                                    << "BinarySearchRelesae" << 1 << "release out/v 1" << false;
    QTest::newRow("IntelHEX, blanks") << "IntelHEXReleaseDirrect"
                                      << "IntelHEXSearchReleaseButton" << 2 << "release out/v 1" << false;
    QTest::newRow("LoRa, shell characters") << "LoRaComboRelease"
                                            << "LoRaSearchRelease" << 0 << "a&b 'c' $d;e" << false;
    QTest::newRow("LoRa, relative") << "LoRaComboRelease"
                                    << "LoRaSearchRelease" << 0 << "release out" << true;
}

void MainWindowTest::doubleClickedOutputFolderOpensInTheFileManager()
{
#ifdef Q_OS_WIN
    QSKIP("the file manager is started through xdg-open on Linux only");
#endif
    QFETCH(QString, listName);
    QFETCH(QString, buttonName);
    QFETCH(int, page);
    QFETCH(QString, folder);
    QFETCH(bool, relative);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    QVERIFY(QDir().mkpath(folder));
    const QString absoluteFolder = QDir::current().absoluteFilePath(folder);

    // A stand-in file manager that records its arguments, one a line, after their count.
    QTemporaryDir tools;
    QVERIFY(tools.isValid());
    const QString record = tools.filePath(QStringLiteral("arguments"));
    QFile opener(tools.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + QFile::encodeName(record) +
                 ".part' && mv '" + QFile::encodeName(record) + ".part' '" + QFile::encodeName(record) +
                 "'\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    PathPrefix pathPrefix(tools.path());

    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.setFixedSize(MainWindow::WideWidth, MainWindow::WindowHeight);
    showAndWait(&window);
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), page);
    auto *list = UserActions::widget<QListWidget>(&window, listName);
    UserActions::chooseDirectory(dialogs, UserActions::widget<QPushButton>(&window, buttonName),
                                 relative ? folder : absoluteFolder);
    QCOMPARE(list->count(), 1);
    QListWidgetItem *item = list->item(0);
    dialogs.records.clear();

    const QPoint itemCentre = list->visualItemRect(item).center();
    QSignalSpy doubleClicks(list, &QListWidget::itemDoubleClicked);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, itemCentre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, itemCentre);
    QCOMPARE(doubleClicks.size(), 1);

    QTRY_VERIFY(QFile::exists(record));
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(recorded.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({QStringLiteral("1"), absoluteFolder}));
    QVERIFY(dialogs.records.isEmpty());
}

void MainWindowTest::doubleClickedOutputFolderThatCannotOpenSaysWhy_data()
{
    QTest::addColumn<bool>("folderRemoved");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder removed") << true << "Не найдена директория по пути: out";
    QTest::newRow("no file manager") << false
                                     << "Не удалось открыть папку %1: файловый менеджер не запускается.";
}

void MainWindowTest::doubleClickedOutputFolderThatCannotOpenSaysWhy()
{
    QFETCH(bool, folderRemoved);
    QFETCH(QString, message);
    if (!folderRemoved)
        POSIX_ONLY("the file manager is started through xdg-open on Linux only");
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    QVERIFY(QDir().mkpath(QStringLiteral("out")));
    QTemporaryDir noTools;
    QVERIFY(noTools.isValid());
    std::optional<PathPrefix> path;
    if (!folderRemoved)
        path.emplace(noTools.path(), true);
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    showAndWait(&window);
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), 1);
    UserActions::chooseDirectory(dialogs, child<QPushButton>(&window, "BinarySearchRelesae"),
                                 QDir::current().absoluteFilePath(QStringLiteral("out")));
    if (folderRemoved)
        QVERIFY(QDir().rmdir(QStringLiteral("out")));
    dialogs.records.clear();

    UserActions::doubleClickRow(child<QListWidget>(&window, "BinaryReleaseCombo"), 0);
    if (!folderRemoved)
        message = message.arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath("out")));
    QCOMPARE(dialogs.messageTexts(), QStringList{message});
    QCOMPARE(dialogs.messages()[0].kind, MessageKind::Warning);
}

void MainWindowTest::tabVisitsWhatTheWindowShowsInReadingOrder_data()
{
    // Widgets the walk passes in this order: column by column, each top to bottom, a row left to
    // right; the extension panels' last, and only in the wide window.
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("wide");
    QTest::addColumn<QStringList>("inOrder");
    const QStringList lora{"LoRaComboBOOT",        "LoRaSearchBOOT",      "LoRaFoundFilesApp",
                           "LoRaComboRelease",     "LoRaAssembling",      "LoRaRunFirmware",
                           "OpenAdvancedSettings", "LoRaListFileSettings"};
    const QStringList binary{"BinaryComboFile1",      "BinaryOffsetFile1",  "BinaryComboFile3",
                             "BinaryCheckFile6",      "BinaryReleaseCombo", "BinarySequentAssenbl",
                             "BinaryListFileSettings"};
    const QStringList intelHex{"IntelHEXCheckBOOT", "IntelHEXComboBOOT", "IntelHEXSearchApp",
                               "IntelHEXReleaseDirrect", "IntelHEXListFileSettings"};
    QTest::newRow("LoRa, narrow") << 0 << false << lora;
    QTest::newRow("LoRa, wide") << 0 << true
                                << lora + QStringList{"LoRaComboOffsetBOOT", "LoRaComboOffsetFW"};
    QTest::newRow("Binary, narrow") << 1 << false << binary;
    QTest::newRow("Binary, wide") << 1 << true
                                  << binary + QStringList{"BinaryComboFile4", "BinaryOffsetFile6"};
    QTest::newRow("IntelHEX, narrow") << 2 << false << intelHex;
    QTest::newRow("IntelHEX, wide") << 2 << true
                                    << intelHex +
                                           QStringList{"IntelHEXCheckFile1", "IntelHEXSearchAddictFile3"};
}

void MainWindowTest::tabVisitsWhatTheWindowShowsInReadingOrder()
{
    QFETCH(int, page);
    QFETCH(bool, wide);
    QFETCH(QStringList, inOrder);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    // Every file row ticked, so that each takes part.
    QFile config(QStringLiteral("config.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[StateWindow]\n");
    for (int slot = 1; slot <= 6; ++slot)
        config.write(QStringLiteral("Bin%1=true\nHEX%1=true\n").arg(slot).toLatin1());
    config.close();
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    if (wide)
        UserActions::click(child<QPushButton>(&window, "OpenAdvancedSettings"));
    activate(&window);
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), page);

    const QStringList walk = tabWalk(window);
    QCOMPARE(walk.value(0), QStringLiteral("qt_tabwidget_tabbar"));
    QCOMPARE(walk.mid(walk.size() - 4),
             QStringList({"Converter2BIN", "Converter2IntelHEX", "MemoryMapButton", "Reset"}));
    qsizetype previous = -1;
    for (const QString &name : inOrder) {
        QVERIFY2(walk.indexOf(name) > previous, qPrintable(name + " in " + walk.join(' ')));
        previous = walk.indexOf(name);
    }
    // Of two radio buttons, only the checked one.
    QVERIFY(!walk.contains(QStringLiteral("LoRaHEXBOOT")) &&
            !walk.contains(QStringLiteral("BinaryHEXFile1")));
}

void MainWindowTest::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("asked");
    QTest::newRow("Return on \"Сбросить все\"") << "Reset" << int(Qt::Key_Return) << resetQuestion;
    QTest::newRow("keypad Enter on \"Сбросить все\"") << "Reset" << int(Qt::Key_Enter) << resetQuestion;
    QTest::newRow("Return on a \"...\"") << "LoRaSearchBOOT" << int(Qt::Key_Return) << "Bootloader Directory";
}

void MainWindowTest::enterPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(QString, asked);
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    activate(&window);
    UserActions::openTab(child<QTabWidget>(&window, "tabWidget"), 0);
    QVERIFY(tabTo(window, button));

    const Qt::KeyboardModifiers modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    QCOMPARE(dialogs.records.size(), 1);
    QCOMPARE(dialogs.records[0].call == ScriptedDialogs::Call::Ask ? dialogs.records[0].text
                                                                   : dialogs.records[0].title,
             asked);
}

void MainWindowTest::resetAnsweredNoAsksOnceAndKeepsTheConfiguration()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    showAndWait(&window);

    QFile config(QStringLiteral("config.conf"));
    const bool existed = config.exists();
    QByteArray before;
    if (existed) {
        QVERIFY(config.open(QIODevice::ReadOnly));
        before = config.readAll();
        config.close();
    }
    dialogs.records.clear();
    dialogs.askAnswers.enqueue(false);

    QTest::mouseClick(child<QPushButton>(&window, "Reset"), Qt::LeftButton);

    QCOMPARE(dialogs.records.size(), 1);
    QCOMPARE(dialogs.records[0].call, ScriptedDialogs::Call::Ask);
    QCOMPARE(dialogs.records[0].title, QStringLiteral("Предупреждение!"));
    QCOMPARE(dialogs.records[0].text, resetQuestion);
    QCOMPARE(config.exists(), existed);
    if (existed) {
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readAll(), before);
    }
}

void MainWindowTest::encryptButtonStaysDisabled()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    startNarrow(window);
    auto *encrypt = child<QPushButton>(&window, "Converter_3");
    QVERIFY(!encrypt->isEnabled());

    QTest::mouseClick(child<QPushButton>(&window, "OpenAdvancedSettings"), Qt::LeftButton);
    QVERIFY(!encrypt->isEnabled());

    dialogs.records.clear();
    dialogs.askAnswers.enqueue(true);
    QTest::mouseClick(child<QPushButton>(&window, "Reset"), Qt::LeftButton);
    QVERIFY(!dialogs.records.isEmpty());
    QCOMPARE(dialogs.records.first().call, ScriptedDialogs::Call::Ask);
    QVERIFY(!encrypt->isEnabled());
}

// config.conf a FIFO: the window neither hangs on it nor writes it, and says so.
void MainWindowTest::configThatIsNoFileOpensTheWindowWithAWarning()
{
    WorkingDirectory workDir;
    QVERIFY(workDir.isValid());
    if (!TestPlatform::makeFifo(workDir.filePath(QStringLiteral("config.conf"))))
        QSKIP("no FIFOs here");
    {
        ScriptedDialogs dialogs;
        MainWindow window(dialogs);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages()[0].kind, MessageKind::Warning);
        QVERIFY2(
            dialogs.messages()[0].text.contains(QStringLiteral("config.conf: настройки не прочитаны: это не "
                                                               "обычный файл")),
            qPrintable(dialogs.messages()[0].text));
    }
    const QFileInfo config(workDir.filePath(QStringLiteral("config.conf")));
    QVERIFY(config.exists() && !config.isFile() && !config.isDir());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
