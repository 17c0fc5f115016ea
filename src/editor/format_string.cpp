#include "editor/format_string.h"

#include <cstdarg>
#include <cstdio>

static constexpr int formatBufferSize = 2048;

std::string FormatString(const char *format, ...) {
    char buffer[formatBufferSize] = {};
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written < 0)
        return std::string();
    return std::string(buffer);
}
