// The game's side of every native the module calls: decode the arguments with the host's
// slot encodings, act on the World, write the result slots.

#include <algorithm>
#include <cstring>

#include "standin/game.h"

namespace {

// The string arguments are read through the call record, which keeps a copy of the text: no
// second copy is made for the world's lookups.
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
    const bool loaded = game.world.DictionaryLoaded(StringArgument(game, 0), game.FrameNumber());
    game.ResultInt(loaded ? 1 : 0);
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
    WorldEntity *entity = game.world.Find(ped);
    if (entity == nullptr || entity->kind != EntityKind::ped)
        return;
    entity->animationDictionary = dictionary;
    entity->animationClip = clip;
    entity->animationDuration = game.ArgInt(5);
    entity->animationFlags = game.ArgInt(6);
    ++entity->animationCalls;
}

void AfterPlayAnim(Game &) {}

void DoesCamExist(Game &game) {
    game.ResultInt(game.world.FindCamera(game.ArgInt(0)) != nullptr ? 1 : 0);
}

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
        {0xFD340785ADF8CFB7, "GET_HASH_KEY", "s", GetHashKey},
        {0x096275889B8E0EE0, "PLAYER_PED_ID", "", PlayerPedId},
        {0xAAA34F8A7CB32098, "CLEAR_PED_TASKS_IMMEDIATELY", "hii", ClearPedTasksImmediately},
        {0xA862A2AD321F94B4, "REQUEST_ANIM_DICT", "s", RequestAnimDict},
        {0x27FF6FE8009B40CA, "HAS_ANIM_DICT_LOADED", "s", HasAnimDictLoaded},
        {0xA6817C110B830EAD, "GET_ENTITY_PLAYER_IS_FREE_AIMING_AT", "io",
         GetEntityPlayerIsFreeAimingAt},
        {0x936F967D4BE1CE9D, "IS_PLAYER_FREE_AIMING", "i", IsPlayerFreeAiming},
        {0xD42BD6EB2E0F1677, "DOES_ENTITY_EXIST", "h", DoesEntityExist},
        {0xDA76A9F39210D365, "GET_ENTITY_MODEL", "h", GetEntityModel},
        {0xCF8176912DDA4EA5, "IS_ENTITY_A_PED", "h", IsEntityAPed},
        {0xB980061DA992779D, "IS_PED_HUMAN", "h", IsPedHuman},
        {0x4170B650590B3B00, "SET_TEXT_SCALE", "ff", SetTextScale},
        {0xD79334A4BB99BAD1, "DRAW_TEXT", "sff", DrawText},
        {0xEA47FE3719165B94, "TASK_PLAY_ANIM", "hssiiiiiiiiii", TaskPlayAnim},
        {0x36CDD81627A6FCD2, "AFTER_PLAY_ANIM", "", AfterPlayAnim},
        {0x153AD457764FD704, "DOES_CAM_EXIST", "h", DoesCamExist},
        {0x57CDF879EA466C46, "CREATE_CAM", "ui", CreateCam},
        {0x1899F328B0E12848, "GET_OFFSET_FROM_ENTITY_IN_WORLD_COORDS", "hfff",
         GetOffsetFromEntityInWorldCoords},
        {0xF9EE7D419EE49DE6, "SET_CAM_COORD", "hfff", SetCamCoord},
        {0xC230DD956E2F5507, "GET_ENTITY_HEADING", "h", GetEntityHeading},
        {0x63DFA6810AD78719, "SET_CAM_ROT", "hfffi", SetCamRot},
        {0x27666E5988D9D429, "SET_CAM_FOV", "hf", SetCamFov},
        {0x33281167E4942E4F, "RENDER_SCRIPT_CAMS", "iiiiii", RenderScriptCams},
        {0x87295BCA613800C8, "SET_CAM_ACTIVE", "hb", SetCamActive},
        {0x4E67E0B6D7FD5145, "DESTROY_CAM", "hi", DestroyCam},
        {0x5653AB26C82938CF, "SET_PED_FACE_FEATURE", "hdf", SetPedFaceFeature},
    };
    return natives;
}

int NativeInfo::ArgumentCount() const { return static_cast<int>(std::strlen(arguments)); }

const NativeInfo *FindNative(uint64_t hash) {
    const std::vector<NativeInfo> &natives = AllNatives();
    auto found = std::find_if(natives.begin(), natives.end(),
                              [hash](const NativeInfo &native) { return native.hash == hash; });
    return found == natives.end() ? nullptr : &*found;
}
