#include "support/TempDir.h"

#include <atomic>
#include <random>
#include <system_error>
#include <unistd.h>

namespace plastora::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto p = base / ("plastora-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                         std::to_string(rd() % 100000));
        std::error_code ec;
        if (std::filesystem::create_directory(p, ec)) {
            m_path = p;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

}  // namespace plastora::test
