#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include "hexdigits.h"

// The layout of one Intel HEX record line:
//   ':' count(2) address(4) type(2) data(2 * count) checksum(2)
// every byte as two hex digits; the checksum makes the sum of all bytes after ':' zero.
namespace IntelHexLayout {
constexpr char StartCode = ':';
constexpr int CountDigits = 2;
constexpr int AddressDigits = 4;
constexpr int TypeDigits = 2;
constexpr int ChecksumDigits = 2;
constexpr int CountColumn = 1;
constexpr int AddressColumn = CountColumn + CountDigits;
constexpr int TypeColumn = AddressColumn + AddressDigits;
constexpr int DataColumn = TypeColumn + TypeDigits;
// A record without data: ':' + count + address + type + checksum.
constexpr int MinimumLineLength = DataColumn + ChecksumDigits;
constexpr int MaximumDataLength = 255;
constexpr int MaximumLineLength = MinimumLineLength + 2 * MaximumDataLength;
// Data records written by this program carry up to 16 bytes, as most tools do.
constexpr int DataBytesPerRecord = 16;
// Record addresses are 16 bits wide: one record never reaches past a 64 KiB window.
constexpr quint64 WindowSize = 0x10000;
// Offsets up to this value fit a segment address record (value = offset / 16).
constexpr quint32 LargestSegmentOffset = 0xFFFF0;
constexpr char LineEnd[] = "\r\n";
constexpr char EndOfFileLine[] = ":00000001FF\r\n";
} // namespace IntelHexLayout

enum class IntelHexRecordType : quint8 {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

// One record as read from or written to a line; the address is the 16-bit field of the record.
struct IntelHexRecord {
    IntelHexRecordType type = IntelHexRecordType::Data;
    quint16 address = 0;
    QByteArray data;
};

// One record line decoded byte by byte: count, address (2), type, data, checksum.
struct DecodedRecordLine {
    quint8 bytes[IntelHexLayout::MaximumDataLength + 5];

    int count() const { return bytes[0]; }
    quint16 address() const { return static_cast<quint16>(bytes[1] << 8 | bytes[2]); }
    IntelHexRecordType type() const { return static_cast<IntelHexRecordType>(bytes[3]); }
    const quint8 *data() const { return bytes + 4; }
    // The data of an address or start record as one big-endian number.
    quint32 value() const
    {
        quint32 result = 0;
        for (int i = 0; i < count() && i < 4; ++i)
            result = result << 8 | data()[i];
        return result;
    }
};

// Checks one record line (its line end already cut): the leading ':', hex digits of either case,
// the byte count against the line's length, the checksum, a known record type (00 to 05) and the
// data length that type has. Empty when the line is a sound record (then `record` holds it);
// otherwise what is wrong with it, in words.
QString checkRecordLine(const char *text, qsizetype length, DecodedRecordLine &record);

// Writes one record as an upper-case line ended by CR LF at `out`, which must have room for
// RecordLineLength(data size) characters; returns the position after it.
constexpr qsizetype recordLineLength(qsizetype dataSize)
{
    return IntelHexLayout::MinimumLineLength + 2 * dataSize + 2;
}
char *formatRecordLine(char *out, IntelHexRecordType type, quint16 address, const char *data, qsizetype size);

// The record that starts the address window for the given first address: none for 0, a segment
// record (type 02, value offset / 16) up to 0xFFFF0, a linear record (type 04, value offset /
// 0x10000) above. `base` is the address that record addresses are then counted from.
struct ExtendedAddress {
    IntelHexRecordType type = IntelHexRecordType::ExtendedLinearAddress;
    quint16 value = 0;
    quint32 base = 0;
};
ExtendedAddress extendedAddressFor(quint32 offset);
