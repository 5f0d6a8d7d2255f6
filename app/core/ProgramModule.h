// Modules of the program (shared objects beside the executable) loaded with
// dlopen the first time they are needed, so that the libraries behind them
// are loaded only by the work that uses them.
#pragma once

namespace plastora {

// Opens the module `fileName`: through the program's own library search
// path, then from the program folder. Null when it cannot be loaded.
void* openProgramModule(const char* fileName);

// The address of `function` in the module, null when either is missing.
void* programModuleFunction(const char* fileName, const char* function);
// The same for a module the program cannot work without: throws
// std::runtime_error naming it when it is missing (a broken installation).
void* requiredModuleFunction(const char* fileName, const char* function);

}  // namespace plastora
