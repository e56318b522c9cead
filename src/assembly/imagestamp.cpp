#include "assembly/imagestamp.h"

#include <QFile>
#include <QFileInfo>

#include "assembly/releasemanifest.h"
#include "common/atomicoutputfile.h"
#include "common/crc32.h"
#include "common/hextext.h"
#include "common/stm32crc.h"
#include "hex/imageloader.h"
#include "hex/imagewriter.h"

namespace {

constexpr qint64 CopyBlockSize = 1 << 20;
constexpr int StampLength = 4;

// Passes every byte written on to the output file and into the digest that a manifest records.
class DigestingDevice : public QIODevice {
public:
    DigestingDevice(QIODevice &target, ImageDigestBuilder &digest) : m_target(target), m_digest(digest)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        const qint64 written = m_target.write(data, length);
        if (written > 0)
            m_digest.addData(data, written);
        if (written != length)
            setErrorString(m_target.errorString());
        return written;
    }

private:
    QIODevice &m_target;
    ImageDigestBuilder &m_digest;
};

StampResult failed(StampResult result, const QString &text)
{
    result.ok = false;
    result.errorText = text;
    return result;
}

// The CRC over [from, to), addresses without data taken as 0xFF; counts those in `gapBytes`.
quint32 crcOver(const MemoryImage &image, quint64 from, quint64 to, StampAlgorithm algorithm,
                quint64 &gapBytes)
{
    const QByteArray erased(CopyBlockSize, '\xFF');
    Crc32 crc32;
    Stm32Crc stm32;
    gapBytes = 0;
    image.visit(from, to, [&](quint64, const char *data, quint64 length) {
        if (!data)
            gapBytes += length;
        for (quint64 done = 0; done < length;) {
            const auto piece = static_cast<qint64>(qMin<quint64>(length - done, CopyBlockSize));
            const char *bytes = data ? data + done : erased.constData();
            if (algorithm == StampAlgorithm::Crc32)
                crc32.addData(bytes, piece);
            else
                stm32.addData(bytes, piece);
            done += static_cast<quint64>(piece);
        }
    });
    return algorithm == StampAlgorithm::Crc32 ? crc32.result() : stm32.result();
}

// The bytes of an ELF file with the stamp put where its segment holds the address.
bool copyPatched(const QString &path, qint64 patchOffset, const QByteArray &patch, QIODevice &out,
                 QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    qint64 position = 0;
    QByteArray block(CopyBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            *error = file.errorString();
            return false;
        }
        if (got == 0)
            return true;
        for (qsizetype i = 0; i < patch.size(); ++i) {
            const qint64 at = patchOffset + i - position;
            if (at >= 0 && at < got)
                block[at] = patch.at(i);
        }
        if (out.write(block.constData(), got) != got) {
            *error = out.errorString();
            return false;
        }
        position += got;
    }
}

} // namespace

QString stampAlgorithmName(StampAlgorithm algorithm)
{
    return algorithm == StampAlgorithm::Crc32 ? QStringLiteral("crc32") : QStringLiteral("stm32");
}

std::optional<StampAlgorithm> stampAlgorithmFromName(const QString &name)
{
    if (name == QLatin1String("crc32"))
        return StampAlgorithm::Crc32;
    if (name == QLatin1String("stm32"))
        return StampAlgorithm::Stm32;
    return std::nullopt;
}

