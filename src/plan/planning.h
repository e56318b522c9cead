#pragma once

#include <optional>

#include <QString>

#include "imagelimits.h"
#include "imageplan.h"

// What the planners of the three tabs share: opening pieces into a plan, keeping verdicts, and
// working out an image's extent and coverage once its pieces are placed.
namespace Planning {

// Keeps a verdict that stops a build; one `aboutPiece` is listed by the map too.
void refuse(ImagePlan &plan, Problem problem, bool aboutPiece = false);
// Keeps a warning a build says and goes on past.
void warn(ImagePlan &plan, Problem problem);

// Opens sources into a plan, each once, with one budget for the inputs held in memory.
class PieceOpener {
public:
    // `lookNote` is what the map says of a source left out because looking would use it up.
    PieceOpener(ImagePlan &plan, PlanPurpose purpose, QString (*lookNote)(const QString &path))
        : m_plan(plan), m_purpose(purpose), m_lookNote(lookNote)
    {}

    // The piece's index in the plan; none, with the reason kept, when it cannot be opened.
    std::optional<int> open(const QString &path);
    // The same for a piece of a flat image, which has to be a raw image that holds bytes: one that
    // is not is kept in the plan (the map shows it by its size) with a verdict, for records or an
    // executable in the words `wrongFormat` gives.
    using WrongFormat = Problem (*)(const ImagePiece &piece);
    std::optional<int> openRaw(const QString &path, WrongFormat wrongFormat);

private:
    ImagePlan &m_plan;
    PlanPurpose m_purpose;
    QString (*m_lookNote)(const QString &path);
    qint64 m_heldBudget = LargestImageSize;
};

// Whether a piece placed at `offset` ends within the largest image; when not, keeps the verdict.
bool checkFitsImage(ImagePlan &plan, const ImagePiece &piece, qint64 offset);

// Places a whole piece of the plan in a flat image.
void placeWhole(ImagePlan &plan, PlannedImage &image, int piece, qint64 offset);
// A flat image runs from 0 to the end of its last piece; sets that and its gaps and overlaps.
void finishFlatImage(PlannedImage &image);

// The gaps and overlaps of the placements from `start` to `end`, in one sweep over their edges.
QList<CoverageSpan> coverageOf(const QList<PiecePlacement> &placements, quint64 start, quint64 end);

} // namespace Planning
