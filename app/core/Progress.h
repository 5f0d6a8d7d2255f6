// ProgressSink: where a long operation reports how far it got. The stereo
// dialog drives its own bar; elsewhere the host's progress window is used.
#pragma once

#include "platform/Host.h"

#include <string>

namespace plastora {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
};

// The host's progress window, open for the lifetime of this object.
class HostProgress : public ProgressSink {
public:
    HostProgress(Host& host, const std::string& caption, int minimum = 0, int maximum = 100)
        : m_host(host) {
        m_host.progressBegin(caption, minimum, maximum);
    }
    ~HostProgress() override { m_host.progressEnd(); }
    HostProgress(const HostProgress&) = delete;
    HostProgress& operator=(const HostProgress&) = delete;

    void setRange(int, int) override {}
    void setPosition(int position) override { m_host.progressSet(position); }

private:
    Host& m_host;
};

}  // namespace plastora
