#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, monotonic; wraps after about 49 days
// like the 32-bit tick count it stands in for, so compare with subtraction.
[[nodiscard]] uint32_t TickCount();

// Sleeps at least ms milliseconds (nothing for ms <= 0).
void SleepMs(int32_t ms);

} // namespace platform
