#include <QtTest>
#include <QtWidgets>

#include "gui/conversionprogress.h"
#include "gui/mainwindow.h"
#include "hex/converter.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "useractions.h"

using TestFiles::read;
using TestFiles::writeFile;

namespace {

// Converts a binary file as the converter buttons do, with its progress shown over `window` from the
// first report on, however fast the build converts.
ConversionResult convertWatched(QWidget *window, const QString &binPath, quint64 offset)
{
    ConversionProgress progress(window, 0);
    ConversionOptions options;
    progress.watch(options);
    const ConversionResult result = convertBinToHex(binPath, offset, options);
    progress.finish();
    return result;
}

} // namespace

// Drives the two converter buttons of the real window with scripted dialogs, and the progress a
// long conversion shows.
class ConverterPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void binaryToHexAsksForTheOffset();
    void hexChosenThroughBinToHexConvertsToBinary();
    void nothingChosenWarns_data();
    void nothingChosenWarns();
    void cancelledOffsetCancelsTheConversion();
    void badRecordIsReportedWithItsLine();
    void missingEndOfFileIsToldBeforeCompletion();
    void progressDialogFollowsTheWork();
    void cancelInProgressDialogWritesNothing();

private:
    void click(const char *buttonName);

    std::unique_ptr<QTemporaryDir> m_workDir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
};

void ConverterPanelTest::init()
{
    m_workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_workDir->path()));
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_window = std::make_unique<MainWindow>(*m_dialogs);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_dialogs->records.clear();
}

void ConverterPanelTest::cleanup()
{
    m_window.reset();
    m_dialogs.reset();
    QDir::setCurrent(QDir::tempPath());
    m_workDir.reset();
}

void ConverterPanelTest::click(const char *buttonName)
{
    auto *button = m_window->findChild<QPushButton *>(QString::fromLatin1(buttonName));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void ConverterPanelTest::binaryToHexAsksForTheOffset()
{
    const QString binPath = m_workDir->filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(binPath, QByteArray::fromHex("010203")));
    m_dialogs->fileAnswers.enqueue(binPath);
    m_dialogs->integerAnswers.enqueue(1000); // typed digits are hex: 0x1000

    click("Converter2IntelHEX");

    QCOMPARE(m_dialogs->records.size(), 3);
    const ScriptedDialogs::Record chooser = m_dialogs->records.at(0);
    QCOMPARE(chooser.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(chooser.title, QStringLiteral("Выберите файл для конвертации"));
    QCOMPARE(chooser.startDir, QStringLiteral("."));
    QCOMPARE(chooser.filter, QStringLiteral("*.bin"));
    QVERIFY(!chooser.hadParent);
    const ScriptedDialogs::Record offset = m_dialogs->records.at(1);
    QCOMPARE(offset.call, ScriptedDialogs::Call::AskInteger);
    QCOMPARE(offset.title, QStringLiteral("Смещение"));
    QCOMPARE(offset.text, QStringLiteral("Задайте смещение"));
    QVERIFY(offset.hadParent);
    const ScriptedDialogs::Record done = m_dialogs->records.at(2);
    QCOMPARE(done.kind, MessageKind::Information);
    QCOMPARE(done.title, QStringLiteral("Конвертация"));
    QCOMPARE(done.text, QStringLiteral("Процесс завершен."));

    QCOMPARE(read(m_workDir->filePath(QStringLiteral("app.hex"))),
             QByteArray(":020000020100FB\r\n:03000000010203F7\r\n:00000001FF\r\n"));
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

void ConverterPanelTest::hexChosenThroughBinToHexConvertsToBinary()
{
    const QString hexPath = m_workDir->filePath(QStringLiteral("boot.hex"));
    QVERIFY(writeFile(hexPath, ":020000020100FB\r\n:03000000010203F7\r\n:00000001FF\r\n"));
    m_dialogs->fileAnswers.enqueue(hexPath);

    click("Converter2IntelHEX");

    QCOMPARE(m_dialogs->records.size(), 2); // no offset asked for a HEX input
    QCOMPARE(m_dialogs->records.at(0).filter, QStringLiteral("*.bin"));
    QCOMPARE(m_dialogs->messageTexts(), QStringList{QStringLiteral("Процесс завершен.")});
    QCOMPARE(read(m_workDir->filePath(QStringLiteral("boot.bin"))),
             QByteArray(0x1000, '\xFF') + "\x01\x02\x03");
}

void ConverterPanelTest::nothingChosenWarns_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("filter");
    QTest::newRow("IntelHEX to BIN") << QByteArray("Converter2BIN") << "*.hex";
    QTest::newRow("BIN to IntelHEX") << QByteArray("Converter2IntelHEX") << "*.bin";
}

void ConverterPanelTest::nothingChosenWarns()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, filter);
    click(button.constData());
    QCOMPARE(m_dialogs->records.size(), 2);
    QCOMPARE(m_dialogs->records.at(0).filter, filter);
    const ScriptedDialogs::Record warning = m_dialogs->records.at(1);
    QCOMPARE(warning.kind, MessageKind::Warning);
    QCOMPARE(warning.title, QStringLiteral("Файл не выбран!"));
    QCOMPARE(warning.text, QStringLiteral("Выберите файл для конвертации."));
}

