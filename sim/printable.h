// Text from outside made fit for a one-line message: control bytes escaped, long text cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The most bytes of a text a message shows before it cuts the rest off.
constexpr std::size_t printableLength = 200;

// TEXT with \n, \r, \t by name and other control bytes as \xNN, cut after LIMIT bytes ("...").
std::string Printable(std::string_view text, std::size_t limit = printableLength);

// "1 byte", "2 bytes".
inline std::string Counted(uint64_t count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// As Printable, in double quotes, with quotes and backslashes inside escaped.
std::string PrintableQuoted(std::string_view text, std::size_t limit = printableLength);
