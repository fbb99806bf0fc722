#include "protocol/AddressText.h"

namespace quillon {

namespace {

// Room for the kept characters of a dotted quad, as in the original work
// area of 32 places with one kept for the terminator.
constexpr std::size_t MaxKeptLength = 31;

// The text up to its first NUL character.
std::string_view UpToNul(std::string_view text)
{
    const auto nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

int DigitValue(char c)
{
    // Compare as unsigned so that bytes from 0x80 up are never negative.
    const auto u = static_cast<unsigned char>(c);
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 0;
}

}  // namespace

bool ParseDottedQuad(std::string_view text, std::array<std::int32_t, 4>& values)
{
    // 1. Keep the digits and dots.
    char kept[MaxKeptLength];
    std::size_t length = 0;
    for (char c : UpToNul(text)) {
        const auto u = static_cast<unsigned char>(c);
        if (u != '.' && !(u >= '0' && u <= '9'))
            continue;
        if (length == MaxKeptLength)
            return false;  // does not fit the work area
        kept[length++] = c;
    }
    const std::string_view keptText(kept, length);

    // 2. Exactly three dots.
    std::size_t dots = 0;
    for (char c : keptText)
        dots += c == '.';
    if (dots != 3)
        return false;

    // 3. Every number has at least one digit.
    if (keptText.front() == '.' || keptText.back() == '.' || keptText.find("..") != std::string_view::npos)
        return false;

    // 4 and 5. Read each run of digits; stop counting once above 255 so that no
    // run, however long, can overflow.
    bool accepted = true;
    std::size_t index = 0;
    std::int32_t number = 0;
    for (std::size_t i = 0; i <= keptText.size(); ++i) {
        if (i == keptText.size() || keptText[i] == '.') {
            values[index++] = number;
            if (number > 255)
                accepted = false;
            number = 0;
            continue;
        }
        if (number <= 255)
            number = number * 10 + (keptText[i] - '0');
    }
    return accepted;
}

Ipv4Bytes QuadBytes(const std::array<std::int32_t, 4>& values)
{
    Ipv4Bytes bytes{};
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<Byte>(values[i]);
    return bytes;
}

Byte HexPairToByte(char high, char low)
{
    return static_cast<Byte>(16 * DigitValue(high) + DigitValue(low));
}

void ParseMacText(std::string_view text, MacBytes& mac)
{
    const std::string_view t = UpToNul(text);
    auto at = [&t](std::size_t i) { return i < t.size() ? t[i] : '\0'; };
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = HexPairToByte(at(3 * i), at(3 * i + 1));
}

}  // namespace quillon
