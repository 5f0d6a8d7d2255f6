#include "core/Version.h"

#include <cstdio>

int main() {
    std::puts(plastora::versionText());
    return 0;
}
