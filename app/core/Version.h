#pragma once

namespace plastora {
// The program's version text, shown by the about box and the command-line tool.
const char* versionText();
}  // namespace plastora
