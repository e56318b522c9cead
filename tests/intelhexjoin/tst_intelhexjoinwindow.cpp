#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>

#include "hex/intelhexrecord.h"
#include "mainwindow/mainwindow.h"
#include "scripteddialogs.h"

namespace {

const QByteArray endOfFile = ":00000001FF\r\n";

const char *const sourceCombos[] = {"IntelHEXComboBOOT",
                                    "IntelHEXComboApp",
                                    "IntelHEXComboMain",
                                    "IntelHEXAdditionalFile1Combo",
                                    "IntelHEXAdditionalFile2Combo",
                                    "IntelHEXAdditionalFile3Combo"};
const char *const sourceChecks[] = {"IntelHEXCheckBOOT",  "IntelHEXCheckBOOT2", "IntelHEXCheckApp",
                                    "IntelHEXCheckFile1", "IntelHEXCheckFile2", "IntelHEXCheckFile3"};

// The records of source `slot`: one data record of its own at its own address.
QByteArray recordsOf(int slot)
{
    QByteArray line;
    appendRecordLine(line, IntelHexRecordType::Data, static_cast<quint16>(0x100 * slot),
                     QByteArray(16, static_cast<char>(0x11 * (slot + 1))));
    return line;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Also notes what the progress dialog showed when a message came up during the run.
class WatchingDialogs : public ScriptedDialogs {
public:
    QWidget *window = nullptr;
    QString progressLabel;
    int progressMaximum = -1;
    Qt::WindowModality progressModality = Qt::NonModal;

    void message(MessageKind kind, const QString &title, const QString &text) override
    {
        if (auto *progress = window ? window->findChild<QProgressDialog *>() : nullptr) {
            if (progress->isVisible()) {
                progressLabel = progress->labelText();
                progressMaximum = progress->maximum();
                progressModality = progress->windowModality();
            }
        }
        ScriptedDialogs::message(kind, title, text);
    }
};

} // namespace

class IntelHexJoinWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void checkedSourcesAreJoinedInOrder_data();
    void checkedSourcesAreJoinedInOrder();
    void nothingCheckedWarns();
    void brokenSourceShowsTheErrorDuringTheRun();

private:
    void click()
    {
        QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("IntelHEXAssebling")),
                          Qt::LeftButton);
    }
    QString output() const { return m_dir->filePath(QStringLiteral("release/image.hex")); }

    std::optional<QTemporaryDir> m_dir;
    QString m_previousDir;
    std::optional<WatchingDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

void IntelHexJoinWindowTest::init()
{
    m_previousDir = QDir::currentPath();
    m_dir.emplace();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QVERIFY(QDir().mkpath(QStringLiteral("release")));
    m_dialogs.emplace();
    m_window = std::make_unique<MainWindow>(*m_dialogs);
    m_dialogs->window = m_window.get();
    m_dialogs->records.clear();

    for (int slot = 0; slot < 6; ++slot) {
        const QString path = m_dir->filePath(QStringLiteral("piece%1.hex").arg(slot + 1));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(recordsOf(slot) + endOfFile);
        auto *combo = m_window->findChild<QComboBox *>(QLatin1String(sourceCombos[slot]));
        QVERIFY(combo);
        combo->clear();
        combo->addItem(path);
        m_window->findChild<QCheckBox *>(QLatin1String(sourceChecks[slot]))->setChecked(false);
    }
    auto *releases = m_window->findChild<QListWidget *>(QStringLiteral("IntelHEXReleaseDirrect"));
    releases->clear();
    releases->addItem(m_dir->filePath(QStringLiteral("release")));
    releases->addItem(m_dir->filePath(QStringLiteral("elsewhere")));
    m_window->findChild<QLineEdit *>(QStringLiteral("IntelHEXTemplFileName"))
        ->setText(QStringLiteral("image"));
    m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(2);
    m_window->show();
}

void IntelHexJoinWindowTest::cleanup()
{
    m_window.reset();
    m_dialogs.reset();
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void IntelHexJoinWindowTest::checkedSourcesAreJoinedInOrder_data()
{
    QTest::addColumn<QList<int>>("checked");
    QTest::newRow("the three main ones") << QList<int>{0, 1, 2};
    QTest::newRow("firmware bootloader only") << QList<int>{1};
    QTest::newRow("all six") << QList<int>{0, 1, 2, 3, 4, 5};
    QTest::newRow("root bootloader and second extra file") << QList<int>{0, 4};
}

void IntelHexJoinWindowTest::checkedSourcesAreJoinedInOrder()
{
    QFETCH(QList<int>, checked);
    QByteArray expected;
    // Checked in reverse, to show that the order comes from the slots, not from the clicks.
    for (qsizetype i = checked.size() - 1; i >= 0; --i)
        m_window->findChild<QCheckBox *>(QLatin1String(sourceChecks[checked[i]]))->setChecked(true);
    for (int slot : checked)
        expected += recordsOf(slot);
    expected += endOfFile;

    click();

    QCOMPARE(readFile(output()), expected);
    QCOMPARE(m_dialogs->messages().size(), 1);
    const ScriptedDialogs::Record done = m_dialogs->messages().first();
    QCOMPARE(done.kind, MessageKind::Information);
    QCOMPARE(done.title, QStringLiteral("Complete!"));
    QCOMPARE(done.text, QStringLiteral("Сборка завершена"));
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

void IntelHexJoinWindowTest::nothingCheckedWarns()
{
    click();

    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(m_dialogs->messages().first().kind, MessageKind::Warning);
    QCOMPARE(m_dialogs->messages().first().title, QStringLiteral("Предупреждение!"));
    QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("Нечего собирать: не отмечен ни один файл."));
    QVERIFY(!QFile::exists(output()));
}

void IntelHexJoinWindowTest::brokenSourceShowsTheErrorDuringTheRun()
{
    const QString broken = m_dir->filePath(QStringLiteral("piece3.hex"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(":10000000000102030405060708090A0B0C0D0E0F00\r\n" + endOfFile);
    file.close();
    QFile old(output());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("previous image");
    old.close();
    for (const char *name : {"IntelHEXCheckBOOT", "IntelHEXCheckApp", "IntelHEXCheckFile1"})
        m_window->findChild<QCheckBox *>(QLatin1String(name))->setChecked(true);

    click();

    QCOMPARE(m_dialogs->messages().size(), 1);
    const ScriptedDialogs::Record error = m_dialogs->messages().first();
    QCOMPARE(error.kind, MessageKind::Critical);
    QCOMPARE(error.title, QStringLiteral("Error!"));
    QVERIFY2(
        error.text.startsWith(QStringLiteral("Ошибка в файле %1, строка 1: checksum mismatch").arg(broken)),
        qPrintable(error.text));
    QCOMPARE(m_dialogs->progressLabel, QStringLiteral("Идет процесс сборки..."));
    QCOMPARE(m_dialogs->progressMaximum, 3);
    QCOMPARE(m_dialogs->progressModality, Qt::WindowModal);
    QCOMPARE(readFile(output()), QByteArray("previous image"));
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

QTEST_MAIN(IntelHexJoinWindowTest)
#include "tst_intelhexjoinwindow.moc"
