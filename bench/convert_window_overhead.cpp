// Measures what running a conversion from the window costs: a click on the real converter button
// ("BIN to IntelHEX" for a binary, "IntelHEX to BIN" otherwise: the job on a worker thread, the
// delayed progress dialog, the window's event loop meanwhile) against the bare conversion that
// quillon-cli runs, in one process, median of several runs.
// Usage: convert_window_overhead FILE HEX_OFFSET RUNS
#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "converter.h"
#include "hexnumber.h"
#include "inputfile.h"
#include "inputformat.h"
#include "jobrun.h"
#include "mainwindow.h"
#include "userdialogs.h"

namespace {

// Answers the file and offset questions, and "Да" to replacing the previous run's output; every
// message is swallowed.
class BenchDialogs : public UserDialogs {
public:
    QString file;
    QString offsetText;
    void message(MessageKind, const QString &, const QString &text) override { last = text; }
    bool ask(const QString &, const QString &) override { return true; }
    QString chooseDirectory(const QString &, const QString &) override { return {}; }
    QString chooseFile(const QString &, const QString &, const QString &) override { return file; }
    std::optional<QString> askText(const QString &, const QString &, const QString &,
                                   const QValidator *) override
    {
        return offsetText;
    }
    QString last;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The converter button a user presses for the file: "BIN to IntelHEX" for a binary.
QPushButton *converterButtonFor(const MainWindow &window, const QString &path)
{
    InputFile input(path);
    if (!input.open())
        qFatal("%s", qPrintable(input.problemText()));
    const bool binary = detectInputFormat(input.device()) == InputFormat::Binary;
    auto *button = window.findChild<QPushButton *>(binary ? QStringLiteral("Converter2IntelHEX")
                                                          : QStringLiteral("Converter2BIN"));
    if (!button)
        qFatal("no converter button");
    return button;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FILE HEX_OFFSET RUNS\n", argv[0]);
        return 2;
    }
    const QString input = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString offsetText = QString::fromLatin1(argv[2]);
    const std::optional<quint64> offset = HexNumber::parse(offsetText, LargestLoadAddress);
    if (!offset) {
        std::fprintf(stderr, "%s: not a hexadecimal load address\n", argv[2]);
        return 2;
    }
    const int runs = QString::fromLatin1(argv[3]).toInt();

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    BenchDialogs dialogs;
    dialogs.file = input;
    dialogs.offsetText = offsetText;
    MainWindow window(dialogs);
    window.show();
    QPushButton *convertButton = converterButtonFor(window, input);

    QList<double> bare;
    QList<double> windowed;
    // Alternating the order cancels what one run leaves behind for the next (page cache, writeback).
    auto timeBare = [&]() {
        QElapsedTimer timer;
        timer.start();
        // What quillon-cli convert does: tell the direction by the content, then convert.
        JobRun job;
        const Result<Conversion> result = convertFile(
            input, [&]() -> std::optional<quint64> { return *offset; }, ConversionOptions(), job);
        bare << timer.nsecsElapsed() / 1e6;
        if (!result)
            qFatal("%s", qPrintable(result.problems().first().toString()));
    };
    auto timeWindow = [&]() {
        QElapsedTimer timer;
        timer.start();
        // The click returns once the conversion has ended and its message was shown.
        convertButton->click();
        windowed << timer.nsecsElapsed() / 1e6;
        if (!dialogs.last.startsWith(QStringLiteral("Процесс завершен.")))
            qFatal("%s", qPrintable(dialogs.last));
    };
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            timeBare();
            timeWindow();
        } else {
            timeWindow();
            timeBare();
        }
    }
    const double b = median(bare);
    const double w = median(windowed);
    std::printf("bare conversion %.1f ms, window slot %.1f ms, ratio %.3f\n", b, w, w / b);
    return 0;
}
