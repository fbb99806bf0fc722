// The text forms in which a listed device's values stand in the table.
#pragma once

#include <QByteArray>
#include <array>
#include <cstddef>

#include "protocol/Wire.h"

namespace quillon {

// The row number: decimal, no sign, no leading zeros.
QByteArray RowNumberCell(int row);
// "02-4B-7E-0A-1B-FF", no line feed.
QByteArray MacCell(const MacBytes& mac);
// A line feed, then one character per byte of the field, zero bytes
// included: always one byte longer than the field.
template <std::size_t N>
QByteArray ReplyTextCell(const std::array<Byte, N>& field)
{
    QByteArray cell;
    cell.reserve(static_cast<qsizetype>(N + 1));
    cell.append('\n');
    cell.append(reinterpret_cast<const char*>(field.data()), static_cast<qsizetype>(N));
    return cell;
}
// A line feed, then the address in dotted decimal.
QByteArray ReplyAddressCell(const Ipv4Bytes& address);

// A cell text as C code would read it: up to its first NUL character.
QByteArray UpToNul(const QByteArray& text);

}  // namespace quillon
