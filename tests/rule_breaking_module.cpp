// A small module that breaks one of the host's rules, chosen when it is built (PFE_FAULT names
// a Fault): the stand-in must catch each. Built with PFE_FAULT=none it keeps every rule, so
// that a test can tell the fault from the rest of the module.
//
// Its script asks for the player's ped in every frame and passes the handle on to the
// does-the-entity-exist native; its keyboard handler does nothing.

#include "host/host_interface.h"
#include "standin/game_facts.h"

namespace {

enum class Fault {
    none,
    readsWholeSlot,       // takes the whole 64-bit result slot as the 32-bit ped handle
    keepsScript,          // does not unregister its script on unload
    keepsKeyboardHandler, // does not unregister its keyboard handler on unload
    refusesAttach,        // answers false to process attach
    refusesDetach         // answers false to process detach
};

constexpr Fault fault = Fault::PFE_FAULT;

void ScriptMain() {
    for (;;) {
        nativeInit(hashes::playerPedId);
        const UINT64 slot = nativeCall()[0];
        const UINT64 ped = fault == Fault::readsWholeSlot ? slot : (slot & 0xFFFFFFFFu);
        nativeInit(hashes::doesEntityExist);
        nativePush64(ped);
        nativeCall();
        scriptWait(0);
    }
}

void OnKey(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL) {}

} // namespace

extern "C" __attribute__((visibility("default"))) BOOL DllMain(HMODULE module, DWORD reason,
                                                               void *) {
    if (reason == 1) {
        scriptRegister(module, ScriptMain);
        keyboardHandlerRegister(OnKey);
        return fault != Fault::refusesAttach;
    }
    if (reason == 0) {
        if (fault != Fault::keepsScript)
            scriptUnregister(module);
        if (fault != Fault::keepsKeyboardHandler)
            keyboardHandlerUnregister(OnKey);
        return fault != Fault::refusesDetach;
    }
    return 1;
}
