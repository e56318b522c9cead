#include "imageplan.h"
#include "imagescan.h"
#include "planning.h"

using namespace Planning;

namespace {

// A binary is one piece from its first byte; a file with addresses holds its data ranges.
PlannedImage wholeFileImage(const QString &path, const ImageScan &scan, bool addressed)
{
    PlannedImage image;
    image.title = path;
    image.pieces = {0};
    if (!addressed) {
        image.placements.append({0, 0, quint64(scan.fileSize)});
        finishFlatImage(image);
        return image;
    }
    for (const auto &[start, end] : scan.ranges)
        image.placements.append({0, start, end});
    image.start = scan.ranges.isEmpty() ? 0 : scan.ranges.first().first;
    image.end = scan.ranges.isEmpty() ? 0 : scan.ranges.last().second;
    image.coverage = coverageOf(image.placements, image.start, image.end);
    return image;
}

} // namespace

ImagePlan planImageFile(const QString &path, std::optional<quint64> flashSize, quint64 flashBase)
{
    ImagePlan plan;
    plan.kind = ImagePlan::Kind::ImageFile;
    // Read as "quillon-cli info" reads it, so the two name the same ranges; the data is not needed.
    const ImageScan scan = scanImageFile(path);
    if (!scan.ok()) {
        refuse(plan, Problem::error(scan.errorText), true);
        return plan;
    }
    plan.addressed = scan.format != InputFormat::Binary && scan.format != InputFormat::Empty;
    if (flashSize)
        plan.flash = FlashTarget{plan.addressed ? flashBase : 0, *flashSize};
    ImagePiece file;
    file.sourcePath = path;
    file.format = scan.format;
    file.fileSize = scan.fileSize;
    plan.pieces.append(file);
    plan.images.append(wholeFileImage(path, scan, plan.addressed));
    return plan;
}
