// Temporary files and folders that a signal ending the process (Ctrl-C, a
// kill, a closed terminal) removes before it ends it: without this, a run
// stopped part way leaves hidden full-size temporary files beside its
// outputs, which nothing ever removes.
#pragma once

#include <string>

namespace plastora {

// Records a temporary file (or a private folder of flat files) to remove on
// such a signal, until it is untracked (renamed into place or removed).
// Paths past the system's limit, or more than a few hundred at once, are
// not recorded (they are then left, as before).
void trackTemporaryFile(const std::string& path);
void trackTemporaryFolder(const std::string& path);
void untrackTemporary(const std::string& path);

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGPIPE (a log
// pipe closed early: `| head`); a signal the process ignores stays ignored.
// The recorded files and folders are removed and the process then ends by
// the signal as it would have. SIGXFSZ is ignored, so that a write past the
// file-size limit fails and is reported like any failed write.
void removeTemporariesOnSignals();

// While one of these lives, such a signal waits: files being renamed into
// place one after another (a project and its companions) are all put in
// place first, never a mix of old and new.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
};

}  // namespace plastora
