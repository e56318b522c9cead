#pragma once

#include <QStringView>

// Whether a file name matches a wildcard pattern as the file choosers take it: `*` stands for any
// run of characters, `?` for one, everything else for itself, letters of either case alike.
//
// Folder searches run on worker threads, where no regular expression is matched: in the Windows
// build a regular expression's per-thread state keeps the program from ending once a worker that
// matched one has finished.
bool matchesWildcard(QStringView name, QStringView pattern);
