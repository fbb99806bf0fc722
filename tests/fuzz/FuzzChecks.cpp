#include "FuzzChecks.h"

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "operations/Discovery.h"
#include "operations/StatusPanels.h"
#include "protocol/AddressText.h"
#include "protocol/Wire.h"
#include "table/DeviceTable.h"

namespace quillon::fuzz {

namespace {

// ---- The datagram path ----

using Row = std::array<QByteArray, DeviceTable::ColumnCount>;

struct Snapshot {
    std::vector<Row> rows;
    QByteArray panel0, panel1;
};

Snapshot Take(const DeviceTable& table, const StatusPanels& status)
{
    Snapshot s;
    s.rows.reserve(std::size_t(table.RowCount()) + 1);
    for (int r = 0; r < table.RowCount(); ++r) {
        Row row;
        for (int c = 0; c < DeviceTable::ColumnCount; ++c)
            row[std::size_t(c)] = table.Cell(c, r);
        s.rows.push_back(row);
    }
    s.panel0 = status.Text(StatusPanels::DevicePanel);
    s.panel1 = status.Text(StatusPanels::MessagePanel);
    return s;
}

QByteArray Bytes(const std::uint8_t* p, std::size_t n) { return QByteArray(reinterpret_cast<const char*>(p), qsizetype(n)); }

QByteArray BeforeNul(const QByteArray& text)
{
    const auto nul = text.indexOf('\0');
    return nul < 0 ? text : text.left(nul);
}

QByteArray Dotted(const std::uint8_t* p)
{
    char text[20];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
    return QByteArray(text);
}

QByteArray MacOf(const std::uint8_t* p)
{
    char text[20];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", p[0], p[1], p[2], p[3], p[4], p[5]);
    return QByteArray(text);
}

QByteArray DevicePanel(const QByteArray& nameCell, const QByteArray& macCell)
{
    return "\nDevice : " + BeforeNul(nameCell) + " (" + BeforeNul(macCell) + ")";
}

// What handling `d` must leave behind, read from the rules alone.
Snapshot Expected(const Snapshot& before, const std::uint8_t* d, std::size_t n)
{
    Snapshot after = before;
    if (n < 16 || std::memcmp(d, "TOLVEXut", 8) != 0 || d[8] != 0)
        return after;
    const QByteArray mac = MacOf(d + 10);
    const int lastDeviceRow = int(before.rows.size()) - 2;
    int listedAt = -1;
    for (int r = 1; r <= lastDeviceRow; ++r) {
        if (before.rows[std::size_t(r)][DeviceTable::ColMac] == mac)
            listedAt = r;
    }
    if (d[9] == 0x70) {
        if (n < 112 || listedAt >= 0 || !mac.startsWith("02-4B-7E"))
            return after;
        const int row = int(before.rows.size()) - 1;  // the spare row becomes the device's
        after.rows.push_back(Row{});                  // and a new spare row follows it
        Row& cells = after.rows[std::size_t(row)];
        cells[DeviceTable::ColRowNumber] = QByteArray::number(row);
        cells[DeviceTable::ColMac] = mac;
        cells[DeviceTable::ColDeviceName] = '\n' + Bytes(d + 32, 32);
        cells[DeviceTable::ColVersion] = '\n' + Bytes(d + 64, 16);
        cells[DeviceTable::ColDeviceIp] = '\n' + Dotted(d + 20);
        cells[DeviceTable::ColIpAddress] = '\n' + Dotted(d + 20);
        cells[DeviceTable::ColNetMask] = '\n' + Dotted(d + 24);
        cells[DeviceTable::ColGateway] = '\n' + Dotted(d + 28);
        cells[DeviceTable::ColDescription] = '\n' + Bytes(d + 80, 32);
        after.panel0 = DevicePanel(cells[DeviceTable::ColDeviceName], mac);
        after.panel1 = "Get Device Information done.";
    } else if (d[9] == 0x30) {
        if (n < 48)
            return after;
        // A device that is not listed is named by its MAC alone.
        after.panel0 = listedAt >= 0 ? DevicePanel(before.rows[std::size_t(listedAt)][DeviceTable::ColDeviceName],
                                                   before.rows[std::size_t(listedAt)][DeviceTable::ColMac])
                                     : DevicePanel(QByteArray(), mac);
        after.panel1 = '\n' + BeforeNul(Bytes(d + 16, 32));
    }
    return after;
}

std::string Printable(const QByteArray& text)
{
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\') {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string Compare(const char* start, int step, const Snapshot& before, const Snapshot& want,
                    const DeviceTable& table, const StatusPanels& status)
{
    const Snapshot got = Take(table, status);
    const std::string where = std::string(start) + " table, datagram handled " + std::to_string(step) + "x: ";
    if (got.rows.size() != want.rows.size())
        return where + "RowCount " + std::to_string(got.rows.size()) + ", expected " + std::to_string(want.rows.size());
    for (std::size_t r = 0; r < want.rows.size(); ++r) {
        for (std::size_t c = 0; c < std::size_t(DeviceTable::ColumnCount); ++c) {
            if (got.rows[r][c] != want.rows[r][c])
                return where + "cell (" + std::to_string(c) + ", " + std::to_string(r) + ") is \"" +
                       Printable(got.rows[r][c]) + "\", expected \"" + Printable(want.rows[r][c]) + "\"";
        }
    }
    if (got.panel0 != want.panel0)
        return where + "panel 0 is \"" + Printable(got.panel0) + "\", expected \"" + Printable(want.panel0) + "\"";
    if (got.panel1 != want.panel1)
        return where + "panel 1 is \"" + Printable(got.panel1) + "\", expected \"" + Printable(want.panel1) + "\"";

    // The MAC index agrees with a scan of column 1.
    for (int r = 1; r <= table.RowCount() - 2; ++r) {
        if (table.FindRowByMac(table.Cell(DeviceTable::ColMac, r)) != r)
            return where + "FindRowByMac misses row " + std::to_string(r);
    }
    // The grid's face of a new row: one line per cell, no line feed, no NUL.
    if (table.rowCount() != table.RowCount() - 1)
        return where + "the model's row count disagrees";
    const int last = table.RowCount() - 2;
    if (want.rows.size() > before.rows.size() && last >= 1) {
        for (int c = 0; c < DeviceTable::ColumnCount; ++c) {
            const QString shown = table.data(table.ModelIndex(c, last), Qt::DisplayRole).toString();
            if (shown.contains(QLatin1Char('\n')) || shown.contains(QChar(0)))
                return where + "the grid shows a line feed or NUL in column " + std::to_string(c);
        }
    }
    return {};
}

constexpr int PopulatedDevices = 8;

// The replies that populate the second table, encoded once.
const std::vector<std::array<Byte, DiscoveryReplySize>>& PopulatingReplies()
{
    static const auto replies = [] {
        std::vector<std::array<Byte, DiscoveryReplySize>> list;
        for (int i = 1; i <= PopulatedDevices; ++i) {
            DiscoveryReply r;
            r.mac = {0x02, 0x4B, 0x7E, 0x00, 0x00, Byte(i)};
            r.ipAddress = {10, 0, 0, Byte(i)};
            r.netMask = {255, 255, 255, 0};
            r.gateway = {10, 0, 0, 254};
            r.deviceName = TextField<DeviceNameWidth>("DEV-" + std::to_string(i));
            r.version = TextField<VersionWidth>("1.0.3");
            r.description = TextField<DescriptionWidth>("Seeded");
            list.push_back(EncodeDiscoveryReply(r));
        }
        return list;
    }();
    return replies;
}

void Populate(DeviceTable& table, StatusPanels& status)
{
    for (const auto& bytes : PopulatingReplies())
        HandleDatagram(table, status, bytes.data(), bytes.size());
}

// ---- Address texts ----

int HexValue(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 0;
}

struct QuadReading {
    bool accepted = false;
    bool valuesUntouched = false;  // a rejection for the dot count
    bool valuesUnknown = false;    // a rejection that may leave any values
    std::array<std::int32_t, 4> values{};
};

QuadReading ReadQuad(std::string_view text)
{
    QuadReading q;
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::string kept;
    for (char c : text) {
        if (c == '.' || (c >= '0' && c <= '9'))
            kept.push_back(c);
    }
    if (kept.size() > 31) {
        q.valuesUnknown = true;
        return q;
    }
    std::vector<std::string> parts(1);
    for (char c : kept) {
        if (c == '.')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    if (parts.size() != 4) {
        q.valuesUntouched = true;
        return q;
    }
    q.valuesUnknown = true;
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i].empty())
            return q;
        long value = 0;
        for (char c : parts[i])
            value = std::min(100000L, value * 10 + (c - '0'));
        if (value > 255)
            return q;
        q.values[i] = std::int32_t(value);
    }
    q.accepted = true;
    q.valuesUnknown = false;
    return q;
}

}  // namespace

