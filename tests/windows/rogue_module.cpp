// A module that breaks the host's rules on purpose: its script calls a native the game does
// not have. pfe-sim.exe must stop the run and name the hash, which takes an exception thrown
// on the script's Windows fiber through the host DLL and this module back to the runner.

#include <string>

#include "host/host_interface.h"

static constexpr UINT64 unknownNative = 0x0123456789ABCDEFull;

static void ScriptMain() {
    for (;;) {
        scriptWait(0);
        const std::string heldAcrossTheCall = "the unwinding must run this destructor";
        nativeInit(unknownNative);
        nativePush64(heldAcrossTheCall.size());
        nativeCall();
    }
}

extern "C" BOOL WINAPI DllMain(HMODULE module, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        scriptRegister(module, ScriptMain);
    else if (reason == DLL_PROCESS_DETACH)
        scriptUnregister(module);
    return TRUE;
}
