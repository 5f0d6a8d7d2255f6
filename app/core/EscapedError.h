// What the program tells the user about an exception that left a command or
// an event handler: running out of memory (the standard library's or
// OpenCV's) has the program's own message; anything else is reported with
// its own words.
#pragma once

#include <exception>
#include <string>

namespace plastora {

struct EscapedError {
    bool outOfMemory = false;
    std::string what;  // the error's own words; empty when out of memory
};

EscapedError describeEscapedError(const std::exception& e);

}  // namespace plastora
