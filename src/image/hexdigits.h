#pragma once

#include <array>
#include <cstring>

#include <QString>
#include <QtGlobal>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLON_HEX_SSE2 1
#endif

// Hex digits as the record formats (Intel HEX, Motorola S-records) read and write them: either case
// when read, upper case when written.
namespace HexDigits {

constexpr std::array<qint8, 256> makeValueTable()
{
    std::array<qint8, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = -1;
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<qint8>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<qint8>(10 + i);
        table['a' + i] = static_cast<qint8>(10 + i);
    }
    return table;
}
inline constexpr std::array<qint8, 256> Values = makeValueTable();

// Both digits of every byte value, so that one byte becomes one two-character copy.
struct Pairs {
    char pairs[256][2];
    constexpr Pairs() : pairs()
    {
        constexpr char upper[] = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            pairs[i][0] = upper[i >> 4];
            pairs[i][1] = upper[i & 0x0F];
        }
    }
};
inline constexpr Pairs PairTable;

inline char *putByte(char *out, quint8 value)
{
    std::memcpy(out, PairTable.pairs[value], 2);
    return out + 2;
}

// Writes `size` bytes as upper-case digits at `out`; returns the sum of the bytes (mod 256), which
// both formats' checksums are made of. Full 16-byte blocks, what most records carry, take a few
// vector steps instead of 16 table copies.
inline quint8 putBytes(char *out, const char *data, qsizetype size)
{
    quint8 sum = 0;
    qsizetype i = 0;
#ifdef QUILLON_HEX_SSE2
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i lowNibbleMask = _mm_set1_epi8(0x0F);
        const __m128i low = _mm_and_si128(bytes, lowNibbleMask);
        const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), lowNibbleMask);
        const auto digits = [](__m128i nibbles) {
            const __m128i letters =
                _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '9' - 1));
            return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
        };
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i), digits(_mm_unpacklo_epi8(high, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i + 16), digits(_mm_unpackhi_epi8(high, low)));
        const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
        sum += static_cast<quint8>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
    }
#endif
    for (; i < size; ++i) {
        const auto byte = static_cast<quint8>(data[i]);
        sum += byte;
        putByte(out + 2 * i, byte);
    }
    return sum;
}

#ifdef QUILLON_HEX_SSE2
// Eight bytes from sixteen digits of either case; false when any of them is no hex digit.
inline bool decodeSixteenDigits(const char *text, quint8 *bytes, quint8 &sum)
{
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
    // Unsigned distances from '0' and from 'a' (after folding the case): a digit or a letter is near.
    const __m128i fromZero = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
    const __m128i fromA = _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(fromA, _mm_set1_epi8(5)), fromA);
    if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF)
        return false;
    const __m128i values = _mm_or_si128(_mm_and_si128(isDigit, fromZero),
                                        _mm_and_si128(isLetter, _mm_add_epi8(fromA, _mm_set1_epi8(10))));
    // Each 16-bit lane holds a byte's high digit below its low one.
    const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00FF)), 4);
    const __m128i packed =
        _mm_packus_epi16(_mm_or_si128(high, _mm_srli_epi16(values, 8)), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i *>(bytes), packed);
    sum += static_cast<quint8>(_mm_cvtsi128_si32(_mm_sad_epu8(packed, _mm_setzero_si128())));
    return true;
}
#endif

// Decodes `byteCount` pairs of digits of either case into `bytes` in one pass, adding the bytes to
// `sum`; false when a character is no hex digit (which one, the caller's slower check tells).
inline bool decodePairs(const char *text, qsizetype byteCount, quint8 *bytes, quint8 &sum)
{
    qsizetype i = 0;
#ifdef QUILLON_HEX_SSE2
    for (; i + 8 <= byteCount; i += 8)
        if (!decodeSixteenDigits(text + 2 * i, bytes + i, sum))
            return false;
#endif
    for (; i < byteCount; ++i) {
        const int high = Values[static_cast<quint8>(text[2 * i])];
        const int low = Values[static_cast<quint8>(text[2 * i + 1])];
        if ((high | low) < 0)
            return false;
        bytes[i] = static_cast<quint8>(high << 4 | low);
        sum += bytes[i];
    }
    return true;
}

} // namespace HexDigits

// The value of a hex digit of either case; -1 for any other character.
inline int hexDigitValue(char c)
{
    return HexDigits::Values[static_cast<quint8>(c)];
}

// A character that should have been a hex digit, as a message names it: 'G', or byte 0x07 when it
// cannot be shown.
inline QString describeCharacter(char c)
{
    const auto byte = static_cast<quint8>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("байт 0x%1").arg(QLatin1String(HexDigits::PairTable.pairs[byte], 2));
}
