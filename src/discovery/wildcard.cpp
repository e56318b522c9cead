#include "wildcard.h"

namespace {

bool sameCharacter(QChar patternCharacter, QChar nameCharacter)
{
    return patternCharacter == QLatin1Char('?') || patternCharacter == nameCharacter ||
           patternCharacter.toCaseFolded() == nameCharacter.toCaseFolded();
}

} // namespace

// Greedy with one step back: on a mismatch the last `*` takes one more character of the name and
// the rest of the pattern is tried again from there. Linear in practice, never exponential.
bool matchesWildcard(QStringView name, QStringView pattern)
{
    qsizetype at = 0;
    qsizetype next = 0;
    qsizetype star = -1;
    qsizetype starAt = 0;
    while (at < name.size()) {
        if (next < pattern.size() && pattern[next] == QLatin1Char('*')) {
            star = next++;
            starAt = at;
        } else if (next < pattern.size() && sameCharacter(pattern[next], name[at])) {
            ++next;
            ++at;
        } else if (star >= 0) {
            next = star + 1;
            at = ++starAt;
        } else {
            return false;
        }
    }
    while (next < pattern.size() && pattern[next] == QLatin1Char('*'))
        ++next;
    return next == pattern.size();
}
