// Allocation and failure reporting shared by the matcher's sources, and the
// hook that lets tests make an allocation fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plastora::whmatch {

struct Branch;

// Lets the next `successes` allocations of the matcher succeed and makes the
// one after them fail (once). A negative count turns the hook off.
void whFailAllocationAfter(int successes);

namespace detail {

// Uninitialised memory for `count` objects of `size` bytes, or nullptr when
// the product overflows, the system refuses or the hook says so.
void* allocate(std::size_t count, std::size_t size);
void release(void* p);

template <typename T>
T* allocateArray(std::size_t count) {
    return static_cast<T*>(allocate(count, sizeof(T)));
}

// Records a failure for whLastError(); returns false for convenience.
bool fail(const char* message);

// Level D of window (r, c) for kernel k by the per-window recursion, with
// no argument checks and no marker reset: for callers that did both.
std::int32_t windowProjectionUnchecked(Branch& b, int k, std::int32_t r, std::int32_t c);

}  // namespace detail
}  // namespace plastora::whmatch
