#include <QtTest>

#include "atomicoutputfile.h"
#include "processes.h"
#include "smallfilesystem.h"
#include "testfiles.h"
#include "testplatform.h"

using TestFiles::pattern;
using TestFiles::read;

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    if (!TestFiles::writeFile(path, contents))
        qFatal("cannot write test file %s", qPrintable(path));
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                               QDir::Name);
}

// Sets the process's umask for one test and puts the old one back.
class Umask {
public:
    explicit Umask(unsigned mask) : m_old(TestPlatform::exchangeUmask(mask)) {}
    ~Umask() { TestPlatform::exchangeUmask(m_old); }

private:
    unsigned m_old;
};

constexpr QFileDevice::Permissions OwnerBits =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions GroupAndOtherBits = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                       QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                       QFileDevice::WriteOther | QFileDevice::ExeOther;

QFileDevice::Permissions modeBits(const QString &path)
{
    return QFileInfo(path).permissions() & (OwnerBits | GroupAndOtherBits);
}

// The id a process had that has ended (and been reaped) since.
qint64 idOfAnEndedProcess()
{
    QProcess process;
    process.start(cliPath(), {QStringLiteral("--version")});
    if (!process.waitForStarted())
        qFatal("cannot start quillon-cli");
    const qint64 id = process.processId();
    process.waitForFinished();
    return id;
}

// The start of this process's hidden names for the target, up to the process id, as the file shows
// it while being written: ".out.bin.quillon-<machine>-".
QString hiddenNamePrefix(const QString &target)
{
    AtomicOutputFile file(target);
    if (!file.open())
        qFatal("cannot open %s", qPrintable(target));
    const QString own = QString::number(QCoreApplication::applicationPid());
    for (const QString &name : entries(QFileInfo(target).path())) {
        const qsizetype at = name.indexOf(QLatin1Char('-') + own + QLatin1Char('-'));
        if (name.endsWith(QLatin1String(".part")) && at > 0)
            return name.left(at + 1);
    }
    qFatal("no hidden file beside %s", qPrintable(target));
}

} // namespace

class AtomicOutputFileTest : public QObject {
    Q_OBJECT

private slots:
    void writesANewFile();
    void writesANameOfTheLongestLength();
    void replacesALongerFileWholeOnlyAtCommit();
    void leavesTheOldFileWhenNotCommitted_data();
    void leavesTheOldFileWhenNotCommitted();
    void failsInAMissingDirectory();
    void failsWhenTheTargetIsADirectory();
    void failsWhenADirectoryTakesTheTargetsName();
    void leavesAPipeInPlace();
    void commitNeedsAnOpenFile();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void newFileFollowsTheUmask_data();
    void newFileFollowsTheUmask();
    void replacementKeepsThePermissions();
    void replacesTheFileALinkPointsTo();
    void canBeUsedAgainAfterAFailure();
    void removesOnlyWhatEndedWritersLeft_data();
    void removesOnlyWhatEndedWritersLeft();
};

void AtomicOutputFileTest::writesANewFile()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.hex"));
    AtomicOutputFile file(target);
    QVERIFY(file.open());
    QVERIFY(file.write(QByteArray("first ")));
    QCOMPARE(file.device().write("second"), qint64(6));
    QVERIFY(file.commit());
    QCOMPARE(read(target), QByteArray("first second"));
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.hex")});
    QVERIFY(file.errorString().isEmpty());
}

void AtomicOutputFileTest::writesANameOfTheLongestLength()
{
    QTemporaryDir dir;
    // 255 bytes is the longest name ext4, tmpfs and most other file systems take.
    const QString target = dir.filePath(QString(251, QLatin1Char('a')) + QStringLiteral(".bin"));
    AtomicOutputFile file(target);
    QVERIFY2(file.open(), qPrintable(file.errorString()));
    QVERIFY(file.write(QByteArray("image")));
    QVERIFY(file.commit());
    QCOMPARE(read(target), QByteArray("image"));
    QCOMPARE(entries(dir.path()), QStringList{QFileInfo(target).fileName()});
}

void AtomicOutputFileTest::replacesALongerFileWholeOnlyAtCommit()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("image.bin"));
    const QByteArray old = pattern(100000, 1);
    writeFile(target, old);
    const QByteArray fresh = pattern(40000, 2); // past the file's buffer: on disk before the commit
    {
        AtomicOutputFile file(target);
        QVERIFY(file.open());
        QVERIFY(file.write(fresh));
        // Whoever reads the target meanwhile sees the old file whole.
        QCOMPARE(read(target), old);
        QVERIFY(file.commit());
    }
    QCOMPARE(read(target), fresh);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("image.bin")});
}

