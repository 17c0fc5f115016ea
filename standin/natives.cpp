// The game's side of every native: decode the slots, act on the World, write the results.

#include <algorithm>
#include <cstring>

#include "standin/game.h"

namespace {

// A string argument as the call record keeps it, with no second copy for lookups.
const std::string &StringArgument(Game &game, int index) {
    game.ArgString(index);
    return game.CurrentCall().text;
}

void GetHashKey(Game &game) { game.ResultInt(game.world.HashForName(StringArgument(game, 0))); }

void PlayerPedId(Game &game) { game.ResultInt(static_cast<uint32_t>(game.world.playerPed)); }

void ClearPedTasksImmediately(Game &game) {
    const int32_t ped = game.ArgInt(0);
    game.ArgInt(1);
    game.ArgInt(2);
    game.world.ClearTasks(ped);
}

void RequestAnimDict(Game &game) {
    game.world.RequestDictionary(StringArgument(game, 0), game.FrameNumber());
}

void HasAnimDictLoaded(Game &game) {
    game.ResultInt(game.world.DictionaryLoaded(StringArgument(game, 0), game.FrameNumber()));
}

void GetEntityPlayerIsFreeAimingAt(Game &game) {
    game.ArgInt(0);
    *game.ArgOut(1) = game.world.AimedEntityForNative();
    game.ResultInt(game.world.AimedEntityForNative() != 0 ? 1 : 0);
}

void IsPlayerFreeAiming(Game &game) {
    game.ArgInt(0);
    game.ResultInt(game.world.freeAiming ? 1 : 0);
}

void DoesEntityExist(Game &game) { game.ResultInt(game.world.Exists(game.ArgInt(0)) ? 1 : 0); }

void GetEntityModel(Game &game) {
    const WorldEntity *entity = game.world.Find(game.ArgInt(0));
    game.ResultInt(entity != nullptr ? entity->model : 0);
}

void IsEntityAPed(Game &game) {
    const WorldEntity *entity = game.world.Find(game.ArgInt(0));
    game.ResultInt(entity != nullptr && entity->kind == EntityKind::ped ? 1 : 0);
}

void IsPedHuman(Game &game) {
    const WorldEntity *entity = game.world.Find(game.ArgInt(0));
    game.ResultInt(entity != nullptr && entity->kind == EntityKind::ped && entity->human ? 1 : 0);
}

void SetTextScale(Game &game) {
    game.textScaleX = game.ArgFloat(0);
    game.textScaleY = game.ArgFloat(1);
    game.textScaleSet = true;
}

void DrawText(Game &game) {
    const std::string &text = StringArgument(game, 0);
    game.RecordText(text, game.ArgFloat(1), game.ArgFloat(2));
}

void TaskPlayAnim(Game &game) {
    const int32_t ped = game.ArgInt(0);
    const char *dictionary = game.ArgString(1);
    const char *clip = game.ArgString(2);
    for (int i = 3; i < 13; ++i)
        game.ArgUnsigned(i);
    if (!game.world.DictionaryLoaded(dictionary, game.FrameNumber()))
        game.Stop(std::string("clip '") + clip + "' was played from the dictionary '" + dictionary +
                  "', which is not loaded");
    WorldEntity *entity = game.world.Find(ped);
    if (entity == nullptr || entity->kind != EntityKind::ped)
        return;
    entity->animationDictionary = dictionary;
    entity->animationClip = clip;
    entity->animationDuration = game.ArgInt(5);
    entity->animationFlags = game.ArgInt(6);
    ++entity->animationCalls;
}

void HideHudAndRadarThisFrame(Game &) {}

void DoesCamExist(Game &game) { game.ResultInt(game.world.FindCamera(game.ArgInt(0)) != nullptr); }

void CreateCam(Game &game) {
    const uint32_t type = game.ArgUnsigned(0);
    game.ArgInt(1);
    game.ResultInt(static_cast<uint32_t>(game.world.CreateCamera(type)));
}

void GetOffsetFromEntityInWorldCoords(Game &game) {
    const WorldEntity *entity = game.world.Find(game.ArgInt(0));
    const Vec3 offset{game.ArgFloat(1), game.ArgFloat(2), game.ArgFloat(3)};
    const Vec3 point = entity != nullptr ? World::OffsetPoint(*entity, offset) : Vec3{};
    game.ResultFloat(point.x, 0);
    game.ResultFloat(point.y, 1);
    game.ResultFloat(point.z, 2);
}

void SetCamCoord(Game &game) {
    WorldCamera *camera = game.world.FindCamera(game.ArgInt(0));
    const Vec3 position{game.ArgFloat(1), game.ArgFloat(2), game.ArgFloat(3)};
    if (camera != nullptr)
        camera->position = position;
}

void GetEntityHeading(Game &game) {
    const WorldEntity *entity = game.world.Find(game.ArgInt(0));
    game.ResultFloat(entity != nullptr ? entity->heading : 0.0f);
}

void SetCamRot(Game &game) {
    WorldCamera *camera = game.world.FindCamera(game.ArgInt(0));
    const Vec3 rotation{game.ArgFloat(1), game.ArgFloat(2), game.ArgFloat(3)};
    const int32_t order = game.ArgInt(4);
    if (camera == nullptr)
        return;
    camera->rotation = rotation;
    camera->rotationOrder = order;
}

void SetCamFov(Game &game) {
    WorldCamera *camera = game.world.FindCamera(game.ArgInt(0));
    const float fieldOfView = game.ArgFloat(1);
    if (camera != nullptr)
        camera->fieldOfView = fieldOfView;
}

void RenderScriptCams(Game &game) {
    game.world.renderScriptCams.called = true;
    for (int i = 0; i < 6; ++i)
        game.world.renderScriptCams.args[i] = game.ArgInt(i);
}

void SetCamActive(Game &game) {
    WorldCamera *camera = game.world.FindCamera(game.ArgInt(0));
    const bool active = game.ArgUnsigned(1) != 0;
    if (camera != nullptr)
        camera->active = active;
}

void DestroyCam(Game &game) {
    const int32_t handle = game.ArgInt(0);
    game.ArgInt(1);
    game.world.DestroyCamera(handle);
}

void SetPedFaceFeature(Game &game) {
    const int32_t ped = game.ArgInt(0);
    const uint32_t id = game.ArgUnsigned(1);
    const float value = game.ArgFloat(2);
    if (game.world.Exists(ped))
        game.world.faceFeatures[ped][id] = value;
}

} // namespace