void ConverterPanelTest::cancelledOffsetCancelsTheConversion()
{
    const QString binPath = m_workDir->filePath(QStringLiteral("app.bin"));
    QVERIFY(writeFile(binPath, QByteArray::fromHex("010203")));
    m_dialogs->fileAnswers.enqueue(binPath);
    m_dialogs->integerAnswers.enqueue(std::nullopt);

    click("Converter2BIN");

    QCOMPARE(m_dialogs->records.size(), 2);
    QCOMPARE(m_dialogs->records.at(0).filter, QStringLiteral("*.hex"));
    QVERIFY(m_dialogs->messages().isEmpty());
    QVERIFY(!QFile::exists(m_workDir->filePath(QStringLiteral("app.hex"))));
}

void ConverterPanelTest::badRecordIsReportedWithItsLine()
{
    const QString hexPath = m_workDir->filePath(QStringLiteral("bad.hex"));
    const QString binPath = m_workDir->filePath(QStringLiteral("bad.bin"));
    QVERIFY(writeFile(hexPath, ":0100000011EE\r\n:0100010022DD\r\n:00000001FF\r\n"));
    QVERIFY(writeFile(binPath, "old"));
    m_dialogs->fileAnswers.enqueue(hexPath);

    click("Converter2BIN");

    const QList<ScriptedDialogs::Record> messages = m_dialogs->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().kind, MessageKind::Critical);
    QCOMPARE(messages.first().title, QStringLiteral("Error!"));
    QCOMPARE(messages.first().text,
             QStringLiteral("bad.hex, line 2: checksum mismatch: the record says DD, its bytes give DC"));
    QCOMPARE(read(binPath), QByteArray("old"));
}

void ConverterPanelTest::missingEndOfFileIsToldBeforeCompletion()
{
    const QString hexPath = m_workDir->filePath(QStringLiteral("cut.hex"));
    QVERIFY(writeFile(hexPath, ":0100000011EE\r\n"));
    m_dialogs->fileAnswers.enqueue(hexPath);

    click("Converter2BIN");

    const QList<ScriptedDialogs::Record> messages = m_dialogs->messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).kind, MessageKind::Warning);
    QCOMPARE(messages.at(0).title, QStringLiteral("Предупреждение!"));
    QVERIFY(messages.at(0).text.startsWith(
        QStringLiteral("cut.hex: the end-of-file record (:00000001FF) is missing")));
    QCOMPARE(messages.at(1).text, QStringLiteral("Процесс завершен."));
    QCOMPARE(read(m_workDir->filePath(QStringLiteral("cut.bin"))), QByteArray("\x11"));
}

// A conversion long enough to report progress many times, watched by a dialog made at once.
void ConverterPanelTest::progressDialogFollowsTheWork()
{
    QByteArray data(48 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 % 251);
    const QString binPath = m_workDir->filePath(QStringLiteral("big.bin"));
    QVERIFY(writeFile(binPath, data));

    struct Sample {
        int value;
        Qt::WindowModality modality;
        QString label;
        QWidget *parent;
    };
    QList<Sample> samples;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&]() {
        if (auto *dialog = m_window->findChild<QProgressDialog *>())
            samples.append(
                {dialog->value(), dialog->windowModality(), dialog->labelText(), dialog->parentWidget()});
    });
    sampler.start(1);
    const ConversionResult result = convertWatched(m_window.get(), binPath, 0);
    sampler.stop();

    QVERIFY(result.ok);
    QVERIFY(!samples.isEmpty());
    for (const Sample &sample : samples) {
        QCOMPARE(sample.modality, Qt::WindowModal);
        QCOMPARE(sample.label, QStringLiteral("Конвертация..."));
        QCOMPARE(sample.parent, static_cast<QWidget *>(m_window.get()));
        QVERIFY(sample.value >= 0 && sample.value <= 100);
    }
    QVERIFY(std::is_sorted(samples.begin(), samples.end(),
                           [](const Sample &a, const Sample &b) { return a.value < b.value; }));
    QVERIFY(samples.last().value > samples.first().value);
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

void ConverterPanelTest::cancelInProgressDialogWritesNothing()
{
    const QString binPath = m_workDir->filePath(QStringLiteral("big.bin"));
    const QString hexPath = m_workDir->filePath(QStringLiteral("big.hex"));
    QVERIFY(writeFile(binPath, QByteArray(48 << 20, '\x5A')));
    QVERIFY(writeFile(hexPath, "previous"));

    bool cancelled = false;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&]() {
        if (auto *dialog = m_window->findChild<QProgressDialog *>(); dialog && !cancelled) {
            QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            cancelled = true;
        }
    });
    canceller.start(1);
    const ConversionResult result = convertWatched(m_window.get(), binPath, offsetFromTypedDigits(8000000));
    canceller.stop();

    QVERIFY(cancelled);
    QVERIFY(result.cancelled);
    QCOMPARE(read(hexPath), QByteArray("previous"));
    QCOMPARE(QDir(m_workDir->path()).entryList({QStringLiteral("big*")}, QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("big.bin"), QStringLiteral("big.hex")}));
}

QTEST_MAIN(ConverterPanelTest)
#include "tst_converterpanel.moc"
