#pragma once

#include <QByteArray>
#include <QString>

// The LoRaMAC image carries a 32-byte name field (version directly followed by region, e.g.
// "1.0.4RU864", NUL-padded); the application a 16-byte one (its firmware name, NUL-padded).
constexpr qint64 LoRaMacNameFieldSize = 32;
constexpr qint64 FirmwareNameFieldSize = 16;

struct ReleaseNameFields {
    QString version; // empty when the field holds no version
    QString region;
    QString firmware;
    bool hasVersion = false;
};

// Splits the raw name fields as they are read out of the images.
ReleaseNameFields parseReleaseNameFields(const QByteArray &loraMacField, const QByteArray &firmwareField);

// The name a field holds: its bytes up to the first NUL.
QByteArray nameFieldText(const QByteArray &field);

// What is wrong with a name field of `fieldSize` bytes read out of `path` at `offset`, naming the
// file, the offset and the bytes found; empty when the field holds a name. A field that starts past
// the end of its file, an erased one (all 0xFF or all 0x00), an empty name and one that is not
// printable text would give an image a name nobody gave it. A field cut short by the end of its file
// is judged by the bytes that are there, as the program always read it.
QString nameFieldProblem(const QString &path, qint64 offset, const QByteArray &field, qint64 fieldSize);

// Whether the template takes words from the LoRaMAC name field ("lora", "region") and from the
// firmware name field ("fw"), in any letter case.
bool templateUsesLoRaMacField(const QString &nameTemplate);
bool templateUsesFirmwareField(const QString &nameTemplate);

// Fills the template: "lora" becomes the version (when there is one), "region" the region, "fw" the
// firmware name (all three case-insensitive); "kimo " is dropped, blanks become "_", and whatever
// cannot stand in a file name on any system becomes "_" too, but for the folder separators the
// template itself holds.
QString fillReleaseTemplate(const QString &nameTemplate, const ReleaseNameFields &fields);

// Path separators, the characters Windows forbids in a file name (<>:"/\|?*) and control
// characters become "_", so that a name read out of an image always stays in its directory. With
// KeepFolders::Yes the separators stay: the name is a path below the output directory.
enum class KeepFolders { No, Yes };
QString sanitizeFileName(const QString &name, KeepFolders keepFolders = KeepFolders::No);
