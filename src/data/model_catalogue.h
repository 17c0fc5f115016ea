// The ped model catalogue and the map from model hash to name, built once at script start by
// having the game hash every catalogue name.
#pragma once

#include <cstdint>
#include <map>
#include <string>

constexpr int pedModelNameCount = 1271;

extern const std::string pedModelNames[pedModelNameCount];
extern std::map<uint32_t, std::string> modelNamesByHash;

void BuildModelNameMap();
// The name filed for the hash, or null when the catalogue has none. Never inserts.
const std::string *FindModelName(uint32_t modelHash);
