// Measures what the window's progress handling costs: the real Start_convert slot (window-modal
// progress dialog, event processing) against the bare conversion that quillon-cli runs, in one
// process, median of several runs. Usage: convert_window_overhead FILE.bin OFFSET_DIGITS RUNS
#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "converter.h"
#include "hexnumber.h"
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

    QList<double> bare;
    QList<double> windowed;
    // Alternating the order cancels what one run leaves behind for the next (page cache, writeback).
    auto timeBare = [&]() {
        QElapsedTimer timer;
        timer.start();
        // What quillon-cli convert does: tell the direction by the content, then convert.
        const ConversionResult result =
            convertFile(input, [&]() -> std::optional<quint64> { return *offset; });
        bare << timer.nsecsElapsed() / 1e6;
        if (!result.ok)
            qFatal("%s", qPrintable(result.errorText));
    };
    auto timeWindow = [&]() {
        QElapsedTimer timer;
        timer.start();
        window.Start_convert();
        windowed << timer.nsecsElapsed() / 1e6;
        if (dialogs.last != QStringLiteral("Процесс завершен."))
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
