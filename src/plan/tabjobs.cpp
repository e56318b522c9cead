#include "tabjobs.h"

#include "offsetparser.h"
#include "settingskeys.h"

bool InvalidOffset::isFlashField() const
{
    return group == SettingsKeys::flashGroup();
}

QString InvalidOffset::message(const QString &fieldName) const
{
    if (!isFlashField())
        return invalidOffsetMessage(fieldName, text);
    if (key == SettingsKeys::intelHexFlashBase())
        return QStringLiteral("Некорректный адрес начала флеш-памяти в поле \"%1\": \"%2\". Ожидается "
                              "шестнадцатеричный адрес до FFFFFFFF, например 0x08000000.")
            .arg(fieldName, text);
    return QStringLiteral("Некорректный размер флеш-памяти в поле \"%1\": \"%2\". Ожидается "
                          "шестнадцатеричное число байт (40000 или 0x40000) или размер в KiB или MiB "
                          "(256 KiB, 1 MiB).")
        .arg(fieldName, text);
}

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

// The flash of a tab: none while no size is chosen. Images laid out by offsets count from the flash's
// first byte (base 0); those that carry addresses give `baseKey` and its text.
template <typename Job>
bool readFlash(JobFromSettings<Job> &made, const QString &sizeKey, const QString &sizeText,
               const QString &baseKey = QString(), const QString &baseText = QString())
{
    const QString flashGroup = SettingsKeys::flashGroup();
    if (sizeText.isEmpty())
        return true;
    const std::optional<quint64> size = FlashSize::parse(sizeText);
    if (!size) {
        made.invalidOffset = InvalidOffset{sizeKey, sizeText, flashGroup};
        return false;
    }
    FlashTarget flash{0, *size};
    if (!baseKey.isEmpty()) {
        const std::optional<quint64> base = FlashBase::parse(baseText);
        if (!base || *base + *size > AddressSpaceEnd) {
            made.invalidOffset = InvalidOffset{baseKey, baseText, flashGroup};
            return false;
        }
        flash.base = *base;
    }
    made.job.flash = flash;
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
    readFlash(made, SettingsKeys::loraFlashSize(), settings.flashSize);
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
    readFlash(made, SettingsKeys::binaryFlashSize(), settings.flashSize);
    return made;
}

JobFromSettings<IntelHexJoinJob> intelHexJobFrom(const IntelHexSettings &settings)
{
    JobFromSettings<IntelHexJoinJob> made;
    IntelHexJoinJob &job = made.job;
    const std::array<QString, 6> sources = settings.sourcesInOrder();
    for (size_t slot = 0; slot < sources.size(); ++slot) {
        if (settings.enabled[slot])
            job.sources << sources[slot];
    }
    job.outputDir = settings.pathRelease;
    job.fileName = settings.templateName + QStringLiteral(".hex");
    readFlash(made, SettingsKeys::intelHexFlashSize(), settings.flashSize, SettingsKeys::intelHexFlashBase(),
              settings.flashBase);
    return made;
}
