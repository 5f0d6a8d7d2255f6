// The program's runner for the drawing surfaces' bands of rows: OpenCV's
// parallel_for_, the one pool of worker threads the whole program shares.
#pragma once

namespace plastora {

// Gives the surfaces the runner; every program calls it once at start-up.
void runSurfaceBandsOnEveryCore();

}  // namespace plastora
