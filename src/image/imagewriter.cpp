#include "imagewriter.h"

#include <QIODevice>

#include "hextext.h"
#include "imagelimits.h"
#include "intelhexwriter.h"
#include "jobrun.h"
#include "srecordwriter.h"
#include "systemerror.h"

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// Bytes handed over between two looks at the clock; a multiple of 16 keeps the record grid.
constexpr qsizetype SliceSize = 1 << 20;

// Hands the image to `put(address, data, length)` slice by slice, reporting progress and polling
// for a cancel between slices. With `gapsToo` the runs without data come too (data null); without,
// runs that continue one another are handed over as one, so that records follow one grid however
// the image's ranges were read.
template <typename Put>
WriteOutcome walk(const MemoryImage &image, quint64 from, quint64 to, bool gapsToo,
                  const ImageWriteOptions &options, Put &&put)
{
    qint64 total = 0;
    image.visit(from, to, [&](quint64, const char *data, quint64 length) {
        if (data || gapsToo)
            total += static_cast<qint64>(length);
    });
    qint64 done = 0;
    bool ok = true;
    bool cancelled = false;
    const auto hand = [&](quint64 address, const char *data, qsizetype length) {
        ok = put(address, data, length);
        done += length;
        if (options.run) {
            options.run->setProgress(done, total);
            cancelled = options.run->isCancelled();
        }
    };
    QByteArray pending;
    quint64 pendingStart = 0;
    image.visit(from, to, [&](quint64 address, const char *data, quint64 length) {
        for (quint64 at = 0; at < length && ok && !cancelled;) {
            const auto slice = static_cast<qsizetype>(qMin<quint64>(SliceSize, length - at));
            if (gapsToo) {
                hand(address + at, data ? data + at : nullptr, slice);
                at += static_cast<quint64>(slice);
                continue;
            }
            if (!data)
                break;
            if (!pending.isEmpty() && pendingStart + static_cast<quint64>(pending.size()) != address + at) {
                hand(pendingStart, pending.constData(), pending.size());
                pending.resize(0);
            }
            if (pending.isEmpty())
                pendingStart = address + at;
            const qsizetype taken = qMin(slice, SliceSize - pending.size());
            pending.append(data + at, taken);
            at += static_cast<quint64>(taken);
            if (pending.size() == SliceSize) {
                hand(pendingStart, pending.constData(), pending.size());
                pendingStart += SliceSize;
                pending.resize(0);
            }
        }
    });
    if (!pending.isEmpty() && ok && !cancelled)
        hand(pendingStart, pending.constData(), pending.size());
    if (cancelled)
        return WriteOutcome::Cancelled;
    if (!ok)
        return WriteOutcome::Failed;
    return WriteOutcome::Written;
}

WriteOutcome writeBinary(QIODevice &out, const MemoryImage &image, const ImageWriteOptions &options,
                         QString *error)
{
    const QByteArray erased(SliceSize, '\xFF');
    const WriteOutcome outcome = walk(image, options.binaryBase, qMax(options.binaryBase, image.endAddress()),
                                      true, options, [&](quint64, const char *data, qsizetype length) {
                                          SystemError::clear();
                                          if (out.write(data ? data : erased.constData(), length) == length)
                                              return true;
                                          *error = SystemError::of(out);
                                          return false;
                                      });
    return outcome;
}

template <typename Writer>
WriteOutcome writeRecords(Writer &writer, const MemoryImage &image, const ImageWriteOptions &options,
                          QString *error)
{
    WriteOutcome outcome = walk(image, image.lowestAddress(), image.endAddress(), false, options,
                                [&](quint64 address, const char *data, qsizetype length) {
                                    return writer.writeData(address, QByteArrayView(data, length));
                                });
    const std::optional<quint32> start =
        options.startAddress ? std::optional<quint32>(static_cast<quint32>(*options.startAddress))
                             : std::nullopt;
    if (outcome == WriteOutcome::Written && !writer.finish(start))
        outcome = WriteOutcome::Failed;
    if (outcome == WriteOutcome::Failed)
        *error = writer.errorString();
    return outcome;
}

} // namespace

std::optional<OutputFormat> outputFormatFromName(const QString &name)
{
    if (name == QLatin1String("bin"))
        return OutputFormat::Binary;
    if (name == QLatin1String("hex"))
        return OutputFormat::IntelHex;
    if (name == QLatin1String("srec"))
        return OutputFormat::SRecord;
    return std::nullopt;
}

QString outputFormatExtension(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Binary:
        return QStringLiteral(".bin");
    case OutputFormat::IntelHex:
        return QStringLiteral(".hex");
    case OutputFormat::SRecord:
        return QStringLiteral(".srec");
    }
    return QString();
}

QString imageWriteProblem(const MemoryImage &image, OutputFormat format, const ImageWriteOptions &options,
                          const QString &name)
{
    if (format == OutputFormat::Binary) {
        if (!image.isEmpty() && image.lowestAddress() < options.binaryBase)
            return QStringLiteral("%1: данные начинаются с %2, ниже первого адреса двоичного файла %3")
                .arg(name, HexText::address(image.lowestAddress()), HexText::address(options.binaryBase));
        if (image.endAddress() > options.binaryBase + LargestImageSize)
            return QStringLiteral("%1: данные доходят до адреса %2, двоичный образ от адреса %3 "
                                  "занял бы %4 МиБ; образы больше %5 МиБ не создаются")
                .arg(name, HexText::address(image.endAddress() - 1),
                     options.binaryBase == 0 ? QStringLiteral("0") : HexText::address(options.binaryBase))
                .arg((image.endAddress() - options.binaryBase + (1 << 20) - 1) >> 20)
                .arg(LargestImageSize >> 20);
        return QString();
    }
    const QString formatName =
        format == OutputFormat::IntelHex ? QStringLiteral("Intel HEX") : QStringLiteral("S-records");
    if (image.endAddress() > AddressSpaceEnd)
        return QStringLiteral("%1: данные доходят до адреса %2, за пределы 4 ГиБ, которые адресует формат %3")
            .arg(name, HexText::number(image.endAddress() - 1), formatName);
    if (options.startAddress && *options.startAddress >= AddressSpaceEnd)
        return QStringLiteral("%1: стартовый адрес %2 не помещается в 32 бита формата %3")
            .arg(name, HexText::number(*options.startAddress), formatName);
    return QString();
}

WriteOutcome writeImage(QIODevice &out, const MemoryImage &image, OutputFormat format,
                        const ImageWriteOptions &options, QString *error)
{
    switch (format) {
    case OutputFormat::Binary:
        return writeBinary(out, image, options, error);
    case OutputFormat::IntelHex: {
        IntelHexWriter writer(out);
        writer.setSkipErased(options.skipErased);
        writer.begin(static_cast<quint32>(image.lowestAddress()));
        return writeRecords(writer, image, options, error);
    }
    case OutputFormat::SRecord: {
        SRecordWriter writer(out);
        writer.setSkipErased(options.skipErased);
        writer.begin(options.header);
        return writeRecords(writer, image, options, error);
    }
    }
    return WriteOutcome::Failed;
}
