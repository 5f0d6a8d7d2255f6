#include "core/ProgramModule.h"

#include "platform/Paths.h"

#include <dlfcn.h>
#include <link.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace plastora {

void* openProgramModule(const char* fileName) {
    if (void* module = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL)) return module;
    // A dlopen that another library interposes (the sanitizers' run time
    // does) searches that library's paths, not ours: try the program's own
    // search path by hand, then the program folder.
    std::vector<std::string> folders;
    if (void* self = ::dlopen(nullptr, RTLD_NOW)) {
        Dl_serinfo size{};
        if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0 && size.dls_size >= sizeof(Dl_serinfo)) {
            std::vector<unsigned char> buffer(size.dls_size);
            auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
            *info = size;
            if (::dlinfo(self, RTLD_DI_SERINFOSIZE, info) == 0 && ::dlinfo(self, RTLD_DI_SERINFO, info) == 0)
                for (unsigned i = 0; i < info->dls_cnt; ++i) folders.push_back(info->dls_serpath[i].dls_name);
        }
    }
    folders.push_back(programFolder());
    for (const std::string& folder : folders)
        if (void* module = ::dlopen(joinPath(folder, fileName).c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    return nullptr;
}

void* programModuleFunction(const char* fileName, const char* function) {
    void* module = openProgramModule(fileName);
    return module ? ::dlsym(module, function) : nullptr;
}

void* requiredModuleFunction(const char* fileName, const char* function) {
    if (void* f = programModuleFunction(fileName, function)) return f;
    throw std::runtime_error(std::string(fileName) + " (" + function + ") cannot be loaded");
}

}  // namespace plastora
