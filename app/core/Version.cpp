#include "core/Version.h"

namespace plastora {
const char* versionText() { return "Plastora 0.1.0"; }
}  // namespace plastora
