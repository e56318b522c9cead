#pragma once

#include <QList>
#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include "intelhexrecord.h"
#include "processes.h"
#include "testfiles.h"

// Intel HEX fixtures for the tests of the converter, the join and "quillon-cli info": records built
// by the program's own record writer, firmware-like data, and what the tools nobody here wrote read
// out of a file.
namespace HexTestTools {

using TestFiles::appendRecordLine;
using TestFiles::writeFile;
inline QByteArray readFile(const QString &path)
{
    return TestFiles::read(path);
}

inline const QByteArray EndOfFile = ":00000001FF\r\n";

// One record line (with CR LF).
inline QByteArray record(IntelHexRecordType type, quint16 address, const QByteArray &data)
{
    QByteArray line;
    appendRecordLine(line, type, address, data);
    return line;
}

inline QByteArray dataRecord(quint16 address, const QByteArray &data)
{
    return record(IntelHexRecordType::Data, address, data);
}

inline QByteArray linearBase(quint16 upper)
{
    return record(IntelHexRecordType::ExtendedLinearAddress, 0,
                  QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
}

inline QByteArray segmentBase(quint16 value)
{
    return record(IntelHexRecordType::ExtendedSegmentAddress, 0,
                  QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(4, '0')));
}

inline QByteArray startLinear(quint32 address)
{
    return record(IntelHexRecordType::StartLinearAddress, 0,
                  QByteArray::fromHex(QByteArray::number(address, 16).rightJustified(8, '0')));
}

// Intel HEX text for `bytes` at `address`, 16 bytes a record, with the records a 04 window needs.
inline QByteArray hexFor(quint32 address, const QByteArray &bytes, bool withEndOfFile = true)
{
    QByteArray text;
    quint32 window = 0;
    for (int at = 0; at < bytes.size(); at += 16) {
        const quint32 absolute = address + static_cast<quint32>(at);
        if ((absolute >> 16) != window) {
            window = absolute >> 16;
            text += linearBase(static_cast<quint16>(window));
        }
        text += dataRecord(static_cast<quint16>(absolute), bytes.mid(at, 16));
    }
    if (withEndOfFile)
        text += EndOfFile;
    return text;
}

// One S-record line with its count and checksum, as the format defines them.
inline QByteArray sRecord(int type, quint32 address, const QByteArray &data)
{
    const int addressLength = (type == 2 || type == 6 || type == 8) ? 3 : (type == 3 || type == 7) ? 4 : 2;
    QByteArray bytes;
    bytes.append(char(addressLength + data.size() + 1));
    for (int shift = 8 * (addressLength - 1); shift >= 0; shift -= 8)
        bytes.append(char(address >> shift));
    bytes.append(data);
    quint8 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    bytes.append(char(~sum));
    return "S" + QByteArray::number(type) + bytes.toHex().toUpper() + "\r\n";
}

// Random bytes seeded by the size, so that no 16-byte block is all 0xFF by chance.
inline QByteArray firmwareBytes(qsizetype size, quint32 seed = 1)
{
    QRandomGenerator generator(seed + static_cast<quint32>(size));
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; i += 4) {
        const quint32 word = generator.generate();
        for (qsizetype k = 0; k < 4 && i + k < size; ++k) {
            const auto byte = static_cast<quint8>(word >> (8 * k));
            bytes[i + k] = static_cast<char>(byte == 0xFF ? 0xFE : byte); // never 0xFF
        }
    }
    return bytes;
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A tool's run with its output as bytes.
inline ToolRun runTool(const QString &program, const QStringList &arguments, int timeoutMs = 240000)
{
    const ProcessRun run = runProcess(program, arguments, {}, timeoutMs);
    return {run.exitCode, run.out.toUtf8(), run.err.toUtf8()};
}

inline QString hexArgument(quint64 value)
{
    return QStringLiteral("0x") + QString::number(value, 16);
}

// The bytes a reader nobody here wrote takes an Intel HEX file to hold, address by address, or why
// it refused the file.
struct OtherReading {
    QString tool;
    QMap<quint64, quint8> bytes;
    QString error; // empty when the file was read
};

// S3 records (as srec_cat and objcopy write them) as address -> byte.
inline QMap<quint64, quint8> bytesOfS3Records(const QByteArray &text)
{
    QMap<quint64, quint8> bytes;
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray record = line.trimmed();
        if (!record.startsWith("S3"))
            continue;
        const QByteArray fields = QByteArray::fromHex(record.mid(2));
        quint64 address = 0;
        for (int i = 1; i < 5; ++i)
            address = address << 8 | quint8(fields.at(i));
        for (qsizetype i = 5; i + 1 < fields.size(); ++i)
            bytes.insert(address++, quint8(fields.at(i)));
    }
    return bytes;
}

