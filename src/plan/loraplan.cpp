#include <QHash>

#include "assemblymessages.h"
#include "imageplan.h"
#include "jobrun.h"
#include "outputname.h"
#include "pairnames.h"
#include "pieceoverlap.h"
#include "planning.h"

using namespace Planning;

namespace {

// The pieces of a LoRa run as they were opened, by index into the plan; files that could not be
// opened are left out.
struct LoRaPieces {
    std::optional<int> boot;
    QList<int> loraMacs;
    QList<int> apps;
    QHash<int, QByteArray> nameFields; // each LoRaMAC and application file's name field, by piece
};

QString notRegularNote(const QString &path)
{
    return QStringLiteral("Файл %1 не показан на карте: это не обычный файл, его размер известен только "
                          "после чтения.")
        .arg(path);
}

// Records or an executable among the LoRa tab's sources: left out of the queue.
Problem leftOut(const ImagePiece &piece)
{
    return Problem::warning(AssemblyText::leftOut(piece.sourcePath, piece.format));
}

void checkSomethingToBuild(const LoRaJob &job, ImagePlan &plan)
{
    const struct {
        bool missing;
        QString text;
    } wanted[] = {
        {job.bootPath.isEmpty(), QStringLiteral("Нечего собирать: не найден файл бутлоадера.")},
        {job.loraMacPaths.isEmpty(), QStringLiteral("Нечего собирать: не выбран ни один файл LoRaMAC.")},
        {job.appPaths.isEmpty(),
         QStringLiteral("Нечего собирать: не выбран ни один файл основного приложения.")},
        {job.outputDir.isEmpty(), AssemblyText::noOutputDirectory()},
    };
    for (const auto &check : wanted) {
        if (check.missing)
            refuse(plan, Problem::warning(check.text));
    }
    // Another name would be another file: the template has to be a file name itself.
    const QString templateProblem = outputNameProblem(job.nameTemplate);
    if (!templateProblem.isEmpty())
        refuse(plan, Problem::error(templateProblem));
}

QList<int> openAll(const QStringList &paths, PieceOpener &opener)
{
    QList<int> opened;
    for (const QString &path : paths) {
        if (const std::optional<int> piece = opener.openRaw(path, leftOut))
            opened.append(*piece);
    }
    return opened;
}

// Opens every piece once; the sizes are checked before anything is read.
LoRaPieces openPieces(const LoRaJob &job, ImagePlan &plan, PlanPurpose purpose)
{
    PieceOpener opener(plan, purpose, notRegularNote);
    LoRaPieces pieces;
    if (!job.bootPath.isEmpty())
        pieces.boot = opener.openRaw(job.bootPath, leftOut);
    if (pieces.boot)
        checkFitsImage(plan, plan.pieces.at(*pieces.boot), job.bootOffset);
    pieces.loraMacs = openAll(job.loraMacPaths, opener);
    pieces.apps = openAll(job.appPaths, opener);
    for (const int loraMac : std::as_const(pieces.loraMacs))
        checkFitsImage(plan, plan.pieces.at(loraMac), job.loraMacOffset);
    for (const int app : std::as_const(pieces.apps))
        checkFitsImage(plan, plan.pieces.at(app), job.appOffset);
    return pieces;
}

// Both pieces with the bytes they would take, so the user sees which two collide and where.
void checkPair(ImagePlan &plan, std::optional<int> first, qint64 firstOffset, int second, qint64 secondOffset)
{
    if (!first)
        return;
    const ImagePiece &a = plan.pieces.at(*first);
    const ImagePiece &b = plan.pieces.at(second);
    if (checkPieceOverlap(firstOffset, a.size(), secondOffset, b.size()))
        return;
    refuse(plan,
           Problem::error(AssemblyText::loraOverlap(a.sourcePath, formatPieceRange(firstOffset, a.size()),
                                                    b.sourcePath, formatPieceRange(secondOffset, b.size()))));
}

// Every pair's layout: the bootloader against the LoRaMAC image, then against each application the
// LoRaMAC image and the bootloader.
void checkOverlaps(const LoRaJob &job, ImagePlan &plan, const LoRaPieces &pieces)
{
    for (const int loraMac : pieces.loraMacs) {
        checkPair(plan, pieces.boot, job.bootOffset, loraMac, job.loraMacOffset);
        for (const int app : pieces.apps) {
            checkPair(plan, loraMac, job.loraMacOffset, app, job.appOffset);
            checkPair(plan, pieces.boot, job.bootOffset, app, job.appOffset);
        }
    }
}

// Reads every name field; when the template takes words from the fields, one that holds no name
// would name an image after whatever bytes lie there.
void readNameFields(ImagePlan &plan, LoRaPieces &pieces, const QList<int> &from, qint64 offset, qint64 size,
                    bool used)
{
    for (const int index : from) {
        const ImagePiece &piece = plan.pieces.at(index);
        const QByteArray field = piece.fileBytes(offset, size);
        const QString problem = used ? nameFieldProblem(piece.sourcePath, offset, field, size) : QString();
        if (!problem.isEmpty())
            refuse(plan, Problem::error(problem));
        pieces.nameFields.insert(index, field);
    }
}

void addNameField(PlannedImage &image, NameFieldPlacement::Field field, qint64 pieceOffset,
                  qint64 fieldOffset, qint64 fieldSize, const QByteArray &bytes)
{
    const quint64 start = quint64(pieceOffset + fieldOffset);
    image.nameFields.append({field, int(image.pieces.size() - 1), start, start + quint64(fieldSize), bytes});
}

// The image's name, from its pair's fields; a name that cannot be a file in the output directory
// stops the build.
void nameImage(const LoRaJob &job, ImagePlan &plan, PlannedImage &image)
{
    const ImagePiece &loraMac = plan.piece(image, image.pieces.size() - 2);
    const ImagePiece &app = plan.piece(image, image.pieces.size() - 1);
    const PairNames names = namePair(job, loraMac, app);
    image.names = names.fields;
    image.fileName = names.baseName + QStringLiteral(".bin");
    image.title = image.fileName;
    QString problem = outputFolderProblem(job.outputDir, names.baseName);
    if (!outputNameProblem(names.baseName).isEmpty())
        problem = QStringLiteral("Шаблон имени «%1» дает для %2 и %3 имя «%4», которое не может быть именем "
                                 "файла.")
                      .arg(job.nameTemplate, loraMac.sourcePath, app.sourcePath, names.baseName);
    if (!problem.isEmpty())
        refuse(plan, Problem::error(problem));
}

// The image of one (LoRaMAC, application) pair; while either is missing, what the others show.
PlannedImage pairImage(const LoRaJob &job, ImagePlan &plan, const LoRaPieces &pieces,
                       std::optional<int> loraMac, std::optional<int> app)
{
    PlannedImage image;
    image.title = QStringLiteral("образ LoRa");
    if (pieces.boot)
        placeWhole(plan, image, *pieces.boot, job.bootOffset);
    if (loraMac) {
        placeWhole(plan, image, *loraMac, job.loraMacOffset);
        addNameField(image, NameFieldPlacement::Field::LoRaMac, job.loraMacOffset, job.regionFieldOffset,
                     LoRaMacNameFieldSize, pieces.nameFields.value(*loraMac));
    }
    if (app) {
        placeWhole(plan, image, *app, job.appOffset);
        addNameField(image, NameFieldPlacement::Field::Firmware, job.appOffset, job.fwFieldOffset,
                     FirmwareNameFieldSize, pieces.nameFields.value(*app));
    }
    if (loraMac && app)
        nameImage(job, plan, image);
    finishFlatImage(image);
    return image;
}

// One image per pair, in the order of the LoRaMAC files, then of the applications. While one kind
// of source is missing the others are planned all the same: the map grows as the tab is filled in.
void planPairs(const LoRaJob &job, ImagePlan &plan, const LoRaPieces &pieces)
{
    const auto orNone = [](const QList<int> &list) {
        QList<std::optional<int>> items(list.cbegin(), list.cend());
        if (items.isEmpty())
            items.append(std::nullopt);
        return items;
    };
    for (const std::optional<int> &loraMac : orNone(pieces.loraMacs)) {
        for (const std::optional<int> &app : orNone(pieces.apps)) {
            PlannedImage image = pairImage(job, plan, pieces, loraMac, app);
            if (!image.pieces.isEmpty())
                plan.images.append(std::move(image));
        }
    }
}

// Two pairs given one name would leave one image where two were asked for; file names compare
// without letter case, as on the target platform.
void checkNamesDiffer(ImagePlan &plan)
{
    QHash<QString, int> firstWithName;
    for (int index = 0; index < plan.images.size(); ++index) {
        const PlannedImage &image = plan.images.at(index);
        if (image.fileName.isEmpty())
            continue;
        const auto earlier = firstWithName.constFind(image.fileName.toCaseFolded());
        if (earlier == firstWithName.cend()) {
            firstWithName.insert(image.fileName.toCaseFolded(), index);
            continue;
        }
        const PlannedImage &other = plan.images.at(*earlier);
        const auto path = [&plan](const PlannedImage &of, int last) {
            return plan.piece(of, of.pieces.size() - last).sourcePath;
        };
        refuse(plan, Problem::error(QStringLiteral("Одно имя %1 получают образы двух пар: %2 с %3 и %4 с %5. "
                                                   "Измените шаблон имени.")
                                        .arg(image.fileName, path(other, 2), path(other, 1), path(image, 2),
                                             path(image, 1))));
        return;
    }
}

QString finishedText(const LoRaJob &job)
{
    QString finished = AssemblyText::finished();
    // Which of several files went in is the user's to check, not the directory's to decide unseen.
    if (job.bootCandidates > 1)
        finished +=
            QStringLiteral("\nВ директории бутлоадера найдено файлов: %1; использован первый по имени: %2")
                .arg(job.bootCandidates)
                .arg(job.bootPath);
    return finished;
}

} // namespace

ImagePlan planImages(const LoRaJob &job, JobRun &run, PlanPurpose purpose)
{
    Q_UNUSED(run);
    ImagePlan plan;
    plan.kind = ImagePlan::Kind::LoRa;
    plan.outputDir = job.outputDir;
    plan.flash = job.flash;
    if (plan.flash)
        plan.flash->base = 0; // a flat image starts at the flash's first byte
    plan.finishedText = finishedText(job);
    checkSomethingToBuild(job, plan);
    LoRaPieces pieces = openPieces(job, plan, purpose);
    checkOverlaps(job, plan, pieces);
    readNameFields(plan, pieces, pieces.loraMacs, job.regionFieldOffset, LoRaMacNameFieldSize,
                   templateUsesLoRaMacField(job.nameTemplate));
    readNameFields(plan, pieces, pieces.apps, job.fwFieldOffset, FirmwareNameFieldSize,
                   templateUsesFirmwareField(job.nameTemplate));
    planPairs(job, plan, pieces);
    checkNamesDiffer(plan);
    return plan;
}
