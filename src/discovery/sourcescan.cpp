#include "sourcescan.h"

#include <algorithm>
#include <optional>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>

#include "jobrun.h"
#include "sourcefiles.h"
#include "wildcard.h"

namespace {

constexpr int ListedProblems = 20;

namespace Text {

QString notRegular(const QString &path)
{
    return QStringLiteral("Файл ") + path +
           QStringLiteral(" не является обычным файлом (канал, устройство или ссылка на них) и не будет "
                          "добавлен в очередь.");
}

QString linkToNothing(const QString &path)
{
    return QStringLiteral("Файл ") + path +
           QStringLiteral(" является ссылкой на несуществующий файл и не будет добавлен в очередь.");
}

QString tooDeep(const QString &directory, int depth)
{
    return QStringLiteral("Поиск в %1: папки глубже %2 уровней не просмотрены.").arg(directory).arg(depth);
}

QString tooMany(const QString &directory, qint64 entries)
{
    return QStringLiteral("Поиск в %1 остановлен: просмотрено %2 файлов и папок, список неполон.")
        .arg(directory)
        .arg(entries);
}

QString tooLong(const QString &directory, qint64 milliseconds)
{
    return QStringLiteral("Поиск в %1 остановлен: он шёл дольше %2 с, список неполон.")
        .arg(directory)
        .arg(milliseconds / 1000.0);
}

QString cancelled(const QString &directory)
{
    return QStringLiteral("Поиск в %1 отменён, список неполон.").arg(directory);
}

} // namespace Text

// By file name, letter case aside first (so that Windows and Linux agree), then by the folder for
// files of one name: the directory's own order differs between file systems, and the first file is
// the bootloader taken.
bool inNameOrder(const QString &a, const QString &b)
{
    const auto fileName = [](const QString &path) {
        return QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    };
    for (const Qt::CaseSensitivity cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
        if (const int order = fileName(a).compare(fileName(b), cs))
            return order < 0;
    }
    return a < b;
}

// Keeps the time and the count of one search and tells when it has to stop.
class ScanBudget {
public:
    ScanBudget(const QString &directory, const SourceScanLimits &limits, JobRun &run)
        : m_directory(directory), m_limits(limits), m_run(run)
    {
        m_clock.start();
    }

    // Counts one entry looked at; false once the search has to stop.
    bool take()
    {
        ++m_entries;
        m_run.setProgress(m_entries, 0);
        if (m_entries > m_limits.entries && !m_stop)
            m_stop = Text::tooMany(m_directory, m_limits.entries);
        return goesOn();
    }
    bool goesOn()
    {
        if (m_stop)
            return false;
        if (m_run.isCancelled())
            m_stop = Text::cancelled(m_directory);
        else if (m_clock.elapsed() >= m_limits.milliseconds)
            m_stop = Text::tooLong(m_directory, m_limits.milliseconds);
        return !m_stop;
    }
    std::optional<QString> stopReason() const { return m_stop; }

private:
    QString m_directory;
    SourceScanLimits m_limits;
    JobRun &m_run;
    QElapsedTimer m_clock;
    qint64 m_entries = 0;
    std::optional<QString> m_stop;
};

// Walks the folder tree depth first, without following links to folders (nor Windows junctions,
// which can lead back up the tree).
class FolderWalk {
public:
    FolderWalk(const QString &nameFilter, int maxDepth, ScanBudget &budget)
        : m_pattern(nameFilter), m_maxDepth(maxDepth), m_budget(budget)
    {}

