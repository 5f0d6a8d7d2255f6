#include "core/BandRunner.h"

#include "platform/Surface.h"

#include <opencv2/core/utility.hpp>

#include <exception>
#include <new>

namespace plastora {

namespace {

// Inside another parallel_for_ (a view or a frame made on a worker) OpenCV
// runs the bands in place, on that worker: no second team of threads on top
// of the pool, and no thread to be refused.
// When the pool cannot start (a thread refused: TBB reports it as a
// runtime_error), the bands run here, one after another; a band only ever
// writes its own rows, so those already made are simply made again.
void onEveryCore(int bands, const std::function<void(int)>& body) {
    try {
        cv::parallel_for_(
            cv::Range(0, bands),
            [&](const cv::Range& range) {
                for (int b = range.start; b < range.end; ++b) body(b);
            },
            bands);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        for (int b = 0; b < bands; ++b) body(b);
    }
}

}  // namespace

void runSurfaceBandsOnEveryCore() { Surface::setBandRunner(&onEveryCore); }

void startWorkerPool() {
    try {
        cv::parallel_for_(cv::Range(0, 2), [](const cv::Range&) {}, 2);
    } catch (const std::exception&) {
        // No thread to be had: from now on the pool runs its work on the
        // calling thread.
    }
}

}  // namespace plastora
