#pragma once

#include <string>

// printf-style formatting in the "C" locale through a 2048-byte buffer: at most 2047
// characters are kept (longer output is cut), and a failed conversion gives "".

// The formatted text as a new string.
std::string FormatString(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Appends the formatted text to `text`, which keeps its storage: for a text built from many
// lines in every frame, without a string per line. A failed conversion appends nothing.
void AppendFormatted(std::string &text, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
