#include "core/BandRunner.h"

#include "platform/Surface.h"

#include <opencv2/core/utility.hpp>

namespace plastora {

namespace {

// Inside another parallel_for_ (a view or a frame made on a worker) OpenCV
// runs the bands in place, on that worker: no second team of threads on top
// of the pool, and no thread to be refused.
void onEveryCore(int bands, const std::function<void(int)>& body) {
    cv::parallel_for_(
        cv::Range(0, bands),
        [&](const cv::Range& range) {
            for (int b = range.start; b < range.end; ++b) body(b);
        },
        bands);
}

}  // namespace

void runSurfaceBandsOnEveryCore() { Surface::setBandRunner(&onEveryCore); }

}  // namespace plastora
