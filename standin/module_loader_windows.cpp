// LoadLibrary maps the module and attaches it, FreeLibrary detaches and unmaps it. A file is
// mapped once per process: a load while an earlier one is left is refused, not shared.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdexcept>

#include "standin/game_error.h"
#include "standin/module_loader.h"
#include "standin/platform.h"

// The entry point of the module's PE header: the C runtime's start-up, which calls DllMain.
static void *EntryPointOf(HMODULE module) {
    const unsigned char *base = reinterpret_cast<const unsigned char *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS64 *nt =
        reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
    const DWORD offset = nt->OptionalHeader.AddressOfEntryPoint;
    return offset == 0 ? nullptr : const_cast<unsigned char *>(base + offset);
}

[[noreturn]] static void Refuse(const std::string &path, const std::string &why) {
    throw GameError(GameError::Kind::moduleRefused, "cannot load module " + path + ": " + why);
}

// LoadLibrary's refusals are terse: the file must first be a sane regular file starting as a DLL.
static void CheckModuleFile(const std::string &path) {
    std::string image;
    std::string why;
    if (platform::ReadRegularFile(path, moduleSizeLimit, image, why) != platform::ReadOutcome::read)
        Refuse(path, why);
    if (image.empty())
        Refuse(path, "it is empty");
    if (image.compare(0, 2, "MZ") != 0)
        Refuse(path, "it is not a Windows DLL (it does not start with MZ)");
}

LoadedModule::LoadedModule(const std::string &path) {
    CheckModuleFile(path);
    HMODULE already = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path.c_str(), &already))
        throw GameError(GameError::Kind::moduleRefused,
                        "cannot load a fresh copy of module " + path +
                            ": an earlier load of it is still mapped");
    HMODULE module = LoadLibraryA(path.c_str());
    // The loader has detached a module whose entry point refused the attach, and fails it so.
    if (module == nullptr && GetLastError() == ERROR_DLL_INIT_FAILED)
        throw GameError(GameError::Kind::ruleBroken,
                        "the module's entry point answered false to process attach");
    if (module == nullptr)
        Refuse(path, platform::LastErrorText());
    void *start = EntryPointOf(module);
    if (start == nullptr) {
        FreeLibrary(module);
        Refuse(path, "it has no entry point");
    }
    handle = module;
    entry = reinterpret_cast<EntryPoint>(start);
    // LoadLibrary has called the entry point with reason 1 already.
    attached = true;
}

LoadedModule::~LoadedModule() {
    if (handle != nullptr)
        FreeLibrary(static_cast<HMODULE>(handle));
}

// LoadLibrary attached the module; nothing is left to do.
void LoadedModule::Attach() {}

// FreeLibrary detaches and unmaps the module, ignoring the entry point's answer.
void LoadedModule::Detach() {
    if (!attached)
        return;
    attached = false;
    HMODULE module = static_cast<HMODULE>(handle);
    handle = nullptr;
    FreeLibrary(module);
}

int LoadedModule::CallEntry(unsigned int reason) { return entry(handle, reason, nullptr); }
