// The library entry point: the only way into the module. Attach connects the script and the
// keyboard callback to the host; detach releases the player's ped and disconnects them.

#include "editor/editor.h"
#include "host/host_interface.h"
#include "host/keyboard.h"
#include "host/natives.h"

enum : DWORD { REASON_PROCESS_DETACH = 0, REASON_PROCESS_ATTACH = 1 };

static void AttachToHost(HMODULE module) {
    scriptRegister(module, EditorMain);
    keyboardHandlerRegister(OnKeyboardMessage);
}

// Clears the player's ped's tasks so that a posed player is not left frozen; another edited
// ped and the scripted camera are left as they are.
static void DetachFromHost(HMODULE module) {
    ClearPedTasksImmediately(PlayerPedId(), 1, 1);
    scriptUnregister(module);
    keyboardHandlerUnregister(OnKeyboardMessage);
}

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HMODULE module, DWORD reason, LPVOID reserved) {
#else
extern "C" __attribute__((visibility("default"))) BOOL DllMain(HMODULE module, DWORD reason,
                                                               void *reserved) {
#endif
    (void)reserved;
    if (reason == REASON_PROCESS_ATTACH)
        AttachToHost(module);
    else if (reason == REASON_PROCESS_DETACH)
        DetachFromHost(module);
    return 1;
}
