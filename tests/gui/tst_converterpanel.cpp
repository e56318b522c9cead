#include <QtTest>
#include <QtWidgets>

#include "mainwindow.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "useractions.h"

using TestFiles::read;
using TestFiles::writeFile;

// Drives the two converter buttons of the real window with scripted dialogs, and the progress a
// long conversion shows.
class ConverterPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void binaryToHexAsksForTheOffset_data();
    void binaryToHexAsksForTheOffset();
    void existingOutputIsReplacedOnlyWhenConfirmed_data();
    void existingOutputIsReplacedOnlyWhenConfirmed();
    void fileNotForTheButtonIsRefused_data();
    void fileNotForTheButtonIsRefused();
    void nothingChosenWarns_data();
    void nothingChosenWarns();
    void cancelledOffsetCancelsTheConversion();
    void badRecordIsReportedWithItsLine();
    void missingEndOfFileIsToldBeforeCompletion();
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

void ConverterPanelTest::binaryToHexAsksForTheOffset_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("hex"); // empty: the dialog refuses the text, nothing is written
    QTest::addColumn<QString>("address");
    QTest::newRow("digits") << "1000" << QByteArray(":020000020100FB\r\n:03000000010203F7\r\n:00000001FF\r\n")
                            << "0x00001000";
    QTest::newRow("letters") << "0x0800A000"
                             << QByteArray(":020000040800F2\r\n:03A0000001020357\r\n:00000001FF\r\n")
                             << "0x0800A000";
    QTest::newRow("lower case") << "0X0800c000"
                                << QByteArray(":020000040800F2\r\n:03C0000001020337\r\n:00000001FF\r\n")
                                << "0x0800C000";
    // The one rule of every hexadecimal field: blanks around the number are dropped.
    QTest::newRow("blanks around") << " 1000 "
                                   << QByteArray(":020000020100FB\r\n:03000000010203F7\r\n:00000001FF\r\n")
                                   << "0x00001000";
    QTest::newRow("past 32 bits") << "100000000" << QByteArray() << QString();
    QTest::newRow("not hexadecimal") << "0x800G" << QByteArray() << QString();
    QTest::newRow("prefix alone") << "0x" << QByteArray() << QString();
}

void ConverterPanelTest::binaryToHexAsksForTheOffset()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, hex);
    QFETCH(QString, address);
    const QString binPath = m_workDir->filePath(QStringLiteral("app.bin"));
    const QString hexPath = m_workDir->filePath(QStringLiteral("app.hex"));
    QVERIFY(writeFile(binPath, QByteArray::fromHex("010203")));
    m_dialogs->fileAnswers.enqueue(binPath);
    m_dialogs->textAnswers.enqueue(typed);

    click("Converter2IntelHEX");

    const ScriptedDialogs::Record chooser = m_dialogs->records.at(0);
    QCOMPARE(chooser.call, ScriptedDialogs::Call::ChooseFile);
    QCOMPARE(chooser.title, QStringLiteral("Выберите файл для конвертации"));
    QCOMPARE(chooser.startDir, QStringLiteral("."));
    QCOMPARE(chooser.filter, QStringLiteral("*.bin"));
    QVERIFY(chooser.hadParent);
    const ScriptedDialogs::Record offset = m_dialogs->records.at(1);
    QCOMPARE(offset.call, ScriptedDialogs::Call::AskText);
    QCOMPARE(offset.title, QStringLiteral("Смещение"));
    QCOMPARE(
        offset.text,
        QStringLiteral("Задайте смещение: адрес первого байта, шестнадцатеричный (например 0x08000000)"));
    QVERIFY(offset.hadParent);
    QCOMPARE(offset.answerRefused, hex.isEmpty());
    if (hex.isEmpty()) {
        QCOMPARE(m_dialogs->records.size(), 2);
        QVERIFY(!QFile::exists(hexPath));
        return;
    }
    QCOMPARE(m_dialogs->records.size(), 3);
    const ScriptedDialogs::Record done = m_dialogs->records.at(2);
    QCOMPARE(done.kind, MessageKind::Information);
    QCOMPARE(done.title, QStringLiteral("Конвертация"));
    QCOMPARE(done.text, QStringLiteral("Процесс завершен.\nАдрес первого байта: %1.\nФайл: %2")
                            .arg(address, QDir::toNativeSeparators(hexPath)));
    QCOMPARE(read(hexPath), hex);
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

