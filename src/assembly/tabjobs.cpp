#include "assembly/tabjobs.h"

#include "assembly/offsetparser.h"
#include "settings/settingskeys.h"

namespace {

// Parses one offset field into `offset`; on failure records the field in `made` and returns false.
template <typename Job>
bool readOffset(JobFromSettings<Job> &made, const QString &key, const QString &text, qint64 &offset)
{
    const std::optional<qint64> value = parseOffset(text);
    if (!value) {
        made.invalidOffset = InvalidOffset{key, text};
        return false;
    }
    offset = *value;
    return true;
}

} // namespace

JobFromSettings<LoRaJob> loraJobFrom(const LoRaSettings &settings, const LoRaSourceFiles &found)
{
    using namespace SettingsKeys;
    JobFromSettings<LoRaJob> made;
    LoRaJob &job = made.job;
    const struct {
        QString key;
        const QString &text;
        qint64 &offset;
    } offsets[] = {
        {loraOffsetWrtBoot(), settings.offsetWrtBoot, job.bootOffset},
        {loraOffsetWrtFmwLora(), settings.offsetWrtFmwLora, job.loraMacOffset},
        {loraOffsetWrtFmw(), settings.offsetWrtFmw, job.appOffset},
        {loraOffsetSrchNameLora(), settings.offsetSrchNameLora, job.regionFieldOffset},
        {loraOffsetSrchNameFmw(), settings.offsetSrchNameFmw, job.fwFieldOffset},
    };
    for (const auto &field : offsets) {
        if (!readOffset(made, field.key, field.text, field.offset))
            return made;
    }
    job.bootPath = found.boot.value(0);
    job.bootCandidates = int(found.boot.size());
    job.loraMacPaths = found.loraMacs;
    job.appPaths = found.apps;
    job.outputDir = settings.pathToRelease;
    job.nameTemplate = settings.templateName;
    return made;
}

JobFromSettings<BinaryJob> binaryJobFrom(const BinarySettings &settings)
{
    JobFromSettings<BinaryJob> made;
    BinaryJob &job = made.job;
    job.sequential = settings.sequential;
    for (int slot = 0; slot < int(settings.pathFile.size()); ++slot) {
        BinarySlot file;
        file.enabled = settings.enabled[slot];
        file.path = settings.pathFile[slot];
        // Offsets of pieces that take no part, or that follow one another, are never read.
        if (file.enabled && !job.sequential &&
            !readOffset(made, SettingsKeys::binaryOffsetFile(slot), settings.offsetFile[slot], file.offset))
            return made;
        job.files.append(file);
    }
    job.outputDir = settings.pathRelease;
    job.fileName =
        settings.templateName + (settings.hexOutput ? QStringLiteral(".hex") : QStringLiteral(".bin"));
    // A ".hex" file holds Intel HEX, never raw bytes under that name.
    job.format = settings.hexOutput ? ImageFormat::IntelHex : ImageFormat::RawBinary;
    return made;
}

IntelHexJoinJob intelHexJobFrom(const IntelHexSettings &settings)
{
    IntelHexJoinJob job;
    const std::array<QString, 6> sources = settings.sourcesInOrder();
    for (size_t slot = 0; slot < sources.size(); ++slot) {
        if (settings.enabled[slot])
            job.sources << sources[slot];
    }
    job.outputDir = settings.pathRelease;
    job.fileName = settings.templateName + QStringLiteral(".hex");
    return job;
}
