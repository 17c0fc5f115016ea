// The stand-in's native table against the public native database
// (tests/data/natives-public.tsv), and every argument the module pushes in a whole session
// against the public parameter type it stands for.

#include <map>
#include <sstream>

#include "support/game_fixture.h"

namespace {

struct PublicNative {
    std::string name;
    std::string returns;
    std::string parameters;
};

std::map<uint64_t, PublicNative> ReadPublicNatives() {
    std::map<uint64_t, PublicNative> natives;
    for (const std::string &line : ReadLines(PFE_TEST_DATA "/natives-public.tsv")) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string hash;
        PublicNative native;
        std::getline(fields, hash, '\t');
        std::getline(fields, native.name, '\t');
        std::getline(fields, native.returns, '\t');
        std::getline(fields, native.parameters, '\t');
        natives[std::stoull(hash, nullptr, 16)] = native;
    }
    return natives;
}

// The type of each parameter: "Ped ped; BOOL p1" gives {"Ped", "BOOL"}.
std::vector<std::string> ParameterTypes(const std::string &parameters) {
    std::vector<std::string> types;
    std::istringstream list(parameters);
    for (std::string parameter; std::getline(list, parameter, ';');) {
        const std::size_t first = parameter.find_first_not_of(' ');
        const std::size_t last = parameter.rfind(' ');
        if (first != std::string::npos)
            types.push_back(parameter.substr(first, last - first));
    }
    return types;
}

// The result kind the module must read for a public return type.
char ResultKind(const std::string &returns) {
    if (returns == "void")
        return 'v';
    if (returns == "float")
        return 'f';
    if (returns == "Vector3")
        return '3';
    return 'i'; // BOOL, int, Hash and handles: 32 bits in the low half of slot 0
}

TEST(NativeTable, HoldsThePublicFactsOfEveryNative) {
    const std::map<uint64_t, PublicNative> published = ReadPublicNatives();
    ASSERT_GE(published.size(), AllNatives().size());
    for (const NativeInfo &native : AllNatives()) {
        SCOPED_TRACE(native.name);
        const auto found = published.find(native.hash);
        ASSERT_NE(found, published.end()) << "not in the public database";
        EXPECT_EQ(native.name, found->second.name);
        EXPECT_EQ(static_cast<std::size_t>(native.ArgumentCount()),
                  ParameterTypes(found->second.parameters).size());
        EXPECT_EQ(native.result, ResultKind(found->second.returns));
    }
}

// Whether a slot the module pushed is a valid encoding of the public parameter type. A 32-bit
// value travels zero-extended; a float parameter takes a float's bits (the module may push an
// integer there only when its bits are a float's: 0); a BOOL is 0 or 1; a string is an address
// or null; an out-parameter an address.
std::string CheckSlot(const std::string &type, char kind, uint64_t slot) {
    const bool narrow = (slot >> 32) == 0;
    if (type == "const char*")
        return kind == 's' || slot == 0 ? "" : "is neither a string nor null";
    if (type.back() == '*')
        return kind == 'o' && slot != 0 ? "" : "is not an address to write to";
    if (!narrow)
        return "is not a zero-extended 32-bit value";
    if (type == "float")
        return kind == 'f' || slot == 0 ? "" : "is an integer other than 0 for a float";
    if (type == "BOOL")
        return slot <= 1 ? "" : "is a BOOL other than 0 or 1";
    return kind != 'f' ? "" : "is a float for an integer parameter";
}

using NativeArguments = GameTest;

TEST_F(NativeArguments, EverySlotTheModulePushesIsAValidEncodingOfItsPublicType) {
    const std::map<uint64_t, PublicNative> published = ReadPublicNatives();
    std::vector<NativeCallRecord> calls;
    game.callObserver = [&calls](const NativeCallRecord &call) { calls.push_back(call); };
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    Aim(2);
    game.RunFrame();
    Tap(keys::f7);
    Tap(keys::right, 2);
    Tap(keys::down);
    Tap(keys::left);
    Tap(keys::f8);
    Tap(keys::del);
    Aim(0);
    Tap(keys::f7);
    game.UnloadModule();

    std::map<uint64_t, int> seen;
    for (const NativeCallRecord &call : calls) {
        const NativeInfo *native = FindNative(call.hash);
        ASSERT_NE(native, nullptr);
        ++seen[call.hash];
        const std::vector<std::string> types = ParameterTypes(published.at(call.hash).parameters);
        for (int i = 0; i < call.argumentCount; ++i) {
            const std::size_t index = static_cast<std::size_t>(i);
            const std::string fault =
                CheckSlot(types[index], native->arguments[index], call.arguments[index]);
            EXPECT_EQ(fault, "") << native->name << " argument " << i + 1 << " (" << types[index]
                                 << "): 0x" << std::hex << call.arguments[index];
        }
    }
    EXPECT_EQ(seen.size(), AllNatives().size()) << "the session must call every native";
}

TEST(NativeArgumentCheck, RefusesWhatThePublicTypeCannotTake) {
    EXPECT_EQ(CheckSlot("float", 'i', 0), "");
    EXPECT_NE(CheckSlot("float", 'i', 1), "");
    EXPECT_NE(CheckSlot("BOOL", 'i', 2), "");
    EXPECT_NE(CheckSlot("int", 'i', 0xFFFFFFFFFFFFFFFFull), "");
    EXPECT_EQ(CheckSlot("const char*", 'i', 0), "");
    EXPECT_NE(CheckSlot("const char*", 'i', 5), "");
    EXPECT_NE(CheckSlot("Entity*", 'o', 0), "");
}

} // namespace
