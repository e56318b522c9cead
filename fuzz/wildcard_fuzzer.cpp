// libFuzzer target: the file-name wildcard match of the folder searches.
// - It never crashes nor takes more than linear-ish time, whatever the pattern.
// - On plain ASCII names and patterns it agrees with Qt's wildcard regular expression (the matcher
//   the file choosers use), letters of either case alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QRegularExpression>
#include <QString>

#include "wildcard.h"

namespace {

// What a file name can hold and the regular expression takes as plain wildcard: no folder
// separators, no character classes.
bool comparable(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == QLatin1Char('[') || c == QLatin1Char(']') ||
            c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first line is the pattern, the rest the name.
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf(QLatin1Char('\n'));
    if (split < 0)
        return 0;
    const QString pattern = input.left(split);
    const QString name = input.mid(split + 1);
    const bool matched = matchesWildcard(name, pattern);
    if (!comparable(pattern) || !comparable(name))
        return 0;
    // Runs of `*` are one `*`: the regular expression would give up backtracking through them.
    QString single = pattern;
    while (single.contains(QLatin1String("**")))
        single.replace(QLatin1String("**"), QLatin1String("*"));
    const QRegularExpression expected = QRegularExpression::fromWildcard(single, Qt::CaseInsensitive);
    if (expected.isValid() && expected.match(name).hasMatch() != matched)
        std::abort();
    return 0;
}
