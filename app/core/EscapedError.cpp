#include "core/EscapedError.h"

#include <opencv2/core.hpp>

#include <new>

namespace plastora {

EscapedError describeEscapedError(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return {true, {}};
    if (const auto* cv = dynamic_cast<const cv::Exception*>(&e)) {
        if (cv->code == cv::Error::StsNoMem) return {true, {}};
        // what() carries the file, line and function as well; the message
        // alone is what a user can act on.
        return {false, cv->err};
    }
    return {false, e.what()};
}

}  // namespace plastora
