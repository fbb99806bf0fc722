// libFuzzer target: any bytes as a table text for ParseDottedQuad,
// ParseMacText and HexPairToByte (see FuzzChecks.h). Build and run:
// tests/fuzz/README.md.
#include <cstdio>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string error = quillon::fuzz::CheckAddressTexts(data, size);
    if (!error.empty()) {
        std::fprintf(stderr, "fuzz_addresstext: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}
