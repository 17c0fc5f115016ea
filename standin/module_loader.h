// Loads a fresh copy of the module and calls its entry point as the operating system does:
// reason 1 after loading, reason 0 before unloading.
#pragma once

#include <string>

class LoadedModule {
  public:
    explicit LoadedModule(const std::string &path);
    ~LoadedModule();
    LoadedModule(const LoadedModule &) = delete;
    LoadedModule &operator=(const LoadedModule &) = delete;

    void Attach();
    void Detach();
    void *Handle() const { return handle; }

  private:
    typedef int (*EntryPoint)(void *module, unsigned int reason, void *reserved);
    void *handle = nullptr;
    EntryPoint entry = nullptr;
    bool attached = false;
};
