// Each load maps a private copy of the module file, so every load starts from the module's
// values at load, exactly as a fresh process would, whatever the dynamic loader caches.

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "standin/failure.h"
#include "standin/module_loader.h"

static std::string TemporaryCopy(const std::string &path) {
    std::ifstream source(path, std::ios::binary);
    if (!source)
        throw Failure(exitBadInput, "cannot read module " + path + ": " + std::strerror(errno));
    const char *directory = std::getenv("TMPDIR");
    std::string pattern =
        std::string(directory != nullptr && *directory ? directory : "/tmp") + "/pfe-module-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0)
        throw Failure(exitBadInput, "cannot make a temporary copy of the module: " +
                                        std::string(std::strerror(errno)));
    close(descriptor);
    std::ofstream copy(name.data(), std::ios::binary | std::ios::trunc);
    copy << source.rdbuf();
    copy.close();
    if (!copy) {
        unlink(name.data());
        throw Failure(exitBadInput, "cannot write a temporary copy of the module");
    }
    return name.data();
}

LoadedModule::LoadedModule(const std::string &path) {
    const std::string copy = TemporaryCopy(path);
    handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    unlink(copy.c_str()); // the mapping stays; nothing is left behind on disk
    if (handle == nullptr)
        throw Failure(exitBadInput, "cannot load module " + path + ": " + dlerror());
    entry = reinterpret_cast<EntryPoint>(dlsym(handle, "DllMain"));
    if (entry == nullptr) {
        dlclose(handle);
        throw Failure(exitBadInput, "module " + path + " has no entry point DllMain");
    }
}

LoadedModule::~LoadedModule() {
    if (handle != nullptr)
        dlclose(handle);
}

// An entry point answers true for every reason. One that refuses the attach is detached
// again and the load fails, as the system loader does.
void LoadedModule::Attach() {
    if (entry(handle, 1, nullptr) == 0) {
        entry(handle, 0, nullptr);
        throw Failure(exitFailed, "the module's entry point answered false to process attach");
    }
    attached = true;
}

int LoadedModule::CallEntry(unsigned int reason) { return entry(handle, reason, nullptr); }

void LoadedModule::Detach() {
    if (!attached)
        return;
    attached = false;
    if (entry(handle, 0, nullptr) == 0)
        throw Failure(exitFailed, "the module's entry point answered false to process detach");
}
