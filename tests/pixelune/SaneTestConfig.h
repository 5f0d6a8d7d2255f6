// A SANE configuration for one test that knows only the "test" backend, so
// no test ever reaches a real device, and scanimage (sane-utils) as the
// independent frontend whose frames the scans are compared with.
#pragma once

#include "support/TempDir.h"

#include "pixelune/pixelune.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <vector>

namespace sanetest {

class SaneTestConfig {
public:
    // `testConf`: lines of the test backend's test.conf (its defaults for
    // every device). The resolution is always given: the backend's built-in
    // default is unusable (a 1 x 1 frame).
    explicit SaneTestConfig(const std::vector<std::string>& testConf = {}) {
        std::ofstream(m_dir.file("dll.conf")) << "test\n";
        std::ofstream conf(m_dir.file("test.conf"));
        // The test backend reads its configuration folder once per process
        // and keeps it (the backend stays loaded, see keepTestBackendLoaded):
        // each test that uses a configuration runs in a process of its own,
        // as ctest runs them.
        conf << "number_of_devices 2\nresolution 50.0\ntest-picture \"Color pattern\"\n";
        for (const std::string& line : testConf) conf << line << "\n";
        conf.close();
        const char* old = std::getenv("SANE_CONFIG_DIR");
        m_hadOld = old != nullptr;
        if (old) m_old = old;
        setenv("SANE_CONFIG_DIR", m_dir.path().c_str(), 1);
        keepTestBackendLoaded();
    }
    ~SaneTestConfig() {
        if (m_hadOld)
            setenv("SANE_CONFIG_DIR", m_old.c_str(), 1);
        else
            unsetenv("SANE_CONFIG_DIR");
    }
    SaneTestConfig(const SaneTestConfig&) = delete;
    SaneTestConfig& operator=(const SaneTestConfig&) = delete;

    std::string file(const std::string& name) const { return m_dir.file(name); }

    // Writes dll.aliases: lines such as "alias NAME test:1".
    void aliases(const std::string& lines) const {
        std::ofstream(m_dir.file("dll.aliases"), std::ios::binary) << lines;
    }

    // The frame scanimage gets from `device` in colour at 8 bits (null image
    // when scanimage fails).
    QImage scanimage(const std::string& device, const std::string& extra = {}) const {
        const std::string out = m_dir.file("reference.pnm");
        const std::string cmd = "scanimage -d '" + device + "' --mode Color --depth 8 --format=pnm " + extra +
                                " > '" + out + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) return {};
        return QImage(QString::fromStdString(out), "PPM").convertToFormat(QImage::Format_RGB32);
    }

private:
    // SANE unloads its backends in sane_exit; what the test backend keeps
    // from sane_init for good would then be reported as a leak of unknown
    // origin, which no suppression can name. Loaded once more here and never
    // unloaded, the backend stays where its allocations can be told apart
    // (tests/lsan.supp names libsane).
    static void keepTestBackendLoaded() {
        static const bool kept = [] {
            const char* sane = TWAINGetDllName();
            if (!sane) return false;
            const std::string dir = std::string(sane).substr(0, std::string(sane).find_last_of('/'));
            return dlopen((dir + "/sane/libsane-test.so.1").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE) != nullptr;
        }();
        (void)kept;
    }

    plastora::test::TempDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

}  // namespace sanetest
