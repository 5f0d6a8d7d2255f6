#include "support/TestDocument.h"

#include "support/Pictures.h"

#include <fstream>

namespace plastora::test {

TestDocument::TestDocument(int w, int h, const std::string& ini) {
    std::ofstream(dir.file("Plastora.ini")) << ini;
    ws = std::make_unique<CStereoWorkspace>(host, dir.file("Plastora.ini"));
    ws->adoptPicture(gradientPicture(w, h));
    ws->SetMode(kModeMask);
}

}  // namespace plastora::test
