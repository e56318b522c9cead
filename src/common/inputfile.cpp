#include "inputfile.h"

#include <filesystem>
#include <system_error>

#include "imagelimits.h"
#include "systemerror.h"

namespace {

constexpr qint64 ReadBlockSize = 256 * 1024;

} // namespace

bool InputFile::fail(Problem problem, const QString &systemError)
{
    m_problem = problem;
    m_systemError = systemError;
    m_file.close();
    return false;
}

bool InputFile::open()
{
    m_problem = Problem::None;
    m_systemError.clear();
    m_knownSize = -1;
    const QString path = m_file.fileName();
    if (path.isEmpty())
        return fail(Problem::Missing);
    std::error_code error;
    // Links are followed: what counts is the file that would be read.
    const auto status = std::filesystem::status(std::filesystem::path(path.toStdU16String()), error);
    switch (status.type()) {
    case std::filesystem::file_type::not_found:
    case std::filesystem::file_type::none:
        return fail(Problem::Missing);
    case std::filesystem::file_type::directory:
        return fail(Problem::Directory);
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
        return fail(Problem::Device);
    default:
        break;
    }
    SystemError::clear();
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(Problem::CannotOpen, SystemError::of(m_file));
    if (!m_file.isSequential() && m_file.size() > 0)
        m_knownSize = m_file.size();
    return true;
}

std::optional<QByteArray> InputFile::readToEnd(qint64 limit)
{
    QByteArray data;
    if (m_knownSize > 0)
        data.reserve(qMin(m_knownSize, limit) + 1);
    for (;;) {
        const qint64 room = limit + 1 - data.size();
        const qint64 want = qMin(ReadBlockSize, room);
        const qsizetype start = data.size();
        data.resize(start + want);
        SystemError::clear();
        const qint64 got = m_file.read(data.data() + start, want);
        if (got < 0) {
            fail(Problem::CannotRead, SystemError::of(m_file));
            return std::nullopt;
        }
        data.resize(start + got);
        if (data.size() > limit) {
            fail(Problem::TooLarge);
            return std::nullopt;
        }
        if (got == 0)
            return data;
    }
}

bool InputFile::readInBlocks(qint64 limit, const std::function<void(QByteArrayView)> &take)
{
    QByteArray block(ReadBlockSize, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        SystemError::clear();
        const qint64 got = m_file.read(block.data(), block.size());
        if (got < 0)
            return fail(Problem::CannotRead, SystemError::of(m_file));
        total += got;
        if (total > limit)
            return fail(Problem::TooLarge);
        if (got == 0)
            return true;
        take(QByteArrayView(block.constData(), got));
    }
}

QString InputFile::problemText(qint64 limit) const
{
    switch (m_problem) {
    case Problem::None:
        break;
    case Problem::Missing:
        return QStringLiteral("не удалось открыть файл: такого файла нет");
    case Problem::Directory:
        return QStringLiteral("не удалось открыть файл: это каталог");
    case Problem::Device:
        return QStringLiteral("не удалось открыть файл: это устройство, а не файл; устройства не читаются");
    case Problem::CannotOpen:
        return QStringLiteral("не удалось открыть файл: %1").arg(m_systemError);
    case Problem::CannotRead:
        return QStringLiteral("не удалось прочитать файл: %1").arg(m_systemError);
    case Problem::TooLarge:
        if (limit == LargestImageSize)
            return inputTooLargeText();
        return QStringLiteral("файл больше %1 байт; такие большие файлы не принимаются").arg(limit);
    }
    return QString();
}

QByteArrayView InputFile::map()
{
    // The size now, not at opening: a file cut since then must not be read past its end.
    const qint64 size = m_file.size();
    if (!isRereadable() || size <= 0)
        return {};
    const uchar *bytes = m_file.map(0, size);
    return bytes ? QByteArrayView(bytes, size) : QByteArrayView();
}