const std::vector<NativeInfo> &AllNatives() {
    static const std::vector<NativeInfo> natives = {
        {hashes::getHashKey, "MISC::GET_HASH_KEY", "s", 'i', GetHashKey},
        {hashes::playerPedId, "PLAYER::PLAYER_PED_ID", "", 'i', PlayerPedId},
        {hashes::clearPedTasks, "TASK::CLEAR_PED_TASKS_IMMEDIATELY", "hii", 'v',
         ClearPedTasksImmediately},
        {hashes::requestAnimDict, "STREAMING::REQUEST_ANIM_DICT", "s", 'v', RequestAnimDict},
        {hashes::hasAnimDictLoaded, "STREAMING::HAS_ANIM_DICT_LOADED", "s", 'i', HasAnimDictLoaded},
        {hashes::freeAimTarget, "PLAYER::GET_ENTITY_PLAYER_IS_FREE_AIMING_AT", "io", 'i',
         GetEntityPlayerIsFreeAimingAt},
        {hashes::isFreeAiming, "PLAYER::IS_PLAYER_FREE_AIMING", "i", 'i', IsPlayerFreeAiming},
        {hashes::doesEntityExist, "ENTITY::DOES_ENTITY_EXIST", "h", 'i', DoesEntityExist},
        {hashes::entityModel, "ENTITY::GET_ENTITY_MODEL", "h", 'i', GetEntityModel},
        {hashes::isEntityAPed, "ENTITY::IS_ENTITY_A_PED", "h", 'i', IsEntityAPed},
        {hashes::isPedHuman, "PED::IS_PED_HUMAN", "h", 'i', IsPedHuman},
        {hashes::setTextScale, "HUD::SET_TEXT_SCALE", "ff", 'v', SetTextScale},
        {hashes::drawText, "HUD::_DISPLAY_TEXT", "sff", 'v', DrawText},
        {hashes::taskPlayAnim, "TASK::TASK_PLAY_ANIM", "hssiiiiiiiiii", 'v', TaskPlayAnim},
        {hashes::hideHudThisFrame, "HUD::HIDE_HUD_AND_RADAR_THIS_FRAME", "", 'v',
         HideHudAndRadarThisFrame},
        {hashes::doesCamExist, "CAM::DOES_CAM_EXIST", "h", 'i', DoesCamExist},
        {hashes::createCam, "CAM::CREATE_CAMERA", "ui", 'i', CreateCam},
        {hashes::offsetPoint, "ENTITY::GET_OFFSET_FROM_ENTITY_IN_WORLD_COORDS", "hfff", '3',
         GetOffsetFromEntityInWorldCoords},
        {hashes::setCamCoord, "CAM::SET_CAM_COORD", "hfff", 'v', SetCamCoord},
        {hashes::entityHeading, "ENTITY::GET_ENTITY_HEADING", "h", 'f', GetEntityHeading},
        {hashes::setCamRot, "CAM::SET_CAM_ROT", "hfffi", 'v', SetCamRot},
        {hashes::setCamFov, "CAM::SET_CAM_FOV", "hf", 'v', SetCamFov},
        {hashes::renderScriptCams, "CAM::RENDER_SCRIPT_CAMS", "iiiiii", 'v', RenderScriptCams},
        {hashes::setCamActive, "CAM::SET_CAM_ACTIVE", "hb", 'v', SetCamActive},
        {hashes::destroyCam, "CAM::DESTROY_CAM", "hi", 'v', DestroyCam},
        {hashes::setFaceFeature, "PED::_SET_CHAR_EXPRESSION", "hdf", 'v', SetPedFaceFeature},
    };
    return natives;
}

int NativeInfo::ArgumentCount() const { return static_cast<int>(std::strlen(arguments)); }

const char *NativeInfo::ShortName() const {
    const char *separator = std::strstr(name, "::");
    return separator != nullptr ? separator + 2 : name;
}

const NativeInfo *FindNative(uint64_t hash) {
    const std::vector<NativeInfo> &natives = AllNatives();
    auto found = std::find_if(natives.begin(), natives.end(),
                              [hash](const NativeInfo &native) { return native.hash == hash; });
    return found == natives.end() ? nullptr : &*found;
}
