// libFuzzer target: any bytes as a received datagram, through
// HandleDatagram into the device table and the status texts (see
// FuzzChecks.h). Build and run: tests/fuzz/README.md.
#include <cstdio>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string error = quillon::fuzz::CheckDatagramPath(data, size);
    if (!error.empty()) {
        std::fprintf(stderr, "fuzz_datagram: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}