// An existing output is replaced only when the user says so; "Нет" writes nothing.
void ConverterPanelTest::existingOutputIsReplacedOnlyWhenConfirmed_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QByteArray>("converted");
    const QByteArray bin = QByteArray::fromHex("010203");
    const QByteArray hexOfBin = ":03000000010203F7\r\n:00000001FF\r\n";
    QTest::newRow("hex over bin, no") << "fw.hex" << hexOfBin << "fw.bin" << false << QByteArray();
    QTest::newRow("hex over bin, yes") << "fw.hex" << hexOfBin << "fw.bin" << true << bin;
    QTest::newRow("bin over hex, no") << "fw.bin" << bin << "fw.hex" << false << QByteArray();
    QTest::newRow("bin over hex, yes") << "fw.bin" << bin << "fw.hex" << true << hexOfBin;
}

void ConverterPanelTest::existingOutputIsReplacedOnlyWhenConfirmed()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, content);
    QFETCH(QString, output);
    QFETCH(bool, replace);
    QFETCH(QByteArray, converted);
    const QString inputPath = m_workDir->filePath(input);
    const QString outputPath = m_workDir->filePath(output);
    QVERIFY(writeFile(inputPath, content));
    QVERIFY(writeFile(outputPath, "the user's original"));
    m_dialogs->fileAnswers.enqueue(inputPath);
    m_dialogs->askAnswers.enqueue(replace);
    m_dialogs->textAnswers.enqueue(QStringLiteral("0"));

    click(input.endsWith(QLatin1String(".hex")) ? "Converter2BIN" : "Converter2IntelHEX");

    const ScriptedDialogs::Record question = m_dialogs->records.at(1);
    QCOMPARE(question.call, ScriptedDialogs::Call::Ask);
    QCOMPARE(question.text,
             QStringLiteral("Файл %1 уже существует. Заменить?").arg(QDir::toNativeSeparators(outputPath)));
    QVERIFY(question.hadParent);
    if (!replace) {
        QCOMPARE(m_dialogs->records.size(), 2);
        QCOMPARE(read(outputPath), QByteArray("the user's original"));
        QCOMPARE(QDir(m_workDir->path()).entryList({QStringLiteral("fw*")}, QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("fw.bin"), QStringLiteral("fw.hex")}));
        return;
    }
    QCOMPARE(m_dialogs->messages().size(), 1);
    QVERIFY(m_dialogs->messages().first().text.startsWith(QStringLiteral("Процесс завершен.")));
    QCOMPARE(read(outputPath), converted);
}

void ConverterPanelTest::fileNotForTheButtonIsRefused_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error"); // after the file's path
    const QByteArray hex = ":03000000010203F7\r\n:00000001FF\r\n";
    QTest::newRow("Intel HEX to BIN to IntelHEX")
        << QByteArray("Converter2IntelHEX") << hex
        << ": это файл Intel HEX, а не двоичный файл; ничего не записано";
    QTest::newRow("S-records to BIN to IntelHEX")
        << QByteArray("Converter2IntelHEX") << QByteArray("S1060000010203F3\r\nS9030000FC\r\n")
        << ": это файл S-record, а не двоичный файл; ничего не записано";
    QTest::newRow("ELF to BIN to IntelHEX")
        << QByteArray("Converter2IntelHEX")
        << QByteArray("\x7F"
                      "ELF\x01\x01")
        << ": это исполняемый файл ELF, а не двоичный файл; ничего не записано";
    QTest::newRow("binary to IntelHEX to BIN") << QByteArray("Converter2BIN") << QByteArray("\x01\x02\x03\n")
                                               << ", строка 1: запись не начинается с ':'";
    QTest::newRow("broken first record to IntelHEX to BIN")
        << QByteArray("Converter2BIN") << QByteArray(":03000000010203F8\r\n:00000001FF\r\n")
        << ", строка 1: неверная контрольная сумма: в записи F8, по её байтам F7";
}