StampResult stampImage(const StampJob &job)
{
    StampResult result;
    const QString name = QFileInfo(job.imagePath).fileName();
    ImageLoadOptions loadOptions;
    loadOptions.binaryOffset = job.binaryOffset;
    loadOptions.displayName = name;
    LoadedImage loaded = loadImageFile(job.imagePath, loadOptions);
    result.format = loaded.format;
    if (!loaded.ok())
        return failed(result, loaded.errorText);
    if (loaded.format == InputFormat::Empty)
        return failed(result, QStringLiteral("%1: the file is empty; there is nothing to stamp").arg(name));
    for (const HexDiagnostic &warning : loaded.warnings)
        result.warnings << warning.text();
    MemoryImage &image = loaded.image;

    // The range and the stamp's place.
    const quint64 stampEnd = job.address + StampLength;
    if (job.range) {
        result.rangeStart = job.range->first;
        result.rangeEnd = job.range->second;
        if (result.rangeStart >= result.rangeEnd)
            return failed(
                result,
                QStringLiteral("%1: the range %2-%3 is empty; its end is the first address past it")
                    .arg(name, HexText::address(result.rangeStart), HexText::address(result.rangeEnd)));
    } else {
        result.rangeStart = image.lowestAddress();
        result.rangeEnd = job.address;
        if (image.isEmpty() || job.address <= image.lowestAddress())
            return failed(
                result,
                QStringLiteral("%1: the stamp address %2 is not above the image's lowest address %3, "
                               "so there is nothing below it to cover; give the range")
                    .arg(name, HexText::address(job.address), HexText::address(image.lowestAddress())));
    }
    if (job.address < result.rangeEnd && stampEnd > result.rangeStart)
        return failed(result,
                      QStringLiteral("%1: the stamp at %2-%3 lies inside the range %4-%5 that the CRC covers")
                          .arg(name, HexText::address(job.address), HexText::address(stampEnd - 1),
                               HexText::address(result.rangeStart), HexText::address(result.rangeEnd - 1)));
    if (job.algorithm == StampAlgorithm::Stm32 && (result.rangeEnd - result.rangeStart) % 4 != 0)
        return failed(
            result, QStringLiteral("%1: the range %2-%3 holds %4 bytes; the STM32 CRC unit takes whole "
                                   "32-bit words, so its length must be a multiple of 4")
                        .arg(name, HexText::address(result.rangeStart), HexText::address(result.rangeEnd - 1))
                        .arg(result.rangeEnd - result.rangeStart));

    // What is at the stamp's place now.
    QStringList heldThere;
    bool holdsData = false;
    image.visit(job.address, stampEnd, [&](quint64, const char *data, quint64 length) {
        for (quint64 i = 0; i < length; ++i) {
            heldThere << (data ? QString::number(static_cast<quint8>(data[i]), 16)
                                     .toUpper()
                                     .rightJustified(2, QLatin1Char('0'))
                               : QStringLiteral("--"));
            holdsData = holdsData || (data && static_cast<quint8>(data[i]) != 0xFF);
        }
    });
    if (holdsData && !job.force)
        return failed(result,
                      QStringLiteral("%1: the four bytes at %2 hold data (%3), not erased flash; --force "
                                     "writes the CRC over them")
                          .arg(name, HexText::address(job.address), heldThere.join(QLatin1Char(' '))));

    quint64 gapBytes = 0;
    result.value = crcOver(image, result.rangeStart, result.rangeEnd, job.algorithm, gapBytes);
    if (gapBytes == result.rangeEnd - result.rangeStart)
        return failed(result, QStringLiteral("%1: the range %2-%3 holds no data")
                                  .arg(name, HexText::address(result.rangeStart),
                                       HexText::address(result.rangeEnd - 1)));
    if (gapBytes > 0)
        result.warnings << QStringLiteral(
                               "%1: %2 bytes of the range hold no data and count as 0xFF (erased flash)")
                               .arg(name)
                               .arg(gapBytes);
    const char stamp[StampLength] = {static_cast<char>(result.value), static_cast<char>(result.value >> 8),
                                     static_cast<char>(result.value >> 16),
                                     static_cast<char>(result.value >> 24)};
    const QByteArray stampBytes(stamp, StampLength);

    // Where the four bytes go in the file: an ELF file is changed where its segment holds them.
    qint64 elfOffset = -1;
    if (loaded.format == InputFormat::Elf) {
        if (!QFileInfo(job.imagePath).isFile())
            return failed(result,
                          QStringLiteral("%1: an ELF file is stamped in a copy of its bytes, which a pipe "
                                         "cannot give twice")
                              .arg(name));
        for (const FileSpan &span : loaded.fileSpans)
            if (job.address >= span.address && stampEnd <= span.address + static_cast<quint64>(span.length))
                elfOffset = span.fileOffset + static_cast<qint64>(job.address - span.address);
        if (elfOffset < 0)
            return failed(result,
                          QStringLiteral("%1: no loadable segment holds the four bytes at %2 in the file; an "
                                         "ELF file is stamped only where it holds data")
                              .arg(name, HexText::address(job.address)));
    }
    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = job.binaryOffset;
    writeOptions.startAddress = loaded.startAddress;
    if (!loaded.header.isEmpty())
        writeOptions.header = loaded.header;
    const OutputFormat outputFormat = loaded.format == InputFormat::IntelHex  ? OutputFormat::IntelHex
                                      : loaded.format == InputFormat::SRecord ? OutputFormat::SRecord
                                                                              : OutputFormat::Binary;
    if (loaded.format == InputFormat::Binary && job.address < job.binaryOffset)
        return failed(result,
                      QStringLiteral("%1: the stamp address %2 lies below the file's first byte at %3")
                          .arg(name, HexText::address(job.address), HexText::address(job.binaryOffset)));
    image.write(job.address, stampBytes);
    if (loaded.format != InputFormat::Elf) {
        const QString problem = imageWriteProblem(image, outputFormat, writeOptions, name);
        if (!problem.isEmpty())
            return failed(result, problem);
    }

    // A manifest beside the image goes along, the stamp recorded in it.
    result.outputPath = job.outputPath.isEmpty() ? job.imagePath : job.outputPath;
    const QString outputName = QFileInfo(result.outputPath).fileName();
    QByteArray manifestText;
    QFile manifestFile(releaseManifestPath(job.imagePath));
    const bool hasManifest = manifestFile.exists();
    if (hasManifest) {
        if (!manifestFile.open(QIODevice::ReadOnly))
            return failed(result, QStringLiteral("%1: cannot read the file: %2")
                                      .arg(QFileInfo(manifestFile).fileName(), manifestFile.errorString()));
        manifestText = manifestFile.readAll();
    }

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failed(result,
                      QStringLiteral("%1: cannot write the file: %2").arg(outputName, output.errorString()));
    ImageDigestBuilder digest;
    DigestingDevice device(output.device(), digest);
    QString writeError;
    const bool written =
        loaded.format == InputFormat::Elf
            ? copyPatched(job.imagePath, elfOffset, stampBytes, device, &writeError)
            : writeImage(device, image, outputFormat, writeOptions, &writeError) == WriteOutcome::Written;
    if (!written) {
        output.cancel();
        return failed(result, QStringLiteral("%1: cannot write the file: %2").arg(outputName, writeError));
    }

    AtomicOutputFile manifest(releaseManifestPath(result.outputPath));
    if (hasManifest) {
        QString manifestError;
        const std::optional<QByteArray> updated =
            manifestWithStamp(manifestText, outputName, digest.result(),
                              {stampAlgorithmName(job.algorithm), result.rangeStart, result.rangeEnd,
                               job.address, result.value},
                              &manifestError);
        if (!updated) {
            output.cancel();
            return failed(result, QStringLiteral("%1: the release manifest cannot take the stamp: %2")
                                      .arg(QFileInfo(manifestFile).fileName(), manifestError));
        }
        // Written aside before the image replaces anything, so that a manifest that cannot be
        // written leaves the old image and manifest as they were.
        if (!manifest.open() || !manifest.write(*updated)) {
            output.cancel();
            return failed(result,
                          QStringLiteral("%1: cannot write the file: %2")
                              .arg(QFileInfo(manifest.targetPath()).fileName(), manifest.errorString()));
        }
    }
    if (!output.commit())
        return failed(result,
                      QStringLiteral("%1: cannot write the file: %2").arg(outputName, output.errorString()));
    if (hasManifest) {
        if (!manifest.commit())
            return failed(result,
                          QStringLiteral("%1: cannot write the file: %2")
                              .arg(QFileInfo(manifest.targetPath()).fileName(), manifest.errorString()));
        result.manifestPath = manifest.targetPath();
    }
    result.ok = true;
    return result;
}
