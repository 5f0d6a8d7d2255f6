// A document as opening a photo leaves it, for tests that work on one.
#pragma once

#include "core/StereoWorkspace.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace plastora::test {

// A workspace over its own settings file (holding `ini`) in a temporary
// folder, with a w x h gradient photo in mask editing (region 0 made).
struct TestDocument {
    TempDir dir;
    ScriptedHost host;
    std::unique_ptr<CStereoWorkspace> ws;
    TestDocument(int w, int h, const std::string& ini = "");
};

}  // namespace plastora::test
