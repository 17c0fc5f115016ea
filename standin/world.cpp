#include "standin/world.h"

#include "standin/game_error.h"
#include "standin/game_facts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

uint32_t HashOfName(const std::string &name) {
    uint32_t hash = 0;
    for (unsigned char c : name) {
        hash += static_cast<uint32_t>(std::tolower(c));
        hash += hash << 10;
        hash ^= hash >> 6;
    }
    hash += hash << 3;
    hash ^= hash >> 11;
    hash += hash << 15;
    return hash;
}

WorldEntity &World::Spawn(int32_t handle, EntityKind kind, uint32_t model, bool human) {
    if (handle <= 0)
        throw GameError(GameError::Kind::requestRefused, "entity handles are positive integers");
    if (entities.count(handle) != 0)
        throw GameError(GameError::Kind::requestRefused,
                        "entity " + std::to_string(handle) + " exists already");
    WorldEntity &entity = entities[handle];
    entity.handle = handle;
    entity.kind = kind;
    entity.model = model;
    entity.human = kind == EntityKind::ped && human;
    return entity;
}

WorldEntity &SpawnDefaultPlayer(World &world) {
    WorldEntity &player = world.Spawn(facts::defaultPlayerPed, EntityKind::ped,
                                      world.HashForName(facts::defaultPlayerModel), true);
    world.playerPed = player.handle;
    return player;
}

bool World::Exists(int32_t handle) const { return entities.count(handle) != 0; }

WorldEntity *World::Find(int32_t handle) {
    return const_cast<WorldEntity *>(static_cast<const World *>(this)->Find(handle));
}

const WorldEntity *World::Find(int32_t handle) const {
    const auto found = entities.find(handle);
    return found == entities.end() ? nullptr : &found->second;
}

void World::Remove(int32_t handle) { entities.erase(handle); }

int32_t World::AimedEntityForNative() const { return Exists(aimTarget) ? aimTarget : 0; }

uint32_t World::HashForName(const std::string &name) const {
    auto forced = forcedHashes.find(name);
    return forced != forcedHashes.end() ? forced->second : HashOfName(name);
}

void World::RequestDictionary(const std::string &name, uint64_t frame) {
    ++dictionaryRequests;
    AnimationDictionary &dictionary = dictionaries[name];
    if (dictionary.requested && !dictionary.dropped)
        return;
    dictionary.requested = true;
    dictionary.dropped = false;
    dictionary.requestedFrame = frame;
}

bool World::DictionaryLoaded(const std::string &name, uint64_t frame) const {
    auto found = dictionaries.find(name);
    if (found == dictionaries.end() || !found->second.requested || found->second.dropped ||
        knownDictionaries.count(name) == 0)
        return false;
    return frame >= found->second.requestedFrame + dictionaryDelayFrames;
}

void World::DropDictionary(const std::string &name) {
    auto found = dictionaries.find(name);
    if (found != dictionaries.end())
        found->second.dropped = true;
}

void World::ClearTasks(int32_t ped) {
    clearTasksCalls.push_back(ped);
    WorldEntity *entity = Find(ped);
    if (entity == nullptr)
        return;
    entity->animationDictionary.clear();
    entity->animationClip.clear();
}

// A failed creation still uses up its handle, so the handle never names a camera later.
int32_t World::CreateCamera(uint32_t type) {
    const int32_t handle = nextCameraHandle++;
    if (type != facts::scriptedCameraType)
        return handle;
    if (failingCameraCreations > 0) {
        --failingCameraCreations;
    } else {
        cameras[handle].handle = handle;
        cameras[handle].type = type;
    }
    return handle;
}

WorldCamera *World::FindCamera(int32_t handle) {
    const auto found = cameras.find(handle);
    return found == cameras.end() ? nullptr : &found->second;
}

void World::DestroyCamera(int32_t handle) { cameras.erase(handle); }

bool World::AnyActiveCamera() const {
    return std::ranges::any_of(cameras, [](const auto &entry) { return entry.second.active; });
}

std::optional<float> World::FaceFeature(int32_t ped, uint32_t id) const {
    const auto features = faceFeatures.find(ped);
    if (features == faceFeatures.end())
        return std::nullopt;
    const auto value = features->second.find(id);
    return value == features->second.end() ? std::nullopt : std::optional(value->second);
}

// The offset is in the entity's own frame: rotated by its heading about the z axis.
Vec3 World::OffsetPoint(const WorldEntity &entity, Vec3 offset) {
    const double radians = static_cast<double>(entity.heading) * 3.14159265358979323846 / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return Vec3{static_cast<float>(entity.position.x + offset.x * c - offset.y * s),
                static_cast<float>(entity.position.y + offset.x * s + offset.y * c),
                entity.position.z + offset.z};
}
