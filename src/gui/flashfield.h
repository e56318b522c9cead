#pragma once

#include <QString>

#include "settingskeys.h"

// How the window names the flash fields in its messages: as the map window labels them.
inline QString flashFieldName(const QString &key)
{
    return key == SettingsKeys::intelHexFlashBase() ? QStringLiteral("Начало флеш-памяти")
                                                    : QStringLiteral("Размер флеш-памяти");
}
