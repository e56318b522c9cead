#include "savefile.h"

#include <QSaveFile>

bool commitSaveFile(QSaveFile &file)
{
    if (!file.flush()) {
        file.cancelWriting(); // the temporary file goes with the QSaveFile
        return false;
    }
    return file.commit();
}
