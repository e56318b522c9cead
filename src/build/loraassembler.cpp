#include "loraassembler.h"

#include <optional>

#include <QHash>

#include "assemblymessages.h"
#include "imagebuilder.h"
#include "imagelimits.h"
#include "imagepiece.h"
#include "jobrun.h"
#include "outputname.h"
#include "pieceoverlap.h"
#include "releasename.h"
#include "reporter.h"

namespace {

struct PlannedImage {
    int loraMacIndex;
    int appIndex;
    QString releaseBaseName;
    ReleaseNameFields names;
};

void warn(Reporter &reporter, const QString &text)
{
    reporter.message(MessageKind::Warning, ReportTitle::warning(), text);
}

// Opens a piece, which has to be a raw image: records or an ELF file placed as bytes would be a
// wrong image.
std::optional<ImagePiece> openRawPiece(const QString &path, Reporter &reporter, qint64 &heldBudget)
{
    std::optional<ImagePiece> piece = openImagePiece(path, reporter, heldBudget);
    if (piece && piece->isRecordOrExecutable()) {
        warn(reporter, AssemblyText::leftOut(path, piece->format));
        return std::nullopt;
    }
    if (piece && piece->size() == 0) {
        reporter.message(MessageKind::Critical, ReportTitle::error(), AssemblyText::emptyPiece(path));
        return std::nullopt;
    }
    return piece;
}

std::optional<QList<ImagePiece>> openAll(const QStringList &paths, Reporter &reporter, qint64 &heldBudget)
{
    QList<ImagePiece> pieces;
    for (const QString &path : paths) {
        std::optional<ImagePiece> piece = openRawPiece(path, reporter, heldBudget);
        if (!piece)
            return std::nullopt;
        pieces.append(*piece);
    }
    return pieces;
}

// A piece that would end the image past the largest image is refused before anything is read.
bool checkFitsImage(const ImagePiece &piece, qint64 offset, Reporter &reporter)
{
    if (offset + piece.size() <= LargestImageSize)
        return true;
    reporter.message(MessageKind::Critical, ReportTitle::error(),
                     AssemblyText::pastLargestImage(piece.sourcePath, offset, piece.size()));
    return false;
}

// Both pieces with the bytes they would take, so the user sees which two collide and where.
bool checkPair(const ImagePiece &first, qint64 firstOffset, const ImagePiece &second, qint64 secondOffset,
               Reporter &reporter)
{
    if (checkPieceOverlap(firstOffset, first.size(), secondOffset, second.size()))
        return true;
    reporter.message(MessageKind::Critical, ReportTitle::error(),
                     QStringLiteral("Некорректное смещение. Файл ") + first.sourcePath +
                         QStringLiteral(": ") + formatPieceRange(firstOffset, first.size()) +
                         QStringLiteral(". Файл ") + second.sourcePath + QStringLiteral(": ") +
                         formatPieceRange(secondOffset, second.size()));
    return false;
}

// Two pairs given one name would leave one image where two were asked for; file names compare
// without letter case, as on the target platform.
bool checkNamesDiffer(const QList<PlannedImage> &plan, const LoRaJob &job, Reporter &reporter)
{
    QHash<QString, int> firstWithName;
    for (int index = 0; index < plan.size(); ++index) {
        const PlannedImage &planned = plan.at(index);
        const QString key = planned.releaseBaseName.toCaseFolded();
        const auto earlier = firstWithName.constFind(key);
        if (earlier == firstWithName.cend()) {
            firstWithName.insert(key, index);
            continue;
        }
        const PlannedImage &other = plan.at(*earlier);
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         QStringLiteral("Одно имя %1.bin получают образы двух пар: %2 с %3 и %4 с %5. "
                                        "Измените шаблон имени.")
                             .arg(planned.releaseBaseName, job.loraMacPaths.at(other.loraMacIndex),
                                  job.appPaths.at(other.appIndex), job.loraMacPaths.at(planned.loraMacIndex),
                                  job.appPaths.at(planned.appIndex)));
        return false;
    }
    return true;
}

// The names the pieces' name fields hold, in order; nothing, with the reason reported, when the
// template takes words from the fields and one of them holds no name.
std::optional<QList<QByteArray>> readNameFields(const QList<ImagePiece> &pieces, qint64 offset, qint64 size,
                                                bool used, Reporter &reporter)
{
    QList<QByteArray> names;
    for (const ImagePiece &piece : pieces) {
        const QByteArray field = piece.fileBytes(offset, size);
        const QString problem = used ? nameFieldProblem(piece.sourcePath, offset, field, size) : QString();
        if (!problem.isEmpty()) {
            reporter.message(MessageKind::Critical, ReportTitle::error(), problem);
            return std::nullopt;
        }
        names.append(nameFieldText(field));
    }
    return names;
}

