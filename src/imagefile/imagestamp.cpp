#include "imagestamp.h"

#include <QFile>
#include <QFileInfo>

#include "atomicoutputfile.h"
#include "crc32.h"
#include "hextext.h"
#include "imageloader.h"
#include "imagewriter.h"
#include "releasemanifest.h"
#include "stm32crc.h"
#include "systemerror.h"

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
        SystemError::clear();
        const qint64 written = m_target.write(data, length);
        if (written > 0)
            m_digest.addData(data, written);
        if (written != length)
            setErrorString(SystemError::of(m_target));
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
    SystemError::clear();
    if (!file.open(QIODevice::ReadOnly)) {
        *error = SystemError::of(file);
        return false;
    }
    qint64 position = 0;
    QByteArray block(CopyBlockSize, Qt::Uninitialized);
    for (;;) {
        SystemError::clear();
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            *error = SystemError::of(file);
            return false;
        }
        if (got == 0)
            return true;
        for (qsizetype i = 0; i < patch.size(); ++i) {
            const qint64 at = patchOffset + i - position;
            if (at >= 0 && at < got)
                block[at] = patch.at(i);
        }
        SystemError::clear();
        if (out.write(block.constData(), got) != got) {
            *error = SystemError::of(out);
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
    const QString name = job.imagePath; // as typed, in every message
    ImageLoadOptions loadOptions;
    loadOptions.binaryOffset = job.binaryOffset;
    loadOptions.displayName = name;
    LoadedImage loaded = loadImageFile(job.imagePath, loadOptions);
    result.format = loaded.format;
    if (!loaded.ok())
        return failed(result, loaded.errorText);
    if (loaded.format == InputFormat::Empty)
        return failed(result, QStringLiteral("%1: файл пуст, записывать CRC не во что").arg(name));
    for (const Problem &warning : loaded.warnings)
        result.warnings << warning.toString();
    MemoryImage &image = loaded.image;

    // The range and the stamp's place.
    const quint64 stampEnd = job.address + StampLength;
    if (job.range) {
        result.rangeStart = job.range->first;
        result.rangeEnd = job.range->second;
        if (result.rangeStart >= result.rangeEnd)
            return failed(result, QStringLiteral("%1: диапазон %2-%3 пуст; его конец — первый адрес за ним")
                                      .arg(name, HexText::address(result.rangeStart),
                                           HexText::address(result.rangeEnd)));
    } else {
        result.rangeStart = image.lowestAddress();
        result.rangeEnd = job.address;
        if (image.isEmpty() || job.address <= image.lowestAddress())
            return failed(result, QStringLiteral("%1: адрес CRC %2 не выше наименьшего адреса образа %3, "
                                                 "ниже него нечего охватывать; задайте диапазон")
                                      .arg(name, HexText::address(job.address),
                                           HexText::address(image.lowestAddress())));
    }
    if (job.address < result.rangeEnd && stampEnd > result.rangeStart)
        return failed(
            result,
            QStringLiteral("%1: CRC по адресам %2-%3 лежит внутри диапазона %4-%5, который она охватывает")
                .arg(name, HexText::address(job.address), HexText::address(stampEnd - 1),
                     HexText::address(result.rangeStart), HexText::address(result.rangeEnd - 1)));
    if (job.algorithm == StampAlgorithm::Stm32 && (result.rangeEnd - result.rangeStart) % 4 != 0)
        return failed(
            result, QStringLiteral("%1: в диапазоне %2-%3 %4 байт; блок CRC STM32 принимает целые "
                                   "32-битные слова, длина должна быть кратна 4")
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
        return failed(
            result, QStringLiteral("%1: в четырёх байтах по адресу %2 данные (%3), а не стёртая флеш-память; "
                                   "--force запишет CRC поверх них")
                        .arg(name, HexText::address(job.address), heldThere.join(QLatin1Char(' '))));

    quint64 gapBytes = 0;
    result.value = crcOver(image, result.rangeStart, result.rangeEnd, job.algorithm, gapBytes);
    if (gapBytes == result.rangeEnd - result.rangeStart)
        return failed(result, QStringLiteral("%1: в диапазоне %2-%3 нет данных")
                                  .arg(name, HexText::address(result.rangeStart),
                                       HexText::address(result.rangeEnd - 1)));
    if (gapBytes > 0)
        result.warnings
            << QStringLiteral(
                   "%1: в %2 байтах диапазона нет данных, они считаются равными 0xFF (стёртая флеш-память)")
                   .arg(name)
                   .arg(gapBytes);
    const char stamp[StampLength] = {static_cast<char>(result.value), static_cast<char>(result.value >> 8),
                                     static_cast<char>(result.value >> 16),
                                     static_cast<char>(result.value >> 24)};
    const QByteArray stampBytes(stamp, StampLength);

    // Where the four bytes go in the file: an ELF file is changed where its section holds them.
    qint64 elfOffset = -1;
    if (loaded.format == InputFormat::Elf) {
        if (!QFileInfo(job.imagePath).isFile())
            return failed(result,
                          QStringLiteral("%1: CRC записывается в копию байтов файла ELF, а канал не может "
                                         "отдать их дважды")
                              .arg(name));
        for (const FileSpan &span : loaded.fileSpans)
            if (job.address >= span.address && stampEnd <= span.address + static_cast<quint64>(span.length))
                elfOffset = span.fileOffset + static_cast<qint64>(job.address - span.address);
        if (elfOffset < 0)
            return failed(
                result,
                QStringLiteral("%1: ни одна секция файла с данными не содержит четыре байта по адресу %2; "
                               "в файл ELF CRC записывается только туда, где есть данные")
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
                      QStringLiteral("%1: адрес CRC %2 ниже первого байта файла по адресу %3")
                          .arg(name, HexText::address(job.address), HexText::address(job.binaryOffset)));
    image.write(job.address, stampBytes);
    if (loaded.format != InputFormat::Elf) {
        const QString problem = imageWriteProblem(image, outputFormat, writeOptions, name);
        if (!problem.isEmpty())
            return failed(result, problem);
    }

    // A manifest beside the image goes along, the stamp recorded in it.
    result.outputPath = job.outputPath.isEmpty() ? job.imagePath : job.outputPath;
    const QString outputName = QFileInfo(result.outputPath).fileName(); // as the manifest records it
    QByteArray manifestText;
    QFile manifestFile(releaseManifestPath(job.imagePath));
    const bool hasManifest = manifestFile.exists();
    if (hasManifest) {
        SystemError::clear();
        if (!manifestFile.open(QIODevice::ReadOnly))
            return failed(result, QStringLiteral("%1: не удалось прочитать файл: %2")
                                      .arg(manifestFile.fileName(), SystemError::of(manifestFile)));
        manifestText = manifestFile.readAll();
    }

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failed(
            result,
            QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, output.errorString()));
    ImageDigestBuilder digest;
    DigestingDevice device(output.device(), digest);
    QString writeError;
    const bool written =
        loaded.format == InputFormat::Elf
            ? copyPatched(job.imagePath, elfOffset, stampBytes, device, &writeError)
            : writeImage(device, image, outputFormat, writeOptions, &writeError) == WriteOutcome::Written;
    if (!written) {
        output.cancel();
        return failed(result,
                      QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, writeError));
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
            return failed(result, QStringLiteral("%1: в манифест выпуска нельзя записать CRC: %2")
                                      .arg(manifestFile.fileName(), manifestError));
        }
        // Written aside before the image replaces anything, so that a manifest that cannot be
        // written leaves the old image and manifest as they were.
        if (!manifest.open() || !manifest.write(*updated)) {
            output.cancel();
            return failed(result, QStringLiteral("%1: не удалось записать файл: %2")
                                      .arg(manifest.targetPath(), manifest.errorString()));
        }
    }
    if (!output.commit())
        return failed(
            result,
            QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, output.errorString()));
    if (hasManifest) {
        if (!manifest.commit())
            return failed(result, QStringLiteral("%1: не удалось записать файл: %2")
                                      .arg(manifest.targetPath(), manifest.errorString()));
        result.manifestPath = manifest.targetPath();
    }
    result.ok = true;
    return result;
}
