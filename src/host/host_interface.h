// The eight functions the module imports from the script-hook host, declared with the
// Windows types of the host's own signatures, plus the tick count used for key timing.
//
// Windows: the functions are imported from ScriptHookRDR2.dll by their decorated names; an
// import library built from cmake/ScriptHookRDR2.def maps these plain extern "C" names onto
// them. Linux: the stand-in host library defines them under the plain names.
#pragma once

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
struct HINSTANCE__;
typedef HINSTANCE__ *HMODULE;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef uint64_t UINT64;
typedef uint64_t *PUINT64;
#endif

typedef void (*ScriptMainFunction)();
typedef void (*KeyboardHandler)(DWORD key, WORD repeats, BYTE scanCode, BOOL isExtended,
                                BOOL isWithAlt, BOOL wasDownBefore, BOOL isUpNow);

extern "C" {
void scriptRegister(HMODULE module, ScriptMainFunction scriptMain);
void scriptUnregister(HMODULE module);
void scriptWait(DWORD milliseconds);
void keyboardHandlerRegister(KeyboardHandler handler);
void keyboardHandlerUnregister(KeyboardHandler handler);
void nativeInit(UINT64 hash);
void nativePush64(UINT64 value);
PUINT64 nativeCall();
#ifndef _WIN32
// The stand-in's virtual clock; on Windows the system's own GetTickCount is used.
DWORD GetTickCount();
#endif
}
