// Nothing may leave the library's interface as an exception: the callers are
// C-style and a std::bad_alloc crossing it would end the process. Each
// exported function runs its body through guarded(), which turns any
// exception into the function's failure value.
#pragma once

#include <utility>

namespace pixelune {

template <class Result, class Body>
Result guarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

template <class Body>
void guardedVoid(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace pixelune
