// Loads a fresh copy of the module and calls its entry point as the operating system does:
// reason 1 after loading, reason 0 before unloading.
#pragma once

#include <cstdint>
#include <string>

// The largest module file the loader takes. The module is about a megabyte (a few with the
// sanitizers); a file far larger is not one, and would be read into memory whole for nothing.
constexpr std::uintmax_t moduleSizeLimit = 64 * 1024 * 1024;

class LoadedModule {
  public:
    explicit LoadedModule(const std::string &path);
    ~LoadedModule();
    LoadedModule(const LoadedModule &) = delete;
    LoadedModule &operator=(const LoadedModule &) = delete;

    // Both throw GameError (ruleBroken) when the entry point answers false.
    void Attach();
    void Detach();
    // Calls the entry point with any reason code and returns its answer.
    int CallEntry(unsigned int reason);
    void *Handle() const { return handle; }

  private:
    typedef int (*EntryPoint)(void *module, unsigned int reason, void *reserved);
    void *handle = nullptr;
    EntryPoint entry = nullptr;
    bool attached = false;
    int memoryFile = -1; // POSIX: the in-memory copy the module was loaded from
};
