// The program's runner for the drawing surfaces' bands of rows: OpenCV's
// parallel_for_, the one pool of worker threads the whole program shares.
#pragma once

namespace plastora {

// Gives the surfaces the runner; every program calls it once at start-up.
void runSurfaceBandsOnEveryCore();

// Starts OpenCV's pool of workers. The pool reports a refused thread (a
// process at its thread limit) by throwing from the first parallel loop,
// and runs every later loop on the calling thread: met here, at start-up,
// the refusal costs nothing but the second core, where met in the middle of
// a command it would end the command.
void startWorkerPool();

}  // namespace plastora
