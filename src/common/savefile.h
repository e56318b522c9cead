#pragma once

class QSaveFile;

// Renames a QSaveFile's temporary file into place only when all of its data reached the disk.
// QSaveFile::commit() (Qt 6.4) still renames when the data left in its buffer cannot be written,
// as on a full disk, which would replace a good file with a truncated one: flush first and cancel
// on failure. False leaves the target as it was.
bool commitSaveFile(QSaveFile &file);
