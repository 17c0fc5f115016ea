// A float as the host's argument and result slots carry it: its 32-bit pattern in the low half.
#pragma once

#include <cstdint>
#include <cstring>

inline uint64_t FloatSlot(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float SlotFloat(uint64_t slot) {
    const uint32_t bits = static_cast<uint32_t>(slot);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
