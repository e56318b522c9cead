#pragma once

#include <QString>

// An output name typed by the user (the name template of a tab, --name) names a file in the chosen
// output directory, or in a folder below it that exists already ("2024/img"): a name that is empty,
// that names "." or "..", that starts at a root or a drive ("/img", "C:img", "\\server"), or that
// holds a control character, would write somewhere else or nowhere and is refused.
// Returns what is wrong with the name in words, or an empty string when it can be written.
QString outputNameProblem(const QString &name);

// What every job says when no output name was given.
QString missingOutputNameText();

// The same check on an output file name with its extension (".bin", ".hex") already added: the
// part before the last dot is the name the user typed.
QString outputFileNameProblem(const QString &fileName);

// The output name as a path below the output directory: "\" divides folders as "/" does, on every
// system, so that a template saved on Windows names the same folder elsewhere.
QString outputPathBelow(const QString &outputDir, const QString &fileName);

// Why an output named so cannot be written into the directory: the folder it names inside the
// directory does not exist. Empty for a plain file name and for a folder that is there.
QString outputFolderProblem(const QString &outputDir, const QString &fileName);
