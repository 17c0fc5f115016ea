// Each load reads the module file once, checks it, and loads a private copy held in memory (a
// memfd): every load starts fresh whatever the dynamic loader caches, and what runs is what
// was checked, even if the file is rebuilt meanwhile. Where no copy can be made (a small
// ulimit -f) the module is loaded from its path, fresh too once the last load is closed.

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "standin/game_error.h"
#include "standin/module_loader.h"
#include "standin/platform.h"

[[noreturn]] static void Refuse(const std::string &path, const std::string &why) {
    throw GameError(GameError::Kind::moduleRefused, "cannot load module " + path + ": " + why);
}

// Whether [offset, offset + size) lies within a file of `length` bytes, without overflow.
static bool Within(uint64_t offset, uint64_t size, uint64_t length) {
    return offset <= length && size <= length - offset;
}

// A file its headers do not fit in is refused: a segment past its end SIGBUSes when touched.
static void CheckElfImage(const std::string &path, const std::string &image) {
    if (image.empty())
        Refuse(path, "it is empty");
    if (std::memcmp(image.data(), ELFMAG, std::min<std::size_t>(image.size(), SELFMAG)) != 0)
        Refuse(path, "it is not an ELF shared library (it does not start with \\x7FELF)");
    Elf64_Ehdr header;
    if (image.size() < sizeof header)
        Refuse(path, "it is too short for an ELF shared library (" + std::to_string(image.size()) +
                         " bytes)");
    std::memcpy(&header, image.data(), sizeof header);
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        Refuse(path, "it is an ELF file, but not a 64-bit little-endian one");
    if (header.e_type != ET_DYN)
        Refuse(path, "it is an ELF file, but not a shared library");
    const uint64_t length = image.size();
    const uint64_t tables = uint64_t{header.e_phnum} * header.e_phentsize;
    if (header.e_phentsize != sizeof(Elf64_Phdr))
        Refuse(path, "it is an ELF file with program headers of " +
                         std::to_string(header.e_phentsize) + " bytes, not " +
                         std::to_string(sizeof(Elf64_Phdr)));
    if (!Within(header.e_phoff, tables, length))
        Refuse(path, "it is cut short: its program headers lie beyond its " +
                         std::to_string(length) + " bytes");
    for (uint16_t i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        std::memcpy(&segment, image.data() + header.e_phoff + i * sizeof segment, sizeof segment);
        if (segment.p_type == PT_LOAD && !Within(segment.p_offset, segment.p_filesz, length))
            Refuse(path, "it is cut short: a segment ends at byte " +
                             std::to_string(segment.p_offset + segment.p_filesz) +
                             ", the file at byte " + std::to_string(length));
    }
    const uint64_t sections = uint64_t{header.e_shnum} * header.e_shentsize;
    if (header.e_shnum != 0 && !Within(header.e_shoff, sections, length))
        Refuse(path, "it is cut short: its section headers end at byte " +
                         std::to_string(header.e_shoff + sections) + ", the file at byte " +
                         std::to_string(length));
}

// The sealed copy, or -1 when none can be made (ulimit -f): the module is loaded from its path.
static int CopyIntoMemory(const std::string &path, const std::string &image) {
    const std::string base = path.substr(path.rfind('/') + 1);
    const int descriptor = memfd_create(base.c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (descriptor >= 0 && platform::WriteAll(descriptor, image) &&
        fcntl(descriptor, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) ==
            0)
        return descriptor;
    if (descriptor >= 0)
        close(descriptor);
    return -1;
}

// A module left mapped after dlclose keeps its descriptor, the name dlopen knows it by.
static void Release(void *handle, int memoryFile) {
    if (handle != nullptr)
        dlclose(handle);
    if (memoryFile < 0)
        return;
    const std::string name = "/proc/self/fd/" + std::to_string(memoryFile);
    void *resident = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (resident != nullptr)
        dlclose(resident);
    else
        close(memoryFile);
}

// dlerror names the copy by its descriptor; the user knows the module by its path.
static std::string LoaderError(const std::string &name, const std::string &path) {
    const char *error = dlerror();
    std::string text = error != nullptr ? error : "unknown error";
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at))
        text.replace(at, name.size(), path);
    return text;
}

LoadedModule::LoadedModule(const std::string &path) {
    std::string image, unread;
    if (platform::ReadRegularFile(path, moduleSizeLimit, image, unread) !=
        platform::ReadOutcome::read)
        Refuse(path, unread);
    CheckElfImage(path, image);
    memoryFile = CopyIntoMemory(path, image);
    const std::string name = memoryFile >= 0 ? "/proc/self/fd/" + std::to_string(memoryFile)
                             : path.find('/') == std::string::npos ? "./" + path
                                                                   : path;
    handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const std::string why = LoaderError(name, path);
        Release(nullptr, memoryFile);
        Refuse(path, why);
    }
    entry = reinterpret_cast<EntryPoint>(dlsym(handle, "DllMain"));
    if (entry == nullptr) {
        Release(handle, memoryFile);
        Refuse(path, "it has no entry point DllMain");
    }
}

LoadedModule::~LoadedModule() { Release(handle, memoryFile); }

// An attach the entry point refuses is detached again and fails, as the system loader does.
void LoadedModule::Attach() {
    if (entry(handle, 1, nullptr) == 0) {
        entry(handle, 0, nullptr);
        throw GameError(GameError::Kind::ruleBroken,
                        "the module's entry point answered false to process attach");
    }
    attached = true;
}

int LoadedModule::CallEntry(unsigned int reason) { return entry(handle, reason, nullptr); }

void LoadedModule::Detach() {
    if (!attached)
        return;
    attached = false;
    if (entry(handle, 0, nullptr) == 0)
        throw GameError(GameError::Kind::ruleBroken,
                        "the module's entry point answered false to process detach");
}