// srec_cat, GNU objcopy (-I ihex) and Python's intelhex each read the file; `work` takes their
// outputs. Meant for small files: every byte is listed.
inline QList<OtherReading> readWithOtherTools(const QString &hexPath, const QString &work)
{
    QList<OtherReading> readings;
    const QString srecPath = work + QStringLiteral("/srec_cat.s37");
    ToolRun run = runTool(QStringLiteral("srec_cat"),
                          {hexPath, QStringLiteral("-Intel"), QStringLiteral("-o"), srecPath,
                           QStringLiteral("-Motorola"), QStringLiteral("-address-length=4")});
    readings.append({QStringLiteral("srec_cat"), bytesOfS3Records(readFile(srecPath)),
                     run.exitCode == 0 ? QString() : QString::fromUtf8(run.err)});
    const QString objcopyPath = work + QStringLiteral("/objcopy.s37");
    run = runTool(QStringLiteral("objcopy"),
                  {QStringLiteral("-I"), QStringLiteral("ihex"), QStringLiteral("-O"), QStringLiteral("srec"),
                   QStringLiteral("--srec-forceS3"), hexPath, objcopyPath});
    readings.append({QStringLiteral("objcopy"), bytesOfS3Records(readFile(objcopyPath)),
                     run.exitCode == 0 ? QString() : QString::fromUtf8(run.err)});
    run = runTool(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys, intelhex\n"
                                  "ih = intelhex.IntelHex(sys.argv[1])\n"
                                  "for a in ih.addresses(): print('%x %x' % (a, ih[a]))\n"),
                   hexPath});
    OtherReading python{
        QStringLiteral("intelhex"), {}, run.exitCode == 0 ? QString() : QString::fromUtf8(run.err)};
    for (const QByteArray &line : run.out.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2)
            python.bytes.insert(fields[0].toULongLong(nullptr, 16), quint8(fields[1].toUInt(nullptr, 16)));
    }
    readings.append(python);
    return readings;
}

// `bytes` laid from `address` on, as address -> byte; added to what `map` holds already.
inline void addBytesAt(QMap<quint64, quint8> &map, quint64 address, const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i)
        map.insert(address + quint64(i), quint8(bytes.at(i)));
}

// Empty when srec_cat, objcopy and Python's intelhex each read exactly `expected` from the file:
// every address of it with its byte, and no other address. Otherwise the first difference, in words.
inline QString otherToolsDifference(const QString &hexPath, const QString &work,
                                    const QMap<quint64, quint8> &expected)
{
    for (const OtherReading &reading : readWithOtherTools(hexPath, work)) {
        if (!reading.error.isEmpty())
            return reading.tool + QStringLiteral(" refused the file: ") + reading.error;
        if (reading.bytes == expected)
            continue;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (!reading.bytes.contains(it.key()) || reading.bytes.value(it.key()) != it.value())
                return reading.tool + QStringLiteral(" read at %1 %2 instead of %3")
                                          .arg(hexArgument(it.key()),
                                               reading.bytes.contains(it.key())
                                                   ? hexArgument(reading.bytes.value(it.key()))
                                                   : QStringLiteral("nothing"),
                                               hexArgument(it.value()));
        }
        for (auto it = reading.bytes.cbegin(); it != reading.bytes.cend(); ++it) {
            if (!expected.contains(it.key()))
                return reading.tool +
                       QStringLiteral(" read a byte at %1, where there is none").arg(hexArgument(it.key()));
        }
    }
    return QString();
}

} // namespace HexTestTools
