// One typed wrapper per game native the editor calls. This is the only way from the editor
// to the game: no other code builds native calls or touches result slots.
#pragma once

#include <cstdint>

typedef int32_t Entity;
typedef int32_t Ped;
typedef int32_t Camera;

struct Vector3 {
    float x;
    float y;
    float z;
};

uint32_t GetHashKey(const char *name);
Ped PlayerPedId();
void ClearPedTasksImmediately(Ped ped, int32_t arg2, int32_t arg3);
void RequestAnimDict(const char *dictionary);
bool HasAnimDictLoaded(const char *dictionary);
void GetEntityPlayerIsFreeAimingAt(int32_t player, Entity *entity);
bool IsPlayerFreeAiming(int32_t player);
bool DoesEntityExist(Entity entity);
uint32_t GetEntityModel(Entity entity);
bool IsEntityAPed(Entity entity);
bool IsPedHuman(Ped ped);
void SetTextScale(float xScale, float yScale);
void DrawScreenText(const char *text, float x, float y);
void TaskPlayAnim(Ped ped, const char *dictionary, const char *clip, int32_t arg4, int32_t arg5,
                  int32_t duration, int32_t flags, int32_t arg8, int32_t arg9, int32_t arg10,
                  int32_t arg11, int32_t arg12, int32_t arg13);
void HideHudAndRadarThisFrame();
bool DoesCamExist(Camera camera);
Camera CreateCam(uint32_t cameraType, int32_t arg2);
Vector3 GetOffsetFromEntityInWorldCoords(Entity entity, float x, float y, float z);
void SetCamCoord(Camera camera, float x, float y, float z);
float GetEntityHeading(Entity entity);
void SetCamRot(Camera camera, float x, float y, float z, int32_t rotationOrder);
void SetCamFov(Camera camera, float fieldOfView);
void RenderScriptCams(int32_t render, int32_t ease, int32_t easeTime, int32_t arg4, int32_t arg5,
                      int32_t arg6);
void SetCamActive(Camera camera, bool active);
void DestroyCam(Camera camera, int32_t arg2);
void SetPedFaceFeature(Ped ped, uint32_t featureId, float value);
