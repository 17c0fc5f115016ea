#include "sim/printable.h"

#include <cstdio>

namespace {

std::string Escaped(std::string_view text, std::size_t limit, bool quoted) {
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\r' || c == '\t') {
            shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            if (quoted && (c == '"' || c == '\\'))
                shown += '\\';
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > limit)
        shown += "...";
    return shown;
}

} // namespace

std::string Printable(std::string_view text, std::size_t limit) {
    return Escaped(text, limit, false);
}

std::string PrintableQuoted(std::string_view text, std::size_t limit) {
    return "\"" + Escaped(text, limit, true) + "\"";
}
