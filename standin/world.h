// The stand-in's game world: what the module's natives ask about and change.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "standin/game_facts.h"

uint32_t HashOfName(const std::string &name); // the engine's one-at-a-time hash, lower-cased

enum class EntityKind { ped, vehicle, object };

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct WorldEntity {
    int32_t handle = 0;
    EntityKind kind = EntityKind::ped;
    uint32_t model = 0;
    bool human = true;
    Vec3 position;
    float heading = 0.0f;
    // Animation the ped plays; empty when it has none (never posed, or tasks cleared).
    std::string animationDictionary;
    std::string animationClip;
    int32_t animationDuration = 0;
    int32_t animationFlags = 0;
    int animationCalls = 0;
};

struct WorldCamera {
    int32_t handle = 0;
    uint32_t type = 0;
    Vec3 position;
    Vec3 rotation;
    int32_t rotationOrder = 0;
    float fieldOfView = 0.0f;
    bool active = false;
};

struct RenderScriptCamsState {
    bool called = false;
    int32_t args[6] = {};
};

struct AnimationDictionary {
    bool requested = false;
    uint64_t requestedFrame = 0;
    bool dropped = false; // the game let it go; loads again only after a new request
};

class World {
  public:
    // ---- entities ----
    WorldEntity &Spawn(int32_t handle, EntityKind kind, uint32_t model, bool human);
    bool Exists(int32_t handle) const;
    WorldEntity *Find(int32_t handle);
    const WorldEntity *Find(int32_t handle) const;
    void Remove(int32_t handle);
    const std::map<int32_t, WorldEntity> &Entities() const { return entities; }

    // ---- player ----
    int32_t playerPed = 0;
    bool freeAiming = false;
    int32_t aimTarget = 0; // kept when aiming stops, as the game keeps its last target
    int32_t AimedEntityForNative() const;

    // ---- names ----
    std::map<std::string, uint32_t> forcedHashes; // keyed by the name as given
    uint32_t HashForName(const std::string &name) const;

    // ---- animation dictionaries: only those the game has ever load ----
    std::set<std::string> knownDictionaries{facts::poseDictionary};
    uint32_t dictionaryDelayFrames = 0;
    std::map<std::string, AnimationDictionary> dictionaries;
    void RequestDictionary(const std::string &name, uint64_t frame);
    bool DictionaryLoaded(const std::string &name, uint64_t frame) const;
    void DropDictionary(const std::string &name);
    int dictionaryRequests = 0;

    // ---- tasks ----
    std::vector<int32_t> clearTasksCalls; // every clear-tasks call, by handle, in order
    void ClearTasks(int32_t ped);

    // ---- cameras ----
    std::map<int32_t, WorldCamera> cameras;
    int32_t nextCameraHandle = 1;
    // The next this many creations make no camera and return a handle that names none; so
    // does every creation of a type other than the scripted camera's.
    uint32_t failingCameraCreations = 0;
    RenderScriptCamsState renderScriptCams;
    int32_t CreateCamera(uint32_t type);
    WorldCamera *FindCamera(int32_t handle);
    void DestroyCamera(int32_t handle);
    bool AnyActiveCamera() const;

    // ---- face features, by ped handle and feature id (kept after the ped is gone) ----
    std::map<int32_t, std::map<uint32_t, float>> faceFeatures;
    std::optional<float> FaceFeature(int32_t ped, uint32_t id) const;

    static Vec3 OffsetPoint(const WorldEntity &entity, Vec3 offset);

  private:
    std::map<int32_t, WorldEntity> entities;
};

// The player's ped a world gets when it names none (facts::defaultPlayerPed).
WorldEntity &SpawnDefaultPlayer(World &world);
