// The standard input, output and error of a process started with some of
// them closed (`2>&-`, a daemon, a desktop launcher).
#pragma once

namespace plastora {

// Opens each of descriptors 0, 1 and 2 that is closed: 0 and 2 on /dev/null,
// 1 on /dev/full, so that writing there still fails and is reported. Left
// closed, the next file the process opened (an output being written) took
// the free number, and messages and progress meant for the terminal were
// written into it. Call first thing in main.
void openClosedStandardDescriptors();

}  // namespace plastora