// One image per pair, named from its pair's fields; nothing, with the reason reported, when a name
// cannot be written into the output directory.
std::optional<QList<PlannedImage>> planImages(const LoRaJob &job, const QList<ImagePiece> &loraMacs,
                                              const QList<ImagePiece> &apps,
                                              const QList<QByteArray> &loraMacNames,
                                              const QList<QByteArray> &appNames, Reporter &reporter)
{
    QList<PlannedImage> plan;
    for (int l = 0; l < loraMacs.size(); ++l) {
        for (int a = 0; a < apps.size(); ++a) {
            const ReleaseNameFields fields = parseReleaseNameFields(loraMacNames.at(l), appNames.at(a));
            const QString name = fillReleaseTemplate(job.nameTemplate, fields);
            QString problem = outputFolderProblem(job.outputDir, name);
            if (!outputNameProblem(name).isEmpty())
                problem = QStringLiteral("Шаблон имени «%1» дает для %2 и %3 имя «%4», которое не может "
                                         "быть именем файла.")
                              .arg(job.nameTemplate, loraMacs.at(l).sourcePath, apps.at(a).sourcePath, name);
            if (!problem.isEmpty()) {
                reporter.message(MessageKind::Critical, ReportTitle::error(), problem);
                return std::nullopt;
            }
            plan.append({l, a, name, fields});
        }
    }
    return plan;
}

} // namespace

LoRaResult assembleLoRaImages(const LoRaJob &job, Reporter &reporter, JobRun &run)
{
    LoRaResult result;
    if (job.bootPath.isEmpty()) {
        warn(reporter, QStringLiteral("Нечего собирать: не найден файл бутлоадера."));
        return result;
    }
    if (job.loraMacPaths.isEmpty()) {
        warn(reporter, QStringLiteral("Нечего собирать: не выбран ни один файл LoRaMAC."));
        return result;
    }
    if (job.appPaths.isEmpty()) {
        warn(reporter, QStringLiteral("Нечего собирать: не выбран ни один файл основного приложения."));
        return result;
    }
    if (job.outputDir.isEmpty()) {
        warn(reporter, AssemblyText::noOutputDirectory());
        return result;
    }

    // Another name would be another file: the template has to be a file name itself.
    const QString templateProblem = outputNameProblem(job.nameTemplate);
    if (!templateProblem.isEmpty()) {
        reporter.message(MessageKind::Critical, ReportTitle::error(), templateProblem);
        return result;
    }

    // Only the sizes are taken now; the pieces are streamed into each image as it is written.
    qint64 heldBudget = LargestImageSize;
    const std::optional<ImagePiece> boot = openRawPiece(job.bootPath, reporter, heldBudget);
    if (!boot || !checkFitsImage(*boot, job.bootOffset, reporter))
        return result;
    const std::optional<QList<ImagePiece>> loraMacs = openAll(job.loraMacPaths, reporter, heldBudget);
    if (!loraMacs)
        return result;
    const std::optional<QList<ImagePiece>> apps = openAll(job.appPaths, reporter, heldBudget);
    if (!apps)
        return result;
    for (const ImagePiece &loraMac : *loraMacs) {
        if (!checkFitsImage(loraMac, job.loraMacOffset, reporter))
            return result;
    }
    for (const ImagePiece &app : *apps) {
        if (!checkFitsImage(app, job.appOffset, reporter))
            return result;
    }

    for (const ImagePiece &loraMac : *loraMacs) {
        if (!checkPair(*boot, job.bootOffset, loraMac, job.loraMacOffset, reporter))
            return result;
        for (const ImagePiece &app : *apps) {
            if (!checkPair(loraMac, job.loraMacOffset, app, job.appOffset, reporter) ||
                !checkPair(*boot, job.bootOffset, app, job.appOffset, reporter))
                return result;
        }
    }

    // Every name is read before anything is written: a field that holds no name would name an
    // image after whatever bytes lie there.
    const std::optional<QList<QByteArray>> loraMacNames =
        readNameFields(*loraMacs, job.regionFieldOffset, LoRaMacNameFieldSize,
                       templateUsesLoRaMacField(job.nameTemplate), reporter);
    if (!loraMacNames)
        return result;
    const std::optional<QList<QByteArray>> appNames =
        readNameFields(*apps, job.fwFieldOffset, FirmwareNameFieldSize,
                       templateUsesFirmwareField(job.nameTemplate), reporter);
    if (!appNames)
        return result;

    std::optional<QList<PlannedImage>> plan =
        planImages(job, *loraMacs, *apps, *loraMacNames, *appNames, reporter);
    if (!plan)
        return result;
    if (!checkNamesDiffer(*plan, job, reporter))
        return result;

    for (qsizetype index = 0; index < plan->size(); ++index) {
        const PlannedImage &planned = plan->at(index);
        run.setStage(int(index * JobRun::PerMille / plan->size()),
                     int((index + 1) * JobRun::PerMille / plan->size()));
        ImageBuilder image(reporter, run);
        image.setReleaseNames(planned.names);
        if (job.flash)
            image.setFlashSize(job.flash->size);
        image.placePiece(*boot, job.bootOffset);
        image.placePiece(loraMacs->at(planned.loraMacIndex), job.loraMacOffset);
        image.placePiece(apps->at(planned.appIndex), job.appOffset);
        const QString fileName = planned.releaseBaseName + QStringLiteral(".bin");
        if (!image.commit(job.outputDir, fileName))
            return result;
        result.images.append({imageFilePath(job.outputDir, fileName)});
    }

    result.succeeded = true;
    QString finished = AssemblyText::finished();
    // Which of several files went in is the user's to check, not the directory's to decide unseen.
    if (job.bootCandidates > 1)
        finished +=
            QStringLiteral("\nВ директории бутлоадера найдено файлов: %1; использован первый по имени: %2")
                .arg(job.bootCandidates)
                .arg(job.bootPath);
    reporter.message(MessageKind::Information, ReportTitle::complete(), finished);
    return result;
}
