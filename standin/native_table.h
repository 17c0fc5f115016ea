// The natives the module may call: each by its public name, and how the module encodes its
// arguments and result in the host's slots. A test holds the table to the parameter and return
// types of the public native database (tests/data/natives-public.tsv), their one home here.
#pragma once

#include <cstdint>
#include <vector>

#include "standin/game_facts.h"

class Game;

// Argument kinds, one letter per argument in the order the module pushes them: h a handle,
// i a 32-bit integer, u a hash, d a feature id, b a boolean, f a float, s a string, o an
// out-parameter. Result kinds: v none, i a 32-bit value in the low half of slot 0, f a float
// there, 3 a vector of three floats, one in the low half of each of slots 0 to 2.
struct NativeInfo {
    uint64_t hash;
    const char *name;      // the public name with its namespace, e.g. "HUD::_DISPLAY_TEXT"
    const char *arguments; // the argument kinds the module pushes
    char result;           // the result kind the module reads
    void (*handler)(Game &game);
    int ArgumentCount() const;
    const char *ShortName() const; // the name without its namespace
};

const NativeInfo *FindNative(uint64_t hash);
const std::vector<NativeInfo> &AllNatives();
