#include "table/CellForms.h"

namespace quillon {

QByteArray RowNumberCell(int row) { return QByteArray::number(row); }

QByteArray MacCell(const MacBytes& mac) { return QByteArray::fromStdString(MacText(mac)); }

QByteArray ReplyAddressCell(const Ipv4Bytes& address)
{
    return '\n' + QByteArray::fromStdString(DottedDecimal(address));
}

QByteArray UpToNul(const QByteArray& text)
{
    const auto nul = text.indexOf('\0');
    return nul < 0 ? text : text.left(nul);
}

}  // namespace quillon
