#include "sim/play_keys.h"

#include <curses.h>

#include <iterator>
#include <map>
#include <string_view>

#include "sim/keys.h"
#include "sim/printable.h"

namespace {

constexpr int escapeKey = 27;
constexpr int controlC = 3, controlD = 4, controlZ = 26;

// play's own keys, beside the editor's.
struct PlayControl {
    int code;
    PlayKey key;
    const char *name;
};
const PlayControl playControls[] = {{'\t', PlayKey::aimNext, "Tab"},
                                    {KEY_BTAB, PlayKey::aimPrevious, "Shift-Tab"},
                                    {'q', PlayKey::quit, "q"},
                                    {'Q', PlayKey::quit, "Q"},
                                    {controlC, PlayKey::quit, "Ctrl-C"},
                                    {controlD, PlayKey::quit, "Ctrl-D"},
                                    {controlZ, PlayKey::suspend, "Ctrl-Z"},
                                    {KEY_RESIZE, PlayKey::resize, ""}};

std::map<int, const EditorKey *> keyCodes; // the library's code for each key of the table
// Keys are read through a pad: reading through a window draws it (a plain terminal prints it).
WINDOW *keyPad = nullptr;

DecodedKey Key(PlayKey key, std::string name, uint32_t virtualKey = 0) {
    return DecodedKey{key, virtualKey, std::move(name)};
}

std::string NameOf(int code) {
    const char *name = keyname(code);
    return name != nullptr ? Printable(name) : "code " + std::to_string(code);
}

DecodedKey Decode(int code) {
    const auto found = keyCodes.find(code);
    if (found != keyCodes.end())
        return Key(PlayKey::gameKey, found->second->displayName, found->second->virtualKey);
    for (const PlayControl &control : playControls)
        if (control.code == code)
            return Key(control.key, control.name);
    return Key(PlayKey::other, NameOf(code));
}

} // namespace

std::string LearnKeys() {
    std::string missing;
    keyPad = newpad(1, 1);
    keypad(keyPad, TRUE);
    keyCodes.clear();
    for (const EditorKey &key : editorKeys) {
        const char *sequence = tigetstr(key.terminfoName);
        const int code = sequence != nullptr && sequence != reinterpret_cast<char *>(-1)
                             ? key_defined(sequence)
                             : 0;
        if (code > 0)
            keyCodes[code] = &key;
        else
            missing += (missing.empty() ? "" : " ") + std::string(key.displayName);
    }
    return missing;
}

// Esc alone waits out the escape delay; a key with it is Alt and that key, which no key uses.
DecodedKey ReadKey(int waitMilliseconds) {
    wtimeout(keyPad, waitMilliseconds);
    const int code = wgetch(keyPad);
    if (code == ERR)
        return DecodedKey{};
    if (code != escapeKey)
        return Decode(code);
    wtimeout(keyPad, 0);
    const int next = wgetch(keyPad);
    if (next == ERR)
        return Key(PlayKey::quit, "Esc");
    const DecodedKey with = next == escapeKey ? Key(PlayKey::other, "Esc") : Decode(next);
    return Key(PlayKey::other, "Alt-" + with.name);
}

// Keys next to each other in the table that do the same share their place: "Left/Right step".
std::string HintLine() {
    std::string line = "pfe-sim";
    const std::size_t count = std::size(editorKeys);
    for (std::size_t i = 0; i < count;) {
        const std::string_view does = editorKeys[i].does;
        std::string names = editorKeys[i].displayName;
        for (++i; i < count && does == editorKeys[i].does; ++i)
            names += std::string("/") + editorKeys[i].displayName;
        line += " | " + names + " " + std::string(does);
    }
    return line + " | Tab aim | q quit | ^Z suspend";
}

// Nothing counts after a quit; only keys that take a game turn count against the limit.
bool KeyQueue::Push(const DecodedKey &key) {
    const bool quit = key.key == PlayKey::quit, suspend = key.key == PlayKey::suspend;
    const bool turn = key.key == PlayKey::gameKey || key.key == PlayKey::aimNext ||
                      key.key == PlayKey::aimPrevious;
    if (quitWaiting || (suspend && suspendWaiting) || (turn && keys.size() >= limit) ||
        !(quit || suspend || turn))
        return false;
    quitWaiting = quit;
    suspendWaiting = suspendWaiting || suspend;
    keys.push_back(key);
    return true;
}

DecodedKey KeyQueue::Pop() {
    const DecodedKey key = keys.front();
    keys.pop_front();
    if (key.key == PlayKey::suspend)
        suspendWaiting = false;
    return key;
}
