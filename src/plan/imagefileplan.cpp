#include "imageloader.h"
#include "imageplan.h"
#include "planning.h"

using namespace Planning;

namespace {

// A binary is one piece from its first byte; a file with addresses holds its data ranges.
PlannedImage wholeFileImage(const QString &path, const LoadedImage &loaded, bool addressed)
{
    PlannedImage image;
    image.title = path;
    image.pieces = {0};
    if (!addressed) {
        image.placements.append({0, 0, quint64(loaded.fileSize)});
        finishFlatImage(image);
        return image;
    }
    for (const auto &[start, end] : loaded.image.spans())
        image.placements.append({0, start, end});
    image.start = loaded.image.lowestAddress();
    image.end = loaded.image.endAddress();
    image.coverage = coverageOf(image.placements, image.start, image.end);
    return image;
}

} // namespace

ImagePlan planImageFile(const QString &path, std::optional<quint64> flashSize, quint64 flashBase)
{
    ImagePlan plan;
    plan.kind = ImagePlan::Kind::ImageFile;
    // Read as "quillon-cli info" reads it, so the two name the same ranges.
    const LoadedImage loaded = loadImageFile(path);
    if (!loaded.ok()) {
        refuse(plan, Problem::error(loaded.errorText), true);
        return plan;
    }
    plan.addressed = loaded.format != InputFormat::Binary && loaded.format != InputFormat::Empty;
    if (flashSize)
        plan.flash = FlashTarget{plan.addressed ? flashBase : 0, *flashSize};
    ImagePiece file;
    file.sourcePath = path;
    file.format = loaded.format;
    file.fileSize = loaded.fileSize;
    plan.pieces.append(file);
    plan.images.append(wholeFileImage(path, loaded, plan.addressed));
    return plan;
}
