#pragma once

#include <cstdarg>
#include <string>

// printf into a std::string of whatever length the text needs.
[[nodiscard]] std::string StringPrintf(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// The same over an argument list the caller started (and ends).
[[nodiscard]] std::string StringPrintfV(const char* format, va_list args)
    __attribute__((format(printf, 1, 0)));
