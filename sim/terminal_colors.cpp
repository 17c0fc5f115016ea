#include "sim/terminal_colors.h"

#ifndef _WIN32

#include <curses.h>
#include <term.h>

namespace {

bool ready = false;
int colorCount = 0;

bool Present(const char *sequence) {
    return sequence != nullptr && sequence != reinterpret_cast<char *>(-1);
}

} // namespace

bool TerminalHasColors(int fileDescriptor) {
    int error = 0;
    ready = false;
    if (cur_term != nullptr) // the description read by an earlier call
        del_curterm(cur_term);
    if (setupterm(nullptr, fileDescriptor, &error) != OK)
        return false;
    colorCount = tigetnum("colors");
    ready = colorCount >= 8 && Present(tigetstr("setaf")) && Present(tigetstr("sgr0"));
    return ready;
}

std::string ColorSequence(int color) {
    if (!ready)
        return "";
    if (color == 0 || color >= colorCount)
        return tigetstr("sgr0");
    const char *sequence = tiparm(tigetstr("setaf"), color);
    return sequence != nullptr ? sequence : "";
}

#else // _WIN32: the console's colours are not asked for

bool TerminalHasColors(int) { return false; }

std::string ColorSequence(int) { return ""; }

#endif
