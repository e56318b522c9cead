#pragma once

#include <optional>

#include <QList>
#include <QString>

// The flash memory an image is meant for: where it starts and how many bytes it holds. Images laid
// out by offsets (LoRa, Binary, a .bin file) count from the first byte of the flash, so their base
// is 0; Intel HEX images carry addresses, and their flash starts where the board maps it.
struct FlashTarget {
    quint64 base = 0;
    quint64 size = 0;

    quint64 end() const { return base + size; }
    bool operator==(const FlashTarget &other) const { return base == other.base && size == other.size; }
    bool operator!=(const FlashTarget &other) const { return !(*this == other); }
};

// Where an STM32's flash is mapped, and so where Intel HEX images for it start.
constexpr quint64 DefaultFlashBase = 0x08000000;
// Flash lies in the 32-bit address space: base plus size stay within 4 GiB.
constexpr quint64 AddressSpaceEnd = quint64(1) << 32;

namespace FlashSize {

// The sizes offered for choice, smallest first: 64, 128, 192, 256 and 512 KiB, 1 and 2 MiB.
QList<quint64> common();
// "256 KiB", "1 MiB"; a size that is no whole number of KiB in hexadecimal, "0x3F00".
QString caption(quint64 size);
// As the settings files and quillon-cli keep it: hexadecimal with "0x", e.g. "0x40000".
QString text(quint64 size);
// A size as typed: hexadecimal digits, with or without "0x" ("40000" is 256 KiB), or a decimal
// number of KiB or MiB ("256 KiB", "256K", "1 MiB", "2M"). Nothing for any other text, for 0 and
// for sizes past 4 GiB.
std::optional<quint64> parse(const QString &text);

} // namespace FlashSize

namespace FlashBase {

// Hexadecimal digits with or without "0x", at most 0xFFFFFFFF; an empty text is the default base.
std::optional<quint64> parse(const QString &text);

} // namespace FlashBase
