// A module linked the wrong way on purpose, for the self-check of the import-table test: the
// C++ runtime from its DLL, an export the host does not need, and a host function imported
// by its plain name instead of the decorated one.

#include <string>

extern "C" __declspec(dllimport) void scriptWait(unsigned long milliseconds);

extern "C" __declspec(dllexport) int WrongExport(int length) {
    const std::string text(static_cast<std::size_t>(length), 'x');
    scriptWait(0);
    return static_cast<int>(text.size());
}