std::string CheckDatagramPath(const std::uint8_t* data, std::size_t size)
{
    if (size > MaxDatagramSize)
        size = MaxDatagramSize;
    // Exactly the datagram's bytes on the heap, so that the sanitizers see
    // any read past them.
    const std::vector<Byte> datagram(data, data + size);
    const Byte* bytes = datagram.empty() ? nullptr : datagram.data();

    for (const bool populated : {false, true}) {
        DeviceTable table;
        StatusPanels status;
        table.SetupHeader();
        if (populated)
            Populate(table, status);
        const char* start = populated ? "populated" : "empty";
        if (populated && table.RowCount() != PopulatedDevices + 2)
            return "the populated table did not fill";
        // After step 1 the table equals the expectation, which is then the
        // starting point of step 2.
        Snapshot before = Take(table, status);
        for (int step = 1; step <= 2; ++step) {
            Snapshot want = Expected(before, bytes, size);
            HandleDatagram(table, status, bytes, size);
            std::string error = Compare(start, step, before, want, table, status);
            if (!error.empty())
                return error;
            before = std::move(want);
        }
    }
    return {};
}

std::string CheckAddressTexts(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    constexpr std::int32_t Sentinel = -7;
    std::array<std::int32_t, 4> values;
    values.fill(Sentinel);
    const bool accepted = ParseDottedQuad(text, values);
    const QuadReading want = ReadQuad(text);
    if (accepted != want.accepted)
        return std::string("ParseDottedQuad ") + (accepted ? "accepted" : "rejected") + " \"" +
               Printable(QByteArray(text.data(), qsizetype(text.size()))) + "\"";
    if (want.accepted && values != want.values)
        return "ParseDottedQuad read the wrong values";
    if (want.valuesUntouched && values != std::array<std::int32_t, 4>{Sentinel, Sentinel, Sentinel, Sentinel})
        return "ParseDottedQuad changed the values of a text without three dots";
    if (accepted) {
        const Ipv4Bytes b = QuadBytes(values);
        for (std::size_t i = 0; i < 4; ++i) {
            if (b[i] != Byte(values[i]))
                return "QuadBytes disagrees with the values";
        }
        std::array<std::int32_t, 4> again{};
        if (!ParseDottedQuad(DottedDecimal(b), again) || again != values)
            return "a dotted quad written by DottedDecimal does not read back";
    }

    MacBytes mac{};
    ParseMacText(text, mac);
    const auto nul = text.find('\0');
    const std::string_view t = nul == std::string_view::npos ? text : text.substr(0, nul);
    for (std::size_t i = 0; i < 6; ++i) {
        const int high = 3 * i < t.size() ? HexValue(t[3 * i]) : 0;
        const int low = 3 * i + 1 < t.size() ? HexValue(t[3 * i + 1]) : 0;
        if (mac[i] != Byte(16 * high + low))
            return "ParseMacText read byte " + std::to_string(i) + " wrong";
    }
    MacBytes back{};
    ParseMacText(MacText(mac), back);
    if (back != mac)
        return "a MAC text written by MacText does not read back";
    if (size >= 2 && HexPairToByte(text[0], text[1]) != Byte(16 * HexValue(text[0]) + HexValue(text[1])))
        return "HexPairToByte disagrees";
    return {};
}

}  // namespace quillon::fuzz
