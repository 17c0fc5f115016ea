// Native wrappers over the host's call protocol: nativeInit with the hash, one nativePush64
// per argument in order, nativeCall, then the result is read at once from the slots.
//
// Encodings: 32-bit integers, booleans and handles travel zero-extended (-1 as
// 0x00000000FFFFFFFF); floats as their 32-bit pattern in the low half of a zeroed slot;
// strings and out-parameters as addresses, alive until nativeCall returns; results are the
// low 32 bits of slot 0, a vector one float in the low half of each of three slots.

#include "host/natives.h"

#include <cstring>

#include "host/host_interface.h"

// ---- argument and result encodings -------------------------------------------------------

static void PushInt(int32_t value) { nativePush64(static_cast<uint32_t>(value)); }

static void PushUnsigned(uint32_t value) { nativePush64(value); }

static void PushBool(bool value) { nativePush64(value ? 1u : 0u); }

static void PushFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    nativePush64(bits);
}

static void PushAddress(const void *address) {
    nativePush64(static_cast<UINT64>(reinterpret_cast<uintptr_t>(address)));
}

static uint32_t LowBits(UINT64 slot) { return static_cast<uint32_t>(slot & 0xFFFFFFFFu); }

static float SlotFloat(UINT64 slot) {
    uint32_t bits = LowBits(slot);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

static uint32_t CallForUnsigned() { return LowBits(nativeCall()[0]); }

static int32_t CallForInt() { return static_cast<int32_t>(CallForUnsigned()); }

static bool CallForBool() { return CallForUnsigned() != 0; }

static float CallForFloat() { return SlotFloat(nativeCall()[0]); }

static Vector3 CallForVector() {
    const UINT64 *slots = nativeCall();
    return Vector3{SlotFloat(slots[0]), SlotFloat(slots[1]), SlotFloat(slots[2])};
}

// ---- the natives, in the order of the native table ---------------------------------------

uint32_t GetHashKey(const char *name) {
    nativeInit(0xFD340785ADF8CFB7);
    PushAddress(name);
    return CallForUnsigned();
}

Ped PlayerPedId() {
    nativeInit(0x096275889B8E0EE0);
    return CallForInt();
}

void ClearPedTasksImmediately(Ped ped, int32_t arg2, int32_t arg3) {
    nativeInit(0xAAA34F8A7CB32098);
    PushInt(ped);
    PushInt(arg2);
    PushInt(arg3);
    nativeCall();
}

void RequestAnimDict(const char *dictionary) {
    nativeInit(0xA862A2AD321F94B4);
    PushAddress(dictionary);
    nativeCall();
}

bool HasAnimDictLoaded(const char *dictionary) {
    nativeInit(0x27FF6FE8009B40CA);
    PushAddress(dictionary);
    return CallForBool();
}

void GetEntityPlayerIsFreeAimingAt(int32_t player, Entity *entity) {
    nativeInit(0xA6817C110B830EAD);
    PushInt(player);
    PushAddress(entity);
    nativeCall();
}

bool IsPlayerFreeAiming(int32_t player) {
    nativeInit(0x936F967D4BE1CE9D);
    PushInt(player);
    return CallForBool();
}

bool DoesEntityExist(Entity entity) {
    nativeInit(0xD42BD6EB2E0F1677);
    PushInt(entity);
    return CallForBool();
}

uint32_t GetEntityModel(Entity entity) {
    nativeInit(0xDA76A9F39210D365);
    PushInt(entity);
    return CallForUnsigned();
}

bool IsEntityAPed(Entity entity) {
    nativeInit(0xCF8176912DDA4EA5);
    PushInt(entity);
    return CallForBool();
}

bool IsPedHuman(Ped ped) {
    nativeInit(0xB980061DA992779D);
    PushInt(ped);
    return CallForBool();
}

void SetTextScale(float xScale, float yScale) {
    nativeInit(0x4170B650590B3B00);
    PushFloat(xScale);
    PushFloat(yScale);
    nativeCall();
}

void DrawScreenText(const char *text, float x, float y) {
    nativeInit(0xD79334A4BB99BAD1);
    PushAddress(text);
    PushFloat(x);
    PushFloat(y);
    nativeCall();
}

void TaskPlayAnim(Ped ped, const char *dictionary, const char *clip, int32_t arg4, int32_t arg5,
                  int32_t duration, int32_t flags, int32_t arg8, int32_t arg9, int32_t arg10,
                  int32_t arg11, int32_t arg12, int32_t arg13) {
    nativeInit(0xEA47FE3719165B94);
    PushInt(ped);
    PushAddress(dictionary);
    PushAddress(clip);
    PushInt(arg4);
    PushInt(arg5);
    PushInt(duration);
    PushInt(flags);
    PushInt(arg8);
    PushInt(arg9);
    PushInt(arg10);
    PushInt(arg11);
    PushInt(arg12);
    PushInt(arg13);
    nativeCall();
}

// Hides the game's HUD and radar for the frame it is called in. Issued right after every
// pose call; the editor relies on nothing it does.
void HideHudAndRadarThisFrame() {
    nativeInit(0x36CDD81627A6FCD2);
    nativeCall();
}

bool DoesCamExist(Camera camera) {
    nativeInit(0x153AD457764FD704);
    PushInt(camera);
    return CallForBool();
}

Camera CreateCam(uint32_t cameraType, int32_t arg2) {
    nativeInit(0x57CDF879EA466C46);
    PushUnsigned(cameraType);
    PushInt(arg2);
    return CallForInt();
}

Vector3 GetOffsetFromEntityInWorldCoords(Entity entity, float x, float y, float z) {
    nativeInit(0x1899F328B0E12848);
    PushInt(entity);
    PushFloat(x);
    PushFloat(y);
    PushFloat(z);
    return CallForVector();
}

void SetCamCoord(Camera camera, float x, float y, float z) {
    nativeInit(0xF9EE7D419EE49DE6);
    PushInt(camera);
    PushFloat(x);
    PushFloat(y);
    PushFloat(z);
    nativeCall();
}

float GetEntityHeading(Entity entity) {
    nativeInit(0xC230DD956E2F5507);
    PushInt(entity);
    return CallForFloat();
}

void SetCamRot(Camera camera, float x, float y, float z, int32_t rotationOrder) {
    nativeInit(0x63DFA6810AD78719);
    PushInt(camera);
    PushFloat(x);
    PushFloat(y);
    PushFloat(z);
    PushInt(rotationOrder);
    nativeCall();
}

void SetCamFov(Camera camera, float fieldOfView) {
    nativeInit(0x27666E5988D9D429);
    PushInt(camera);
    PushFloat(fieldOfView);
    nativeCall();
}

void RenderScriptCams(int32_t render, int32_t ease, int32_t easeTime, int32_t arg4, int32_t arg5,
                      int32_t arg6) {
    nativeInit(0x33281167E4942E4F);
    PushInt(render);
    PushInt(ease);
    PushInt(easeTime);
    PushInt(arg4);
    PushInt(arg5);
    PushInt(arg6);
    nativeCall();
}

void SetCamActive(Camera camera, bool active) {
    nativeInit(0x87295BCA613800C8);
    PushInt(camera);
    PushBool(active);
    nativeCall();
}

void DestroyCam(Camera camera, int32_t arg2) {
    nativeInit(0x4E67E0B6D7FD5145);
    PushInt(camera);
    PushInt(arg2);
    nativeCall();
}

void SetPedFaceFeature(Ped ped, uint32_t featureId, float value) {
    nativeInit(0x5653AB26C82938CF);
    PushInt(ped);
    PushUnsigned(featureId);
    PushFloat(value);
    nativeCall();
}
