#include "stereo/whmatch/WHDetail.h"

#include "stereo/whmatch/WHMatch.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace plastora::whmatch {

namespace {
thread_local const char* lastError = "";
thread_local int failCountdown = -1;
}  // namespace

const char* whLastError() { return lastError; }

void whFailAllocationAfter(int successes) { failCountdown = successes < 0 ? -1 : successes; }

namespace detail {

void* allocate(std::size_t count, std::size_t size) {
    if (failCountdown == 0) {
        failCountdown = -1;
        return nullptr;
    }
    if (failCountdown > 0) --failCountdown;
    if (count == 0 || size == 0) count = size = 1;
    if (count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
    return std::malloc(count * size);
}

void release(void* p) { std::free(p); }

bool fail(const char* message) {
    lastError = message;
    return false;
}

}  // namespace detail
}  // namespace plastora::whmatch
