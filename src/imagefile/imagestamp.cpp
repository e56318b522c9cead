#include "imagestamp.h"

#include <QFile>
#include <QFileInfo>

#include "atomicoutputfile.h"
#include "crc32.h"
#include "digestingdevice.h"
#include "hextext.h"
#include "imageloader.h"
#include "imagewriter.h"
#include "jobrun.h"
#include "releasemanifest.h"
#include "stm32crc.h"
#include "systemerror.h"

namespace {

constexpr qint64 CopyBlockSize = 1 << 20;
constexpr int StampLength = 4;
// The share of the progress that reading the image takes, in thousandths; writing it takes the rest.
constexpr int ReadShare = 400;

Failure cancelled()
{
    return Failure(JobRun::cancelledProblem());
}

Problem writeProblem(const QString &path, const QString &reason)
{
    return Problem::error(QStringLiteral("не удалось записать файл: %1").arg(reason), path);
}

// The CRC over [from, to), addresses without data taken as 0xFF; counts those in `gapBytes`. Stops
// early, with a value of no use, when the run is cancelled.
quint32 crcOver(const MemoryImage &image, quint64 from, quint64 to, StampAlgorithm algorithm,
                quint64 &gapBytes, const JobRun &run)
{
    const QByteArray erased(CopyBlockSize, '\xFF');
    Crc32 crc32;
    Stm32Crc stm32;
    gapBytes = 0;
    image.visit(from, to, [&](quint64, const char *data, quint64 length) {
        if (!data)
            gapBytes += length;
        for (quint64 done = 0; done < length && !run.isCancelled();) {
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

// Puts the stamp into the block read from `position` on, where it overlaps the block.
void patchBlock(QByteArray &block, qint64 got, qint64 position, qint64 patchOffset, const QByteArray &patch)
{
    for (qsizetype i = 0; i < patch.size(); ++i) {
        const qint64 at = patchOffset + i - position;
        if (at >= 0 && at < got)
            block[at] = patch.at(i);
    }
}

// The bytes of an ELF file with the stamp put where its segment holds the address. False with the
// reason in `error`, or on a cancel.
bool copyPatched(const QString &path, qint64 patchOffset, const QByteArray &patch, QIODevice &out,
                 QString *error, JobRun &run)
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
        patchBlock(block, got, position, patchOffset, patch);
        SystemError::clear();
        if (out.write(block.constData(), got) != got) {
            *error = SystemError::of(out);
            return false;
        }
        position += got;
        run.setProgress(position, file.size());
        if (run.isCancelled())
            return false;
    }
}

// The image as read, in the first share of the progress; an empty file has nothing to stamp.
Result<LoadedImage> loadImageToStamp(const StampJob &job, JobRun &run)
{
    ImageLoadOptions loadOptions;
    loadOptions.binaryOffset = job.binaryOffset;
    loadOptions.displayName = job.imagePath;
    loadOptions.run = &run;
    run.setStage(0, ReadShare);
    LoadedImage loaded = loadImageFile(job.imagePath, loadOptions);
    run.setStage(ReadShare, JobRun::PerMille);
    if (run.isCancelled())
        return cancelled();
    if (!loaded.ok())
        return Failure(Problem::error(loaded.errorText));
    if (loaded.format == InputFormat::Empty)
        return Failure(Problem::error(QStringLiteral("файл пуст, записывать CRC не во что"), job.imagePath));
    QList<Problem> warnings = loaded.warnings;
    return Result<LoadedImage>(std::move(loaded), std::move(warnings));
}

// The range the CRC covers, checked against the stamp's place; set in `stamp`.
std::optional<Problem> chooseRange(const StampJob &job, const MemoryImage &image, Stamp &stamp)
{
    const QString &name = job.imagePath;
    const quint64 stampEnd = job.address + StampLength;
    if (job.range) {
        stamp.rangeStart = job.range->first;
        stamp.rangeEnd = job.range->second;
        if (stamp.rangeStart >= stamp.rangeEnd)
            return Problem::error(
                QStringLiteral("диапазон %1-%2 пуст; его конец — первый адрес за ним")
                    .arg(HexText::address(stamp.rangeStart), HexText::address(stamp.rangeEnd)),
                name);
    } else {
        stamp.rangeStart = image.lowestAddress();
        stamp.rangeEnd = job.address;
        if (image.isEmpty() || job.address <= image.lowestAddress())
            return Problem::error(
                QStringLiteral("адрес CRC %1 не выше наименьшего адреса образа %2, ниже него "
                               "нечего охватывать; задайте диапазон")
                    .arg(HexText::address(job.address), HexText::address(image.lowestAddress())),
                name);
    }
    if (job.address < stamp.rangeEnd && stampEnd > stamp.rangeStart)
        return Problem::error(
            QStringLiteral("CRC по адресам %1-%2 лежит внутри диапазона %3-%4, который она охватывает")
                .arg(HexText::address(job.address), HexText::address(stampEnd - 1),
                     HexText::address(stamp.rangeStart), HexText::address(stamp.rangeEnd - 1)),
            name);
    if (job.algorithm == StampAlgorithm::Stm32 && (stamp.rangeEnd - stamp.rangeStart) % 4 != 0)
        return Problem::error(
            QStringLiteral("в диапазоне %1-%2 %3 байт; блок CRC STM32 принимает целые "
                           "32-битные слова, длина должна быть кратна 4")
                .arg(HexText::address(stamp.rangeStart), HexText::address(stamp.rangeEnd - 1))
                .arg(stamp.rangeEnd - stamp.rangeStart),
            name);
    return std::nullopt;
}

// Four bytes that hold data other than 0xFF are kept unless the stamp is forced over them.
std::optional<Problem> placeProblem(const StampJob &job, const MemoryImage &image)
{
    QStringList heldThere;
    bool holdsData = false;
    image.visit(job.address, job.address + StampLength, [&](quint64, const char *data, quint64 length) {
        for (quint64 i = 0; i < length; ++i) {
            heldThere << (data ? HexText::digits(static_cast<quint8>(data[i]), 2) : QStringLiteral("--"));
            holdsData = holdsData || (data && static_cast<quint8>(data[i]) != 0xFF);
        }
    });
    if (!holdsData || job.force)
        return std::nullopt;
    return Problem::error(QStringLiteral("в четырёх байтах по адресу %1 данные (%2), а не стёртая "
                                         "флеш-память; --force запишет CRC поверх них")
                              .arg(HexText::address(job.address), heldThere.join(QLatin1Char(' '))),
                          job.imagePath);
}

// The CRC over the stamp's range; a range without any data is refused, one with gaps warned of.
std::optional<Problem> computeCrc(const StampJob &job, const MemoryImage &image, Stamp &stamp,
                                  QList<Problem> &warnings, const JobRun &run)
{
    quint64 gapBytes = 0;
    stamp.value = crcOver(image, stamp.rangeStart, stamp.rangeEnd, job.algorithm, gapBytes, run);
    if (run.isCancelled())
        return JobRun::cancelledProblem();
    if (gapBytes == stamp.rangeEnd - stamp.rangeStart)
        return Problem::error(
            QStringLiteral("в диапазоне %1-%2 нет данных")
                .arg(HexText::address(stamp.rangeStart), HexText::address(stamp.rangeEnd - 1)),
            job.imagePath);
    if (gapBytes > 0)
        warnings << Problem::warning(
            QStringLiteral(
                "в %1 байтах диапазона нет данных, они считаются равными 0xFF (стёртая флеш-память)")
                .arg(gapBytes),
            job.imagePath);
    return std::nullopt;
}

QByteArray stampBytes(quint32 value)
{
    const char bytes[StampLength] = {static_cast<char>(value), static_cast<char>(value >> 8),
                                     static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return QByteArray(bytes, StampLength);
}

// Where in an ELF file the four bytes go: inside the loadable segment that holds them.
Result<qint64> elfFileOffset(const StampJob &job, const LoadedImage &loaded)
{
    const QString &name = job.imagePath;
    if (!QFileInfo(job.imagePath).isFile())
        return Failure(Problem::error(
            QStringLiteral("CRC записывается в копию байтов файла ELF, а канал не может отдать их дважды"),
            name));
    for (const FileSpan &span : loaded.fileSpans)
        if (job.address >= span.address &&
            job.address + StampLength <= span.address + static_cast<quint64>(span.length))
            return span.fileOffset + static_cast<qint64>(job.address - span.address);
    return Failure(
        Problem::error(QStringLiteral("ни одна секция файла с данными не содержит четыре байта по "
                                      "адресу %1; в файл ELF CRC записывается только туда, где есть "
                                      "данные")
                           .arg(HexText::address(job.address)),
                       name));
}

OutputFormat outputFormatOf(InputFormat format)
{
    if (format == InputFormat::IntelHex)
        return OutputFormat::IntelHex;
    if (format == InputFormat::SRecord)
        return OutputFormat::SRecord;
    return OutputFormat::Binary;
}

ImageWriteOptions writeOptionsFor(const StampJob &job, const LoadedImage &loaded, JobRun &run)
{
    ImageWriteOptions options;
    options.binaryBase = job.binaryOffset;
    options.startAddress = loaded.startAddress;
    if (!loaded.header.isEmpty())
        options.header = loaded.header;
    options.run = &run;
    return options;
}

// Writes the stamp into the image held in memory, checking that the image can still be written in
// its format.
std::optional<Problem> placeStamp(const StampJob &job, LoadedImage &loaded, const QByteArray &bytes,
                                  JobRun &run)
{
    if (loaded.format == InputFormat::Binary && job.address < job.binaryOffset)
        return Problem::error(QStringLiteral("адрес CRC %1 ниже первого байта файла по адресу %2")
                                  .arg(HexText::address(job.address), HexText::address(job.binaryOffset)),
                              job.imagePath);
    loaded.image.write(job.address, bytes);
    if (loaded.format == InputFormat::Elf)
        return std::nullopt;
    const QString problem = imageWriteProblem(loaded.image, outputFormatOf(loaded.format),
                                              writeOptionsFor(job, loaded, run), job.imagePath);
    if (!problem.isEmpty())
        return Problem::error(problem);
    return std::nullopt;
}

// The image with its stamp, written aside (not yet in place of the output).
std::optional<Problem> writeStamped(const StampJob &job, const LoadedImage &loaded, qint64 elfOffset,
                                    const QByteArray &bytes, AtomicOutputFile &output,
                                    ImageDigestBuilder &digest, JobRun &run)
{
    if (!output.open())
        return writeProblem(output.targetPath(), output.errorString());
    DigestingDevice device(output.device(), digest);
    QString writeError;
    const bool written =
        loaded.format == InputFormat::Elf
            ? copyPatched(job.imagePath, elfOffset, bytes, device, &writeError, run)
            : writeImage(device, loaded.image, outputFormatOf(loaded.format),
                         writeOptionsFor(job, loaded, run), &writeError) == WriteOutcome::Written;
    if (run.isCancelled())
        return JobRun::cancelledProblem();
    if (!written)
        return writeProblem(output.targetPath(), writeError);
    return std::nullopt;
}

// The manifest with the stamp recorded, written aside before the image replaces anything, so that
// a manifest that cannot be written leaves the old image and manifest as they were.
std::optional<Problem> writeManifest(const StampJob &job, const Stamp &stamp, const QByteArray &text,
                                     const ImageDigest &digest, AtomicOutputFile &manifest)
{
    QString manifestError;
    const std::optional<QByteArray> updated = manifestWithStamp(
        text, QFileInfo(stamp.outputPath).fileName(), digest,
        {stampAlgorithmName(job.algorithm), stamp.rangeStart, stamp.rangeEnd, job.address, stamp.value},
        &manifestError);
    if (!updated)
        return Problem::error(QStringLiteral("в манифест выпуска нельзя записать CRC: %1").arg(manifestError),
                              releaseManifestPath(job.imagePath));
    if (!manifest.open() || !manifest.write(*updated))
        return writeProblem(manifest.targetPath(), manifest.errorString());
    return std::nullopt;
}

// Writes the stamped image, and its manifest when the image has one, each replacing its file whole.
std::optional<Problem> writeOutputs(const StampJob &job, const LoadedImage &loaded, qint64 elfOffset,
                                    Stamp &stamp, JobRun &run)
{
    const Result<std::optional<QByteArray>> manifestText = readReleaseManifest(job.imagePath);
    if (!manifestText)
        return manifestText.problems().first();
    AtomicOutputFile output(stamp.outputPath);
    ImageDigestBuilder digest;
    if (auto problem = writeStamped(job, loaded, elfOffset, stampBytes(stamp.value), output, digest, run))
        return problem;
    AtomicOutputFile manifest(releaseManifestPath(stamp.outputPath));
    if (manifestText.value()) {
        if (auto problem = writeManifest(job, stamp, *manifestText.value(), digest.result(), manifest))
            return problem;
    }
    if (run.isCancelled())
        return JobRun::cancelledProblem();
    if (!output.commit())
        return writeProblem(stamp.outputPath, output.errorString());
    if (!manifestText.value())
        return std::nullopt;
    if (!manifest.commit())
        return writeProblem(manifest.targetPath(), manifest.errorString());
    stamp.manifestPath = manifest.targetPath();
    return std::nullopt;
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

Result<Stamp> stampImage(const StampJob &job, JobRun &run)
{
    Result<LoadedImage> loaded = loadImageToStamp(job, run);
    if (!loaded)
        return Failure(loaded.problems());
    QList<Problem> warnings = loaded.problems();
    Stamp stamp;
    stamp.format = loaded->format;
    if (auto problem = chooseRange(job, loaded->image, stamp))
        return Failure(*problem);
    if (auto problem = placeProblem(job, loaded->image))
        return Failure(*problem);
    if (auto problem = computeCrc(job, loaded->image, stamp, warnings, run))
        return Failure(*problem);
    qint64 elfOffset = -1;
    if (loaded->format == InputFormat::Elf) {
        const Result<qint64> offset = elfFileOffset(job, loaded.value());
        if (!offset)
            return Failure(offset.problems());
        elfOffset = offset.value();
    }
    if (auto problem = placeStamp(job, loaded.value(), stampBytes(stamp.value), run))
        return Failure(*problem);
    stamp.outputPath = job.outputPath.isEmpty() ? job.imagePath : job.outputPath;
    if (auto problem = writeOutputs(job, loaded.value(), elfOffset, stamp, run))
        return Failure(*problem);
    return Result<Stamp>(stamp, warnings);
}
