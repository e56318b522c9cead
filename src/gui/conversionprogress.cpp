#include "conversionprogress.h"

#include <QCoreApplication>

#include "converter.h"

ConversionProgress::ConversionProgress(QWidget *window, int delayMs)
    : JobProgress(window, QCoreApplication::translate("ConverterPanel", "Конвертация..."), delayMs)
{}

void ConversionProgress::watch(ConversionOptions &options)
{
    options.progress = [this](qint64 done, qint64 total) {
        report(done, total);
    };
    options.cancelRequested = [this] {
        return cancelRequested();
    };
}
