#include "editor/format_string.h"

#include <cstdarg>
#include <cstdio>

static constexpr int formatBufferSize = 2048;

// Formats into `buffer` and returns how many characters of it are the text. The buffer is not
// cleared first: vsnprintf terminates what it stores, and a failed conversion is length 0,
// whatever it left in the buffer.
static std::size_t FormatIntoBuffer(char (&buffer)[formatBufferSize], const char *format,
                                    va_list args) {
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (written < 0)
        return 0;
    if (written >= formatBufferSize)
        return formatBufferSize - 1;
    return static_cast<std::size_t>(written);
}

std::string FormatString(const char *format, ...) {
    char buffer[formatBufferSize];
    va_list args;
    va_start(args, format);
    const std::size_t length = FormatIntoBuffer(buffer, format, args);
    va_end(args);
    return std::string(buffer, length);
}

void AppendFormatted(std::string &text, const char *format, ...) {
    char buffer[formatBufferSize];
    va_list args;
    va_start(args, format);
    const std::size_t length = FormatIntoBuffer(buffer, format, args);
    va_end(args);
    text.append(buffer, length);
}
