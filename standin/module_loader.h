// Loads a fresh copy of the module; its entry point gets reason 1 after load, 0 before unload.
#pragma once

#include <cstdint>
#include <string>

// The largest module file taken: about 1 MB, a few with sanitizers; larger is not a module.
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
