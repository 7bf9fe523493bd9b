#pragma once

#include <string>

// printf into a std::string of whatever length the text needs.
[[nodiscard]] std::string StringPrintf(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
