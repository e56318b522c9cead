#pragma once

#include <optional>

#include <QString>

#include "problem.h"

struct ImageDigest;

// Whether the release manifest beside an image was written for the image as it is now. An image put
// in place without its manifest (a kill between the two), a copy of one without the other, or an
// image changed by hand leave them apart.
struct ManifestCheck {
    enum class Verdict { Matches, Differs, Unreadable };

    QString path; // of the manifest
    Verdict verdict = Verdict::Matches;
    QString reason; // why it does not match, or why it could not be judged, in words

    // "manifest: PATH (matches)", "(does not match this image)" or "(cannot be read)".
    QString line() const;
    // The warning a manifest that does not match or cannot be read gives.
    std::optional<Problem> problem() const;
};

// Nothing when the image has no manifest. `fileDigest` is the image file's own size and SHA-256 when
// they are known already; otherwise the file is read for them.
std::optional<ManifestCheck> checkReleaseManifest(const QString &imagePath,
                                                  const std::optional<ImageDigest> &fileDigest);
