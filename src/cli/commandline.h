#pragma once

#include <functional>
#include <limits>
#include <optional>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QPair>
#include <QString>

#include "settingsfile.h"

class JobRun;
class Reporter;
struct ImagePlan;
struct InvalidOffset;

// "Сборка" of a tab's job, as the window runs it: plans it with `plan`, refuses when an image would
// not fit the flash chosen for it, builds it; what goes wrong goes to `reporter`, and on success
// "Сборка завершена" too and each image's path to standard output. The run shows its progress on a
// terminal, and an interrupt cancels it. The exit code.
int planAndBuildImages(const std::function<ImagePlan(JobRun &)> &plan, Reporter &reporter);

// The hexadecimal number an option was given (HexNumber's rule, at most `largest`) into `value`;
// false when it is given and is no such number, true when it is not given.
bool readHexOption(const QCommandLineParser &parser, const QCommandLineOption &option, quint64 &value,
                   quint64 largest = std::numeric_limits<quint64>::max());
// What every command says when readHexOption refuses an option's value.
QString notHexadecimalText(const QCommandLineParser &parser, const QCommandLineOption &option);

// An address range given as "--range START END" (hexadecimal; END is the first address past the
// range), taken out of `arguments` before the parser sees them, as the parser takes one value per
// option. Nothing when the option is not given; `error` is set when it is given badly.
std::optional<QPair<quint64, quint64>> takeRangeOption(QStringList &arguments, QString *error);

// The option handling every quillon-cli job shares: "--help" prints the job's help on standard
// output; a parse error or a usage problem is said on standard error with the way to the help,
// and gives the usage exit code.
class CommandLine {
public:
    // job: the command's word, e.g. "lora"; description: the help's first paragraph.
    CommandLine(const QString &job, const QString &description);

    QCommandLineParser &parser() { return m_parser; }

    // No value: go on with the job. A value: the exit code to return at once (the help was shown,
    // or the arguments were wrong and that was said).
    std::optional<int> parse(const QStringList &arguments);
    // The same for a job with a "--range START END" option (declared by the job for its help): the
    // range is taken out first and set in `range` (none when not given).
    std::optional<int> parseWithRange(QStringList arguments, std::optional<QPair<quint64, quint64>> *range);
    // Says what is wrong with the arguments; returns the usage exit code.
    int usageError(const QString &text) const;
    QString helpText() const;

    // What a job starts from before its options are applied: the window's defaults, or the settings
    // file that `settingsOption` names. No value after a usage error (already said).
    template <typename TabSettings>
    std::optional<TabSettings> startingSettings(const QCommandLineOption &settingsOption) const
    {
        if (!m_parser.isSet(settingsOption))
            return TabSettings::defaults();
        return loadSettings<TabSettings>(m_parser.value(settingsOption));
    }

    // How a field read from a settings file is named in a message: "<group>/<key> (<file>)".
    static QString savedField(const QString &group, const QString &key, const QString &settingsPath);
    // The usage error for a field of a settings file whose text is no number; its exit code.
    int invalidSavedField(const InvalidOffset &invalid, const QString &settingsPath) const;

    // --flash-size SIZE and --flash-base HEX: the flash the image is meant for.
    static QCommandLineOption flashSizeOption();
    static QCommandLineOption flashBaseOption();
    // The option's value, when given, into `text` as the settings files keep it. False after a
    // usage error (already said).
    bool readFlashSize(const QCommandLineOption &option, QString &text) const;
    bool readFlashBase(const QCommandLineOption &option, QString &text) const;

private:
    // One tab's settings from a saved template or a config.conf named on the command line. A file
    // that is missing or not valid INI is said as a usage error and gives no value: a pipeline
    // must not go on with half a template.
    template <typename TabSettings> std::optional<TabSettings> loadSettings(const QString &path) const
    {
        if (!QFileInfo(path).isFile()) {
            usageError(QStringLiteral("cannot read the settings file \"%1\"").arg(path));
            return std::nullopt;
        }
        SettingsFile::Reader reader(path);
        if (!reader.wellFormed()) {
            usageError(QStringLiteral("\"%1\" is not a valid settings file").arg(path));
            return std::nullopt;
        }
        return TabSettings::load(reader.store());
    }

    QString m_command; // "quillon-cli <job>"
    QCommandLineParser m_parser;
};
