#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class JobRun;

// How far one search of a source folder goes, so that a folder such as "/" or a slow network share
// cannot keep the window or a pipeline waiting. What lies beyond is left out, and the search says so.
struct SourceScanLimits {
    int depth = 16;              // folder levels below the chosen one
    qint64 entries = 100000;     // files and folders looked at
    qint64 milliseconds = 10000; // for the whole search, the Intel HEX check of the files included
};

// The files one search found, and what it had to say: files skipped, the search cut short.
struct SourceListing {
    QStringList files; // full paths in name order
    QStringList problems;
};

// Every file under the directory (recursively; links to folders, and hidden files and folders, not
// followed) whose name matches the one wildcard pattern, letter case aside, as full paths in name
// order: by file name, letter case aside and then minded, then by path. Only regular files (or links
// to one) are listed; a FIFO, a device, a socket or a link to one, or a link to nothing, is named in
// the problems without being opened. The search stops at the limits, or when the run is cancelled,
// keeping what it found so far. An empty directory path lists nothing.
SourceListing listSourceFiles(const QString &directory, const QString &nameFilter, JobRun &run,
                              const SourceScanLimits &limits = {});

// One file found for a LoRa source, and whether the LoRa tab takes it.
struct ScannedSourceFile {
    QString path;
    bool accepted = true;
};

struct SourceScan {
    QList<ScannedSourceFile> files;
    QStringList problems; // the listing's, then the Intel HEX files left out
};

// The files of one LoRa source directory as the LoRa tab takes them, in name order: under a
// ".hex" filter, files that are Intel HEX by content are named in the problems and left out (the
// tab takes raw images only). Progress goes to the run; the limits hold for the check of the files
// too.
SourceScan scanLoRaSource(const QString &directory, const QString &nameFilter, JobRun &run,
                          const SourceScanLimits &limits = {});

namespace SourceText {
// A scan's problems as the text of its one warning: the first 20, one a line, then how many more.
QString scanProblems(const QStringList &problems);
} // namespace SourceText