    void walk(const QString &directory)
    {
        QList<QPair<QString, int>> folders{{directory, 0}};
        while (!folders.isEmpty() && m_budget.goesOn()) {
            const auto [folder, depth] = folders.takeLast();
            QDirIterator it(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
            while (it.hasNext() && m_budget.take()) {
                it.next();
                const QFileInfo entry = it.fileInfo();
                if (entry.isDir() && !entry.isSymLink() && !entry.isJunction())
                    enter(folders, entry.filePath(), depth + 1);
                else if (!entry.isDir() && matchesWildcard(entry.fileName(), m_pattern))
                    take(entry);
            }
        }
    }

    QStringList files() const { return m_files; }
    // Files skipped (path, why), in the order met.
    QList<QPair<QString, QString>> skipped() const { return m_skipped; }
    bool wentTooDeep() const { return m_tooDeep; }

private:
    void enter(QList<QPair<QString, int>> &folders, const QString &folder, int depth)
    {
        if (depth > m_maxDepth)
            m_tooDeep = true;
        else
            folders.append({folder, depth});
    }
    void take(const QFileInfo &entry)
    {
        // Told apart by the file's status alone: a FIFO is never opened, a device never read.
        if (entry.isFile())
            m_files.append(entry.filePath());
        else if (entry.isSymLink() && !entry.exists())
            m_skipped.append({entry.filePath(), Text::linkToNothing(entry.filePath())});
        else
            m_skipped.append({entry.filePath(), Text::notRegular(entry.filePath())});
    }

    QString m_pattern;
    int m_maxDepth;
    ScanBudget &m_budget;
    QStringList m_files;
    QList<QPair<QString, QString>> m_skipped;
    bool m_tooDeep = false;
};

SourceListing listWithin(const QString &directory, const QString &nameFilter, const SourceScanLimits &limits,
                         ScanBudget &budget)
{
    FolderWalk walk(nameFilter, limits.depth, budget);
    walk.walk(directory);
    SourceListing listing{walk.files(), {}};
    std::sort(listing.files.begin(), listing.files.end(), inNameOrder);
    if (const std::optional<QString> stop = budget.stopReason())
        listing.problems << *stop;
    if (walk.wentTooDeep())
        listing.problems << Text::tooDeep(directory, limits.depth);
    QList<QPair<QString, QString>> skipped = walk.skipped();
    std::sort(skipped.begin(), skipped.end(),
              [](const auto &a, const auto &b) { return inNameOrder(a.first, b.first); });
    for (const auto &skip : skipped)
        listing.problems << skip.second;
    return listing;
}

} // namespace

SourceListing listSourceFiles(const QString &directory, const QString &nameFilter, JobRun &run,
                              const SourceScanLimits &limits)
{
    // An empty path would mean the working directory to QDir; it means "nothing chosen" here.
    if (directory.isEmpty())
        return {};
    ScanBudget budget(directory, limits, run);
    return listWithin(directory, nameFilter, limits, budget);
}

SourceScan scanLoRaSource(const QString &directory, const QString &nameFilter, JobRun &run,
                          const SourceScanLimits &limits)
{
    if (directory.isEmpty())
        return {};
    ScanBudget budget(directory, limits, run);
    const SourceListing listing = listWithin(directory, nameFilter, limits, budget);
    SourceScan scan{{}, listing.problems};
    const bool hexWanted = nameFilter.contains(QStringLiteral(".hex"));
    for (const QString &path : listing.files) {
        if (hexWanted && !budget.goesOn())
            break;
        run.setProgress(scan.files.size(), listing.files.size());
        const bool rejected = hexWanted && isIntelHexFile(path);
        if (rejected)
            scan.problems << SourceText::intelHexLeftOut(path);
        scan.files.append({path, !rejected});
    }
    // Stopped while checking the files: said once, before the files it names.
    if (const std::optional<QString> stop = budget.stopReason(); stop && !scan.problems.contains(*stop))
        scan.problems.prepend(*stop);
    return scan;
}

QString SourceText::scanProblems(const QStringList &problems)
{
    QStringList shown = problems.mid(0, ListedProblems);
    if (problems.size() > ListedProblems)
        shown << QStringLiteral("… и ещё %1.").arg(problems.size() - ListedProblems);
    return shown.join(QLatin1Char('\n'));
}
