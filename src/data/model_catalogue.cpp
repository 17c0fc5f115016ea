#include "data/model_catalogue.h"

#include "host/natives.h"

std::map<uint32_t, std::string> modelNamesByHash;

// The first name filed under a hash stays: a later catalogue name with the same hash is dropped.
void BuildModelNameMap() {
    for (const std::string &name : pedModelNames) {
        const uint32_t modelHash = GetHashKey(name.c_str());
        auto place = modelNamesByHash.lower_bound(modelHash);
        if (place != modelNamesByHash.end() && place->first == modelHash)
            continue;
        modelNamesByHash.emplace_hint(place, modelHash, name);
    }
}

const std::string *FindModelName(uint32_t modelHash) {
    const auto found = modelNamesByHash.find(modelHash);
    return found == modelNamesByHash.end() ? nullptr : &found->second;
}
