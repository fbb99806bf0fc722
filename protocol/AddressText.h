// Table texts back into message bytes: dotted-quad addresses and MAC texts.
//
// The texts come straight from table cells and may hold anything: a leading
// line feed from a reply, letters the user typed, NUL characters. Each text
// counts up to its first NUL character, as a zero-terminated string would.
//
// Plain C++: no Qt, no widgets.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "protocol/Wire.h"

namespace quillon {

// Only digits and dots are kept; every other byte is dropped first. The kept
// text must hold exactly three dots with at least one digit on each side of
// each, and every number must lie in 0..255 (leading zeros allowed, any
// number of them, read as decimal). A kept text of more than 31 characters is
// rejected. On rejection for the dot count the values are left untouched;
// any other rejection may have overwritten some of them.
bool ParseDottedQuad(std::string_view text, std::array<std::int32_t, 4>& values);

// The four values of an accepted dotted quad, one byte each, in order.
Ipv4Bytes QuadBytes(const std::array<std::int32_t, 4>& values);

// Two hex digit characters to one byte; any other character counts as 0.
Byte HexPairToByte(char high, char low);

// Reads the pairs at positions 3i and 3i+1 for i = 0..5; separators are never
// looked at, and positions past the end count as non-digits. Never fails.
void ParseMacText(std::string_view text, MacBytes& mac);

}  // namespace quillon
