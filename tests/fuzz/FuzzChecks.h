// What the fuzz targets check, shared by the libFuzzer programs and by
// tst_fuzzcases, which replays the seed corpus and every kept finding in
// each ordinary build.
//
// Each check runs the program's code on arbitrary bytes and compares the
// outcome with a reading of the rules written here independently of it.
// The result is empty when everything held, else it says what did not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon::fuzz {

// The bytes as one received datagram (at most 1024 bytes are taken, as the
// listener hands on no more), handled twice in a row by HandleDatagram,
// once starting from an empty table and once from a table with eight
// listed devices (MACs 02-4B-7E-00-00-01 to -08). Checks every cell of the
// table, the MAC index and both status texts after each step.
std::string CheckDatagramPath(const std::uint8_t* data, std::size_t size);

// The bytes as a table text for ParseDottedQuad, ParseMacText and
// HexPairToByte.
std::string CheckAddressTexts(const std::uint8_t* data, std::size_t size);

}  // namespace quillon::fuzz