void AtomicOutputFileTest::leavesTheOldFileWhenNotCommitted_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<int>("size");
    QTest::newRow("cancelled, buffered") << true << 100;
    QTest::newRow("cancelled, written through") << true << (1 << 20);
    QTest::newRow("destroyed, buffered") << false << 100;
    QTest::newRow("destroyed, written through") << false << (1 << 20);
}

void AtomicOutputFileTest::leavesTheOldFileWhenNotCommitted()
{
    QFETCH(bool, cancelled);
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    const QByteArray old = pattern(5000, 3);
    writeFile(target, old);
    {
        AtomicOutputFile file(target);
        QVERIFY(file.open());
        QVERIFY(file.write(pattern(size, 4)));
        QCOMPARE(entries(dir.path()).size(), 2); // the target and the hidden file being written
        if (cancelled) {
            file.cancel();
            QVERIFY(!file.commit());
        }
    }
    QCOMPARE(read(target), old);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.bin")});
}

void AtomicOutputFileTest::failsInAMissingDirectory()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("nowhere"));
    AtomicOutputFile file(missing + QStringLiteral("/out.bin"));
    QVERIFY(!file.open());
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(!file.write(QByteArray("x")));
    QVERIFY(!file.commit());
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(entries(dir.path()).isEmpty());
}

void AtomicOutputFileTest::failsWhenTheTargetIsADirectory()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.bin")));
    AtomicOutputFile file(dir.filePath(QStringLiteral("out.bin")));
    QVERIFY(!file.open());
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.bin")});
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("out.bin"))).isDir());
}

void AtomicOutputFileTest::failsWhenADirectoryTakesTheTargetsName()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    writeFile(target, pattern(10, 11));
    AtomicOutputFile file(target);
    QVERIFY(file.open());
    QVERIFY(file.write(pattern(20, 12)));
    QVERIFY(QFile::remove(target));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.bin")));
    writeFile(dir.filePath(QStringLiteral("out.bin/inside")), pattern(5, 13));
    QVERIFY(!file.commit());
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.bin")});
    QCOMPARE(read(dir.filePath(QStringLiteral("out.bin/inside"))), pattern(5, 13));
}

void AtomicOutputFileTest::leavesAPipeInPlace()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    POSIX_ONLY("FIFOs");
    QVERIFY(TestPlatform::makeFifo(target));
    AtomicOutputFile file(target);
    QVERIFY(!file.open());
    QVERIFY(file.errorString().contains(QStringLiteral("не обычный файл")));
    QVERIFY(QFileInfo(target).exists() && !QFileInfo(target).isFile());
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("out.bin")});
}

void AtomicOutputFileTest::commitNeedsAnOpenFile()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    AtomicOutputFile file(target);
    QVERIFY(!file.write(QByteArray("x")));
    QVERIFY(!file.commit());
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(entries(dir.path()).isEmpty());
}

void AtomicOutputFileTest::fullDiskKeepsTheOldFile_data()
{
    // Small outputs stay in the file's buffer until the commit; large ones are written at once.
    // Writers handed the device may not check each write: the commit must catch it all the same.
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("throughDevice");
    QTest::newRow("buffered") << 6 * 1024 << false;
    QTest::newRow("written through") << 64 * 1024 << false;
    QTest::newRow("buffered, device") << 6 * 1024 << true;
    QTest::newRow("written through, device") << 64 * 1024 << true;
    QTest::newRow("many small writes, device") << -48 * 1024 << true;
}

void AtomicOutputFileTest::fullDiskKeepsTheOldFile()
{
    QFETCH(int, size);
    QFETCH(bool, throughDevice);
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    SmallFileSystem disk(mountPoint, 16);
    if (!disk.isMounted())
        QSKIP("mounting a small file system needs root");
    const QString target = mountPoint + QStringLiteral("/out.bin");
    const QByteArray old = pattern(2048, 5);
    writeFile(target, old);
    disk.fill();

    AtomicOutputFile file(target);
    QVERIFY(file.open());
    if (size < 0) {
        const QByteArray line = pattern(45, 6);
        for (int written = 0; written < -size; written += line.size())
            file.device().write(line);
    } else if (throughDevice) {
        file.device().write(pattern(size, 6));
    } else {
        file.write(pattern(size, 6));
    }
    QVERIFY(!file.commit());
    // In words, whether the write took some bytes or none ("Unknown error" in Qt's words).
    QCOMPARE(file.errorString(), QStringLiteral("нет места на устройстве"));
    QCOMPARE(read(target), old);
    QCOMPARE(entries(mountPoint), (QStringList{QStringLiteral("filler"), QStringLiteral("out.bin")}));
}

