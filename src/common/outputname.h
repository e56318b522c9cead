#pragma once

#include <QString>

// An output name typed by the user (the name template of a tab, --name) names a file in the
// chosen output directory, never a path: a name that is empty, "." or "..", or that holds "/",
// "\" or a control character, would write somewhere else or nowhere and is refused.
// Returns what is wrong with the name in words, or an empty string when it is a file name.
QString outputNameProblem(const QString &name);

// The same check on an output file name with its extension (".bin", ".hex") already added: the
// part before the last dot is the name the user typed.
QString outputFileNameProblem(const QString &fileName);
