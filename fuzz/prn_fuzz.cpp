// Feeds arbitrary bytes to the printer set-up reader and checks that what it
// takes is in range and survives writing and reading back unchanged.
#include "output/Print.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace plastora;

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #cond); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    PrinterSettings s;
    FUZZ_CHECK(parsePrinterSettings(text, s));
    FUZZ_CHECK(s.orientation == kPortrait || s.orientation == kLandscape);
    FUZZ_CHECK(s.colorMode >= -1 && s.colorMode <= 1);
    FUZZ_CHECK(s.resolution >= 0);
    FUZZ_CHECK(s.paperWidthMM >= 0.0 && s.paperWidthMM <= 10000.0);
    FUZZ_CHECK(s.printer.find('\n') == std::string::npos);
    PrinterSettings back;
    FUZZ_CHECK(parsePrinterSettings(formatPrinterSettings(s), back));
    FUZZ_CHECK(back.printer == s.printer && back.paper == s.paper && back.orientation == s.orientation &&
               back.resolution == s.resolution && back.source == s.source && back.duplex == s.duplex);
    return 0;
}
