// The functions the host library gives its modules, as the stand-in defines them
// (host_api.cpp): the eight host functions and, on Linux, the tick count that the module reads
// for key timing. The types are the host's own, spelled with fixed-width types; the module
// declares the same functions with the Windows names of these types, and
// tests/facts_agree_test.cpp compiles both declarations together, so any difference stops the
// build.
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