void AtomicOutputFileTest::newFileFollowsTheUmask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<QFileDevice::Permissions>("expected");
    QTest::newRow("022") << 022
                         << (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    QTest::newRow("002") << 002
                         << (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::WriteGroup | QFileDevice::ReadOther);
    QTest::newRow("077") << 077 << (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void AtomicOutputFileTest::newFileFollowsTheUmask()
{
    QFETCH(int, mask);
    QFETCH(QFileDevice::Permissions, expected);
    POSIX_ONLY("the umask and the group and other permission bits");
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    {
        const Umask umask(static_cast<unsigned>(mask));
        AtomicOutputFile file(target);
        QVERIFY(file.open());
        QVERIFY(file.write(QByteArray("data")));
        QVERIFY(file.commit());
    }
    QCOMPARE(modeBits(target), expected);
}

void AtomicOutputFileTest::replacementKeepsThePermissions()
{
    POSIX_ONLY("the group and other permission bits");
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    writeFile(target, pattern(10, 7));
    const QFileDevice::Permissions chosen =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(target, chosen));
    AtomicOutputFile file(target);
    QVERIFY(file.open());
    QVERIFY(file.write(pattern(20, 8)));
    QVERIFY(file.commit());
    QCOMPARE(read(target), pattern(20, 8));
    QCOMPARE(modeBits(target), chosen);
}

void AtomicOutputFileTest::replacesTheFileALinkPointsTo()
{
    POSIX_ONLY("symbolic links (QFile::link makes a shortcut on Windows)");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString real = dir.filePath(QStringLiteral("real/out.bin"));
    const QString link = dir.filePath(QStringLiteral("out.bin"));
    writeFile(real, pattern(500, 9));
    QVERIFY(QFile::link(real, link));
    AtomicOutputFile file(link);
    QVERIFY(file.open());
    QVERIFY(file.write(pattern(50, 10)));
    QVERIFY(file.commit());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(read(real), pattern(50, 10));
    QCOMPARE(entries(dir.filePath(QStringLiteral("real"))), QStringList{QStringLiteral("out.bin")});
}

void AtomicOutputFileTest::canBeUsedAgainAfterAFailure()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.bin")));
    AtomicOutputFile file(target);
    QVERIFY(!file.open());
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("out.bin")));
    QVERIFY(file.open());
    QVERIFY(file.errorString().isEmpty());
    QVERIFY(file.write(QByteArray("again")));
    QVERIFY(file.commit());
    QCOMPARE(read(target), QByteArray("again"));
}

void AtomicOutputFileTest::removesOnlyWhatEndedWritersLeft_data()
{
    // {prefix} stands for this machine's ".out.bin.quillon-<machine>-", {ended} for the id of a
    // process that no longer runs.
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<bool>("folder");
    QTest::newRow("of an ended writer") << "{prefix}{ended}-k3x9.part" << true << false;
    QTest::newRow("of a writer still running") << "{prefix}{running}-k3x9.part" << false << false;
    QTest::newRow("of another computer") << ".out.bin.quillon-0badf00d-{ended}-k3x9.part" << false << false;
    QTest::newRow("of another output") << ".out.binary.quillon-{machine}-{ended}-k3x9.part" << false << false;
    QTest::newRow("without a process id") << ".out.bin.k3x9.part" << false << false;
    QTest::newRow("with more after it") << "{prefix}{ended}-k3x9.part.kept" << false << false;
    QTest::newRow("a folder of such a name") << "{prefix}{ended}-k3x9.part" << false << true;
}

// Opening an output removes the hidden files of the same output that processes of this machine
// which no longer run left, and nothing else beside it.
void AtomicOutputFileTest::removesOnlyWhatEndedWritersLeft()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QFETCH(bool, folder);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    const QString prefix = hiddenNamePrefix(target);
    const QString machine = prefix.section(QLatin1Char('-'), -2, -2);
    name.replace(QStringLiteral("{prefix}"), prefix)
        .replace(QStringLiteral("{machine}"), machine)
        .replace(QStringLiteral("{ended}"), QString::number(idOfAnEndedProcess()))
        .replace(QStringLiteral("{running}"), QString::number(QCoreApplication::applicationPid()));
    const QString leftover = dir.filePath(name);
    if (folder)
        QVERIFY(QDir().mkpath(leftover));
    else
        writeFile(leftover, pattern(100, 14));

    AtomicOutputFile file(target);
    QVERIFY(file.open());
    QVERIFY(file.write(QByteArray("new")));
    QVERIFY(file.commit());
    QCOMPARE(read(target), QByteArray("new"));
    QCOMPARE(QFileInfo::exists(leftover), !removed);
    QStringList expected{QStringLiteral("out.bin")};
    if (!removed)
        expected << name;
    expected.sort();
    QCOMPARE(entries(dir.path()), expected);
}

QTEST_GUILESS_MAIN(AtomicOutputFileTest)
#include "tst_atomicoutputfile.moc"
