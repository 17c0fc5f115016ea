// The host library's exported functions: each forwards to the one stand-in game.

#include <cstdio>
#include <cstdlib>

#include "standin/game.h"
#include "standin/host_functions.h"

static Game &TheGame() {
    Game *game = Game::Current();
    if (game == nullptr) {
        std::fprintf(stderr, "stand-in host: a host function was called while no game runs\n");
        std::abort();
    }
    return *game;
}

#ifdef _WIN32
#define HOST_EXPORT extern "C" __declspec(dllexport)
#else
#define HOST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

HOST_EXPORT void scriptRegister(HINSTANCE__ *module, ScriptMainFunction scriptMain) {
    TheGame().HostScriptRegister(module, scriptMain);
}

HOST_EXPORT void scriptUnregister(HINSTANCE__ *module) { TheGame().HostScriptUnregister(module); }

HOST_EXPORT void scriptWait(uint32_t milliseconds) { TheGame().HostScriptWait(milliseconds); }

HOST_EXPORT void keyboardHandlerRegister(KeyboardHandler handler) {
    TheGame().HostKeyboardHandlerRegister(handler);
}

HOST_EXPORT void keyboardHandlerUnregister(KeyboardHandler handler) {
    TheGame().HostKeyboardHandlerUnregister(handler);
}

HOST_EXPORT void nativeInit(uint64_t hash) { TheGame().HostNativeInit(hash); }

HOST_EXPORT void nativePush64(uint64_t value) { TheGame().HostNativePush64(value); }

HOST_EXPORT uint64_t *nativeCall() { return TheGame().HostNativeCall(); }

#ifndef _WIN32
// The virtual clock the runner advances; the module reads it for key timing.
HOST_EXPORT uint32_t GetTickCount() {
    Game *game = Game::Current();
    return game != nullptr ? game->Now() : 0;
}
#endif