// The button pressed is what the user means: a file that is not what it converts is refused with
// what the file is (or the reader's error), and nothing is written.
void ConverterPanelTest::fileNotForTheButtonIsRefused()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const QString path = m_workDir->filePath(QStringLiteral("boot.hex"));
    QVERIFY(writeFile(path, content));
    m_dialogs->fileAnswers.enqueue(path);

    click(button.constData());

    QCOMPARE(m_dialogs->records.size(), 2); // the chooser, the error: no offset, no question
    const ScriptedDialogs::Record message = m_dialogs->records.at(1);
    QCOMPARE(message.kind, MessageKind::Critical);
    QCOMPARE(message.text, path + error);
    QCOMPARE(QDir(m_workDir->path()).entryList({QStringLiteral("boot*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("boot.hex")});
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
    m_dialogs->textAnswers.enqueue(std::nullopt);

    click("Converter2IntelHEX");

    QCOMPARE(m_dialogs->records.size(), 2);
    QCOMPARE(m_dialogs->records.at(0).filter, QStringLiteral("*.bin"));
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
    m_dialogs->askAnswers.enqueue(true); // replace bad.bin

    click("Converter2BIN");

    const QList<ScriptedDialogs::Record> messages = m_dialogs->messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().kind, MessageKind::Critical);
    QCOMPARE(messages.first().title, QStringLiteral("Error!"));
    QCOMPARE(messages.first().text,
             hexPath +
                 QStringLiteral(", строка 2: неверная контрольная сумма: в записи DD, по её байтам DC"));
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
    QVERIFY(
        messages.at(0).text.startsWith(hexPath + QStringLiteral(": нет записи конца файла (:00000001FF)")));
    QVERIFY(messages.at(1).text.startsWith(QStringLiteral("Процесс завершен.")));
    QCOMPARE(read(m_workDir->filePath(QStringLiteral("cut.bin"))), QByteArray("\x11"));
}

// "Отмена" in the progress dialog stops a conversion in the middle: the earlier output stays, no
// temporary file is left beside it, nothing is said. The input (400 MiB, sparse where it can be)
// takes seconds to convert, far longer than the dialog waits to show.
void ConverterPanelTest::cancelInProgressDialogWritesNothing()
{
    const QString binPath = m_workDir->filePath(QStringLiteral("big.bin"));
    const QString hexPath = m_workDir->filePath(QStringLiteral("big.hex"));
    QFile big(binPath);
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(400) << 20));
    big.close();
    QVERIFY(writeFile(hexPath, "previous"));
    m_dialogs->fileAnswers.enqueue(binPath);
    m_dialogs->askAnswers.enqueue(true); // replace big.hex
    m_dialogs->textAnswers.enqueue(QStringLiteral("0x8000000"));

    QString label;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&]() {
        auto *dialog = m_window->findChild<QProgressDialog *>();
        if (!dialog || !dialog->isVisible() || !label.isEmpty())
            return;
        label = dialog->labelText();
        QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
    });
    canceller.start(1);
    click("Converter2IntelHEX");
    canceller.stop();

    QCOMPARE(label, QStringLiteral("Конвертация..."));
    QCOMPARE(m_dialogs->messages().size(), 0);
    QCOMPARE(read(hexPath), QByteArray("previous"));
    QCOMPARE(QDir(m_workDir->path()).entryList({QStringLiteral("*big*")}, QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("big.bin"), QStringLiteral("big.hex")}));
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

QTEST_MAIN(ConverterPanelTest)
#include "tst_converterpanel.moc"
