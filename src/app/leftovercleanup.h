#pragma once

#include <QString>

// Finishes an update left by the previous run, in the executable's folder, touching only files
// recognisably the program's:
// - the clean-up script, recognised by its first line, and the moved-aside old executable, removed
//   only while its content is still the one the script records;
// - the clean-up script and old executable of versions before them ("delete.sh"/"delete.bat" and
//   "Old"): the script only when it is exactly the text such a version wrote for this folder, and
//   "Old" then only when it is an executable;
// - a downloaded build that was never installed.
// Anything else of those names is left alone. Returns whether an old executable was removed.
bool finishLeftoverUpdate(const QString &executableDirectory, int timeoutMs = 5000);
