#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QSettings;

enum class TemplateKind { LoRa, Binary, IntelHex };

// The named templates of the three tabs: INI files "<name><extension>" in the folder
// "Templates Setting/" under a base directory (the working directory in the program).
class TemplateStore {
public:
    explicit TemplateStore(const QString &baseDirectory);

    static QString extension(TemplateKind kind);
    // Why a typed name cannot be used, or an empty text when it can. A name is used as typed,
    // but it must name a file inside the folder.
    static QString nameProblem(const QString &name);
    // The name to show for a listed file: the file name without the extension at its end.
    static QString nameOf(const QString &fileName, TemplateKind kind);

    QString folder() const;
    // The file names (with extension) of one kind, sorted by name.
    QStringList list(TemplateKind kind) const;
    QString pathOf(const QString &fileName) const;
    // Writes the template `name` of `kind` through `write`, creating the folder when needed; an
    // existing template of that name keeps the keys `write` does not touch. On failure the old
    // file is left as it was.
    bool save(const QString &name, TemplateKind kind, const std::function<void(QSettings &)> &write) const;
    bool exists(const QString &name, TemplateKind kind) const;
    // Deletes the listed file `fileName`.
    bool remove(const QString &fileName) const;
    // Gives the listed file `fileName` the template name `newName` in one step; refuses a name
    // nameProblem() refuses and never replaces another template.
    bool rename(const QString &fileName, const QString &newName, TemplateKind kind) const;

    // Removes the temporaries of templates that a killed window left in the folder.
    void removeStaleTemporaries() const;

private:
    QString m_base;
};
