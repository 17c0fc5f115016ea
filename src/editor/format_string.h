#pragma once

#include <string>

// printf-style formatting into a new string, through a zero-filled 2048-byte buffer: at most
// 2047 characters are kept (longer output is cut), and a failed conversion gives "".
std::string FormatString(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
