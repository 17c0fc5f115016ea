// The host library's functions for its modules, as host_api.cpp defines them (and, on Linux,
// the tick count the module reads). tests/facts_agree_test.cpp compiles these beside the
// module's own declarations, in Windows type names, so any difference stops the build.
#pragma once

#include <cstdint>

struct HINSTANCE__; // the module handle the operating system gives a library

typedef void (*ScriptMainFunction)();
typedef void (*KeyboardHandler)(uint32_t key, uint16_t repeats, uint8_t scanCode,
                                int32_t isExtended, int32_t isWithAlt, int32_t wasDownBefore,
                                int32_t isUpNow);

extern "C" {
void scriptRegister(HINSTANCE__ *module, ScriptMainFunction scriptMain);
void scriptUnregister(HINSTANCE__ *module);
void scriptWait(uint32_t milliseconds);
void keyboardHandlerRegister(KeyboardHandler handler);
void keyboardHandlerUnregister(KeyboardHandler handler);
void nativeInit(uint64_t hash);
void nativePush64(uint64_t value);
uint64_t *nativeCall();
#ifndef _WIN32
uint32_t GetTickCount();
#endif
}
