// Every benchmark runs the surfaces' bands of rows as the programs do.
#include "core/BandRunner.h"

namespace {
const bool bandsOnEveryCore = (plastora::runSurfaceBandsOnEveryCore(), true);
}  // namespace
