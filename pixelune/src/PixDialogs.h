// Qt widgets the library shows (built without them when Qt Widgets is
// missing: then nothing is shown and the callers report failure).
#pragma once

#include <string>
#include <vector>

namespace pixelune {

struct SourceChoice {
    std::string name;         // the SANE device name
    std::string description;  // vendor, model and type as shown
};

// A modal list of the devices under `parent` (a QWidget*, may be null).
// Returns false when no widget application runs or the user cancels;
// otherwise *chosen receives the chosen device's name.
bool chooseSource(const std::vector<SourceChoice>& devices, void* parent, std::string* chosen);

}  // namespace pixelune
