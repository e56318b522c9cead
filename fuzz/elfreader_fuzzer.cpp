// libFuzzer target: any bytes through the ELF reader, and what it reads into the memory image.
// - Reading never crashes, hangs or reads outside the file, whatever its headers say.
// - Whatever reads cleanly keeps within the memory limit, and every chunk's bytes are the file's
//   bytes at the place its file span gives (stamp writes there).
// - A file read without section headers says so in a warning.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "elfreader.h"
#include "memoryimage.h"

namespace {

// Small enough that overlapping sections reach it within the fuzzer's inputs.
constexpr qint64 MemoryLimit = 64 * 1024;

// Whether a file span puts the chunk's bytes where they lie in the file. Sections that clash at one
// address may come from different places in the file, so any span will do.
bool heldByASpan(const DataChunk &chunk, const ElfContent &content, QByteArrayView file)
{
    const quint64 length = static_cast<quint64>(chunk.bytes.size());
    for (const FileSpan &span : content.fileSpans) {
        if (span.fileOffset < 0 || span.length < 0 || span.fileOffset + span.length > file.size())
            std::abort();
        if (chunk.address < span.address || length > static_cast<quint64>(span.length) ||
            chunk.address - span.address > static_cast<quint64>(span.length) - length)
            continue;
        const qint64 offset = span.fileOffset + static_cast<qint64>(chunk.address - span.address);
        if (file.sliced(offset, chunk.bytes.size()) == QByteArrayView(chunk.bytes))
            return true;
    }
    return false;
}

void checkContent(const ElfContent &content, QByteArrayView file)
{
    if (content.fileSize != file.size() || (content.fromSegments && content.warnings.isEmpty()))
        std::abort();
    qint64 held = 0;
    for (const DataChunk &chunk : content.chunks) {
        held += chunk.bytes.size();
        if (chunk.bytes.isEmpty() || chunk.end() < chunk.address || !heldByASpan(chunk, content, file))
            std::abort();
    }
    if (held > MemoryLimit)
        std::abort();
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(content.chunks, &conflict);
    if (!conflict && image.dataSize() > held)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    ElfReader reader;
    reader.setMemoryLimit(MemoryLimit);
    if (!reader.read(file)) {
        if (reader.errorText().isEmpty())
            std::abort();
        return 0;
    }
    checkContent(reader.takeContent(), file);
    return 0;
}
