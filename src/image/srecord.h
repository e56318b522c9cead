#pragma once

#include <QString>
#include <QtGlobal>

// The layout of one Motorola S-record line:
//   'S' type(1) count(2) address(4, 6 or 8) data(2 * n) checksum(2)
// every byte as two hex digits. The count covers the address, data and checksum bytes; the
// checksum is the ones' complement of the low byte of the sum of the count, address and data bytes.
namespace SRecordLayout {
constexpr char StartCode = 'S';
// Written in upper case; read in either, as some tools write whole files in lower case.
constexpr char LowerCaseStartCode = 's';
constexpr int TypeColumn = 1;
constexpr int CountColumn = 2;
constexpr int AddressColumn = 4;
constexpr int MaximumCount = 255;
// 'S', the type, the count's two digits, then `count` bytes as digits.
constexpr int MaximumLineLength = AddressColumn + 2 * MaximumCount;
// Data records written by this program carry 16 bytes, as most tools write them.
constexpr int DataBytesPerRecord = 16;
constexpr char LineEnd[] = "\r\n";
} // namespace SRecordLayout

enum class SRecordType : quint8 {
    Header = 0,  // S0: free text, address 0000
    Data16 = 1,  // S1: data at a 16-bit address
    Data24 = 2,  // S2: data at a 24-bit address
    Data32 = 3,  // S3: data at a 32-bit address
    Count16 = 5, // S5: the number of S1/S2/S3 records before it, 16 bits
    Count24 = 6, // S6: the same, 24 bits
    Start32 = 7, // S7: start address, 32 bits; ends an S3 file
    Start24 = 8, // S8: start address, 24 bits; ends an S2 file
    Start16 = 9, // S9: start address, 16 bits; ends an S1 file
};

// Bytes of the address field of a record type.
constexpr int sRecordAddressLength(SRecordType type)
{
    switch (type) {
    case SRecordType::Data24:
    case SRecordType::Count24:
    case SRecordType::Start24:
        return 3;
    case SRecordType::Data32:
    case SRecordType::Start32:
        return 4;
    case SRecordType::Header:
    case SRecordType::Data16:
    case SRecordType::Count16:
    case SRecordType::Start16:
        break;
    }
    return 2;
}
bool isSRecordData(SRecordType type);
bool isSRecordStart(SRecordType type);
bool isSRecordCount(SRecordType type);

// One record line decoded byte by byte: count, address, data, checksum.
struct DecodedSRecord {
    SRecordType type = SRecordType::Header;
    quint8 bytes[SRecordLayout::MaximumCount + 1];

    int count() const { return bytes[0]; }
    int addressLength() const { return sRecordAddressLength(type); }
    // The address field as a number: an address, a record count or a start address by type.
    quint32 address() const
    {
        quint32 value = 0;
        for (int i = 1; i <= addressLength(); ++i)
            value = value << 8 | bytes[i];
        return value;
    }
    const quint8 *data() const { return bytes + 1 + addressLength(); }
    int dataLength() const { return count() - addressLength() - 1; }
};

// Checks one record line (its line end already cut): the leading 'S' (or 's'), a known record type (S4 is
// reserved), hex digits of either case, the count against the line's length and the record's
// address width, the checksum, no data where the type carries none, and data that stays inside
// the type's address space. Empty when the line is a sound record (then `record` holds it);
// otherwise what is wrong with it, in words.
QString checkSRecordLine(const char *text, qsizetype length, DecodedSRecord &record);

// The length of a record line with `dataSize` data bytes, its CR LF included.
constexpr qsizetype sRecordLineLength(int addressLength, qsizetype dataSize)
{
    return SRecordLayout::AddressColumn + 2 * (addressLength + dataSize + 1) + 2;
}

// Writes one record as an upper-case line ended by CR LF at `out`, which must have room for
// sRecordLineLength() characters; returns the position after it.
char *formatSRecordLine(char *out, SRecordType type, quint32 address, const char *data, qsizetype size);
