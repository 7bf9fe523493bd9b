#include "engine/CEcuParameters.h"

#include "foundation/CMBitReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

// Where a parameter sits and how its value is scaled: raw = floor((value +
// 0.00001) * mul / div) + add, clamped first to [min, max] and then to the
// raw field's capacity.
enum class ParamSupport : uint8_t {
    Never, // not in this generation
    Always,
    Index,       // an index + 1 field; read back 0 = not supported
    NonZero,     // read back 0 = not supported
    Valve1,      // item: while valve voltage 1 (item 57) read back is not 0
    AltRun,      // item group 61
    AltStart,    // item group 62
    Calibration, // item group 63
    Oxygen,      // item group 65
    Can,         // item group 69: reported through the CANBus protocol bit
};

struct CEcuParamCodec {
    uint8_t where = 0;   // item: item id; block: page 1 or 2; item throttle: point index
    uint8_t byte = 0;    // block: byte of the page
    uint8_t bit = 0;     // first bit within the item value or page byte
    uint8_t width = 0;   // bits within the item value or page byte
    uint8_t rawBits = 0; // capacity used for clamping (item: the read-back width)
    int32_t mul = 1;
    int32_t div = 1;
    int32_t add = 0;
    double min = 0;
    double max = 0;
    ParamSupport sup = ParamSupport::Never;
    uint8_t flags = 0;
};

namespace {

using S = ParamSupport;

constexpr uint8_t kReadOnly = 0x01;
constexpr uint8_t kBool = 0x02;        // any value other than 0 stores 1
constexpr uint8_t kIgnoreAbove = 0x04; // values above max are ignored, not clamped
constexpr uint8_t kThrottle = 0x08;    // item learned throttle point (packet-1 field)
constexpr uint8_t kCommand = 0x10;     // block immediate command (54, 72)

// Setter keys beyond the text ids.
constexpr int kKeyTemperatureUnit = 80;
constexpr int kKeyPumpMode = 81;
constexpr int kKeyTelemetryProtocol = 82;
constexpr int kKeyCount = 83;

enum class Fmt : uint8_t {
    D,          // "%d"
    DP0,        // "%.d" (0 prints nothing)
    F1,         // "%.1f"
    F2,         // "%.2f" / "%.02f"
    F3,         // "%.03f"
    Hex0,       // "%06X0" of the held value
    D0,         // "%d0" of the held value
    Tenths,     // "%d.%01d" of value * 10
    Hundredths, // "%d.%02d" of value * 100
};

// clang-format off
constexpr Fmt kFormat[kKeyCount] = {
    Fmt::D,                                                     // 0 unused
    Fmt::D, Fmt::D, Fmt::D, Fmt::F1, Fmt::D, Fmt::D, Fmt::D,    // 1-7
    Fmt::D, Fmt::D, Fmt::Hex0, Fmt::D0, Fmt::D, Fmt::D,         // 8-13
    Fmt::F1, Fmt::F1, Fmt::F1, Fmt::F1, Fmt::DP0, Fmt::DP0,     // 14-19
    Fmt::D, Fmt::D, Fmt::F2, Fmt::D, Fmt::D, Fmt::D, Fmt::D,    // 20-26
    Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D,             // 27-32
    Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::Tenths,        // 33-38
    Fmt::D, Fmt::Tenths, Fmt::D, Fmt::Hundredths,               // 39-42
    Fmt::Hundredths, Fmt::Tenths, Fmt::F1, Fmt::F1,             // 43-46
    Fmt::D, Fmt::D, Fmt::D, Fmt::F2, Fmt::D, Fmt::D, Fmt::D,    // 47-53
    Fmt::D, Fmt::F2, Fmt::D, Fmt::D, Fmt::F2, Fmt::F2,          // 54-59
    Fmt::F3, Fmt::D, Fmt::F1, Fmt::D, Fmt::D, Fmt::D, Fmt::D,   // 60-66
    Fmt::F2, Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D,    // 67-73
    Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D, Fmt::D,             // 74-79
    Fmt::D, Fmt::D, Fmt::D,                                     // 80-82
};

// Item generation. where = item id (the throttle points: point index),
// bit/width = place in the item value, rawBits = width the ECU reports the
// value back in.
//    where bit width raw  mul   div  add    min     max     support        flags
constexpr CEcuParamCodec kItem[kKeyCount] = {
    {},                                                                                // 0
    {0,  0, 0,  8,  8,   1,   10,    0,   0,      2550,    S::Always,      kReadOnly | kThrottle}, // 1
    {1,  0, 0,  8,  8,   1,   10,    0,   0,      2550,    S::Always,      kReadOnly | kThrottle}, // 2
    {2,  0, 0,  8,  8,   1,   10,    0,   0,      2550,    S::Always,      kReadOnly | kThrottle}, // 3
    {43, 0, 0,  8,  5,   10,  1,     0,   0.2,    2.5,     S::Always,      0},         // 4
    {44, 0, 0,  8,  3,   1,   1,     0,   0,      7,       S::Always,      0},         // 5
    {45, 0, 0,  8,  5,   1,   1,     0,   0,      16,      S::Always,      0},         // 6
    {46, 0, 0,  8,  3,   1,   1,     0,   0,      6,       S::Always,      0},         // 7
    {48, 0, 0,  8,  4,   1,   1,     1,   0,      11,      S::Index,       0},         // 8
    {66, 0, 0,  8,  2,   1,   1,     1,   0,      2,       S::Index,       kIgnoreAbove}, // 9
    {69, 0, 0,  24, 24,  1,   16,    0,   0,      268435455, S::Can,       0},         // 10
    {69, 0, 24, 8,  8,   1,   10,    0,   0,      1000,    S::Can,         0},         // 11
    {69, 0, 32, 8,  8,   1,   1,     0,   0,      7,       S::Can,         0},         // 12
    {49, 0, 0,  8,  7,   1,   10,    0,   400,    1100,    S::Always,      0},         // 13
    {15, 0, 0,  8,  8,   5,   1,     0,   6,      50,      S::Always,      0},         // 14
    {34, 0, 0,  8,  4,   10,  1,     0,   0.1,    0.8,     S::Always,      0},         // 15
    {35, 0, 0,  8,  8,   10,  1,     0,   1,      25,      S::Always,      0},         // 16
    {36, 0, 0,  8,  8,   10,  1,     0,   0.1,    25,      S::Always,      0},         // 17
    {37, 0, 0,  8,  8,   1,   1,     0,   2,      250,     S::Always,      0},         // 18
    {38, 0, 0,  8,  5,   1,   1,     0,   1,      30,      S::Always,      0},         // 19
    {17, 0, 0,  8,  8,   1,   100,   0,   100,    25000,   S::Always,      0},         // 20
    {18, 0, 0,  8,  8,   1,   100,   0,   100,    25000,   S::Always,      0},         // 21
    {26, 0, 0,  8,  8,   50,  1,     0,   0.1,    5,       S::Always,      0},         // 22
    {53, 0, 0,  8,  4,   1,   5,     0,   10,     60,      S::Always,      0},         // 23
    {50, 0, 0,  8,  3,   1,   1,     1,   0,      6,       S::Index,       0},         // 24
    {57, 0, 0,  8,  5,   1,   1,     0,   2,      31,      S::NonZero,     0},         // 25
    {58, 0, 0,  8,  5,   1,   1,     0,   2,      31,      S::NonZero,     0},         // 26
    {59, 0, 0,  1,  1,   1,   1,     0,   0,      1,       S::Valve1,      kBool},     // 27
    {59, 0, 1,  1,  1,   1,   1,     0,   0,      1,       S::Valve1,      kBool},     // 28
    {59, 0, 2,  1,  1,   1,   1,     0,   0,      1,       S::Valve1,      kBool},     // 29
    {59, 0, 3,  1,  1,   1,   1,     0,   0,      1,       S::Valve1,      kBool},     // 30
    {54, 0, 0,  8,  4,   1,   10,    0,   30,     100,     S::Always,      0},         // 31
    {55, 0, 0,  8,  4,   1,   1,     0,   0,      15,      S::Always,      0},         // 32
    {60, 0, 0,  16, 9,   1,   200,   0,   0,      100000,  S::Always,      0},         // 33
    {60, 0, 16, 16, 9,   1,   200,   0,   0,      100000,  S::Always,      0},         // 34
    {60, 0, 32, 8,  4,   1,   1,     0,   0,      15,      S::Always,      0},         // 35
    {60, 0, 40, 8,  4,   1,   1,     0,   0,      15,      S::Always,      0},         // 36
    {61, 0, 0,  8,  8,   1,   500,   0,   0,      125000,  S::AltRun,      0},         // 37
    {61, 0, 8,  8,  8,   5,   1,  -100,   20,     70.4,    S::AltRun,      0},         // 38
    {62, 0, 0,  8,  4,   1,   1,     0,   0,      15,      S::AltStart,    0},         // 39
    {62, 0, 8,  8,  8,   5,   1,  -150,   30,     80.4,    S::AltStart,    0},         // 40
    {65, 0, 0,  8,  8,   1,   200,   0,   0,      50000,   S::Oxygen,      0},         // 41
    {65, 0, 8,  8,  8,   100, 1,     0,   0,      0.5,     S::Oxygen,      0},         // 42
    {65, 0, 16, 8,  8,   20,  1,     0,   0,      12.5,    S::Oxygen,      0},         // 43
    {65, 0, 24, 8,  8,   10,  1,     0,   0,      5,       S::Oxygen,      0},         // 44
    {40, 0, 0,  8,  8,   10,  1,     0,   1,      25,      S::Always,      0},         // 45
    {41, 0, 0,  8,  8,   10,  1,     0,   1,      25,      S::Always,      0},         // 46
    {42, 0, 0,  8,  4,   1,   1,     1,   0,      14,      S::Index,       0},         // 47
    {19, 0, 0,  8,  8,   1,   100,   0,   100,    25000,   S::Always,      0},         // 48
    {20, 0, 0,  8,  8,   1,   200,   0,   200,    50000,   S::Always,      0},         // 49
    {},                                                                                // 50
    {21, 0, 0,  8,  8,   1,   500,   0,   1000,   125000,  S::Always,      0},         // 51
    {22, 0, 0,  8,  8,   1,   500,   0,   1000,   125000,  S::Always,      0},         // 52
    {23, 0, 0,  8,  8,   1,   1000,  0,   1000,   250000,  S::Always,      0},         // 53
    {1,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 54
    // 25 V would come back as 12.2 V: the ECU reports this value in 7
    // bits, so 12.7 V is the most it can hold.
    {27, 0, 0,  8,  7,   10,  1,     0,   1,      12.7,    S::Always,      0},         // 55
    {32, 0, 0,  8,  4,   1,   1,     0,   1,      12,      S::Always,      0},         // 56
    {29, 0, 0,  8,  5,   1,   1,     1,   0,      30,      S::Index,       0},         // 57
    {63, 0, 0,  8,  8,   50,  1,     0,   0,      5,       S::Calibration, 0},         // 58
    {63, 0, 8,  8,  8,   50,  1,   100,  -2,      3,       S::Calibration, 0},         // 59
    {63, 0, 16, 16, 12,  200, 1,     0,   0.1,    20,      S::Calibration, 0},         // 60
    {63, 0, 32, 8,  8,   1,   1,     0,   0,      255,     S::Calibration, 0},         // 61
    {67, 0, 0,  8,  7,   10,  1,     0,   0.5,    12.7,    S::NonZero,     0},         // 62
    {51, 0, 0,  8,  3,   1,   1,     1,   0,      6,       S::Index,       0},         // 63
    {52, 0, 0,  8,  3,   1,   1,     1,   0,      6,       S::Index,       0},         // 64
    {30, 0, 0,  8,  7,   1,   1,     0,   10,     70,      S::Always,      0},         // 65
    {31, 0, 0,  8,  7,   1,   1,     0,   10,     70,      S::Always,      0},         // 66
    {28, 0, 0,  8,  8,   5,   1,     0,   1,      50,      S::Always,      0},         // 67
    {24, 0, 0,  8,  8,   1,   1000,  0,   1000,   250000,  S::Always,      0},         // 68
    {25, 0, 0,  8,  5,   1,   1,     0,   0,      31,      S::NonZero,     0},         // 69
    {39, 0, 0,  8,  8,   1,   1,     0,   2,      250,     S::NonZero,     0},         // 70
    {16, 0, 0,  8,  8,   1,   1,     0,   0,      255,     S::Always,      0},         // 71
    {6,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 72
    {2,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 73
    {3,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 74
    {},                                                                                // 75
    {8,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 76
    {4,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 77
    {5,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // 78
    {},                                                                                // 79
    {7,  0, 0,  8,  1,   1,   1,     0,   0,      1,       S::Always,      kBool},     // temperature unit
    {33, 0, 0,  8,  2,   1,   1,     0,   0,      3,       S::Always,      kIgnoreAbove}, // pump mode
    {47, 0, 0,  8,  4,   1,   1,     0,   0,      7,       S::Always,      0},         // telemetry protocol
};

// Block generation, format 3 with the double-range flag clear; the entries
// that depend on the format or the flag are adjusted in codecFor. where =
// page, byte = byte of the page, bit/width = the bits of that byte.
//    page byte bit width raw mul div   add  min     max     support     flags
constexpr CEcuParamCodec kBlock[kKeyCount] = {
    {},                                                                          // 0
    {1, 2,  0, 8, 8,  1,  10,   0,   0,      2550,   S::Always, kReadOnly},      // 1
    {1, 3,  0, 8, 8,  1,  10,   0,   0,      2550,   S::Always, kReadOnly},      // 2
    {1, 4,  0, 8, 8,  1,  10,   0,   0,      2550,   S::Always, kReadOnly},      // 3
    {1, 5,  0, 8, 8,  10, 1,    0,   0.2,    2.5,    S::Always, 0},              // 4
    {1, 20, 0, 3, 3,  1,  1,    0,   0,      7,      S::Always, 0},              // 5
    {2, 2,  0, 5, 5,  1,  1,    0,   0,      16,     S::Always, 0},              // 6
    {1, 20, 4, 3, 3,  1,  1,    0,   0,      6,      S::Always, 0},              // 7
    {1, 31, 0, 4, 4,  1,  1,    1,   0,      11,     S::Index,  0},              // 8
    {1, 31, 4, 4, 4,  1,  1,    1,   0,      2,      S::Index,  0},              // 9
    {}, {}, {},                                                                  // 10-12
    {1, 6,  0, 8, 8,  1,  10,   0,   400,    1000,   S::Always, 0},              // 13
    {1, 7,  0, 8, 8,  10, 1,    0,   6,      12,     S::Always, 0},              // 14
    {1, 8,  0, 8, 8,  10, 1,    0,   0.1,    0.8,    S::Always, 0},              // 15
    {1, 9,  0, 8, 8,  10, 1,    0,   0.1,    12,     S::Always, 0},              // 16
    {1, 10, 0, 8, 8,  10, 1,    0,   0.1,    12,     S::Always, 0},              // 17
    {1, 11, 0, 8, 8,  1,  1,    0,   2,      250,    S::Always, 0},              // 18
    // 32 pole pairs would need a sixth bit; bits 0-4 hold at most 31.
    {2, 12, 0, 5, 5,  1,  1,    0,   2,      31,     S::Always, 0},              // 19
    {1, 12, 0, 8, 8,  1,  200,  0,   500,    50000,  S::Always, 0},              // 20
    {1, 13, 0, 8, 8,  1,  200,  0,   200,    50000,  S::Always, 0},              // 21
    {1, 14, 0, 8, 8,  100, 1,   0,   0,      2.5,    S::Always, 0},              // 22
    {1, 17, 0, 4, 4,  1,  5,    0,   10,     60,     S::Always, 0},              // 23
    {2, 8,  0, 3, 3,  1,  1,    1,   0,      6,      S::Index,  0},              // 24
    {2, 13, 0, 8, 8,  1,  1,    0,   2,      50,     S::Always, 0},              // 25
    {2, 14, 0, 8, 8,  1,  1,    0,   2,      50,     S::Always, 0},              // 26
    {}, {}, {}, {},                                                              // 27-30
    {1, 15, 0, 4, 4,  1,  10,   0,   30,     100,    S::Always, 0},              // 31
    {1, 19, 0, 4, 4,  1,  1,    0,   0,      15,     S::Always, 0},              // 32
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},                              // 33-44
    {1, 16, 0, 8, 8,  10, 1,    0,   0.4,    12,     S::Always, 0},              // 45
    {1, 22, 0, 8, 8,  10, 1,    0,   0.4,    12,     S::Always, 0},              // 46
    {2, 6,  4, 4, 4,  1,  1,    1,   0,      14,     S::Index,  0},              // 47
    {1, 18, 0, 8, 8,  1,  200,  0,   200,    50000,  S::Always, 0},              // 48
    {1, 21, 0, 8, 8,  1,  500,  0,   500,    120000, S::Always, 0},              // 49
    {1, 23, 0, 8, 8,  20, 1,    0,   0.5,    10,     S::Always, 0},              // 50
    {1, 24, 0, 8, 8,  1,  1000, 0,   1000,   250000, S::Always, 0},              // 51
    {1, 25, 0, 8, 8,  1,  1000, 0,   1000,   250000, S::Always, 0},              // 52
    {1, 26, 0, 8, 8,  1,  1000, 0,   1000,   250000, S::Always, 0},              // 53
    {54, 0, 0, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool | kCommand}, // 54
    {2, 4,  0, 8, 8,  10, 1,    0,   1,      16.8,   S::Always, 0},              // 55
    {2, 3,  0, 4, 4,  1,  1,    0,   1,      12,     S::Always, 0},              // 56
    {2, 8,  3, 5, 5,  1,  1,    1,   0,      30,     S::Index,  0},              // 57
    {}, {}, {}, {}, {},                                                          // 58-62
    {2, 10, 0, 3, 3,  1,  1,    1,   0,      6,      S::Index,  0},              // 63
    {2, 12, 5, 3, 3,  1,  1,    1,   0,      6,      S::Index,  0},              // 64
    {1, 28, 0, 8, 8,  1,  1,    0,   10,     70,     S::Always, 0},              // 65
    {1, 29, 0, 8, 8,  1,  1,    0,   10,     70,     S::Always, 0},              // 66
    {2, 1,  0, 8, 8,  20, 1,    0,   0.1,    10,     S::Always, 0},              // 67
    {1, 30, 0, 8, 8,  1,  1000, 0,   1000,   250000, S::Always, 0},              // 68
    {},                                                                          // 69
    {2, 17, 0, 8, 8,  1,  1,    0,   2,      250,    S::Always, 0},              // 70
    {2, 7,  0, 8, 8,  1,  1,    0,   50,     150,    S::Always, 0},              // 71
    {72, 0, 0, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool | kCommand}, // 72
    {2, 9,  0, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 73
    {2, 9,  1, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 74
    {2, 9,  2, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 75
    {2, 9,  3, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 76
    {2, 9,  4, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 77
    {2, 9,  5, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 78
    {2, 9,  6, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // 79
    {2, 0,  6, 1, 1,  1,  1,    0,   0,      1,      S::Always, kBool},          // temperature unit
    {2, 6,  0, 2, 2,  1,  1,    0,   0,      3,      S::Always, kIgnoreAbove},   // pump mode
    {2, 2,  5, 3, 3,  1,  1,    0,   0,      7,      S::Always, 0},              // telemetry protocol
};
// clang-format on

constexpr uint64_t Mask(uint8_t width) {
    return width >= 64 ? ~0ull : ((1ull << width) - 1ull);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

// A decimal number at the start of text, as atof reads it; 0 when none.
double ParseDecimal(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double v = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), v);
    if (result.ec != std::errc() || !std::isfinite(v)) {
        return 0;
    }
    return v;
}

// Hexadecimal digits at the start of text (an optional 0x is skipped);
// saturates instead of overflowing.
double ParseHex(std::string_view text) {
    text = Trim(text);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    uint64_t v = 0;
    for (char ch : text) {
        int d;
        if (ch >= '0' && ch <= '9') {
            d = ch - '0';
        } else if (ch >= 'a' && ch <= 'f') {
            d = ch - 'a' + 10;
        } else if (ch >= 'A' && ch <= 'F') {
            d = ch - 'A' + 10;
        } else {
            break;
        }
        v = v * 16 + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) {
            v = 0xFFFFFFFFull;
        }
    }
    return static_cast<double>(v);
}

int64_t IndexOf(uint32_t raw) {
    return raw == 0 ? 0 : static_cast<int64_t>(raw) - 1;
}

// The value as an exact integer, scaled by `scale` (1, 10 or 100) first.
int64_t ScaledInteger(const CEcuParamCodec& c, uint32_t raw, int64_t scale) {
    if (c.sup == ParamSupport::Index) {
        return IndexOf(raw) * scale;
    }
    return (static_cast<int64_t>(raw) - c.add) * c.div * scale / c.mul;
}

double Engineering(const CEcuParamCodec& c, uint32_t raw) {
    if (c.sup == ParamSupport::Index) {
        return static_cast<double>(IndexOf(raw));
    }
    if ((c.flags & kBool) != 0) {
        return raw != 0 ? 1.0 : 0.0;
    }
    return (static_cast<double>(raw) - c.add) * c.div / c.mul;
}

void Format(Fmt fmt, const CEcuParamCodec& c, uint32_t raw, CEcuParameters::Text& out) {
    char buf[48];
    const double eng = Engineering(c, raw);
    switch (fmt) {
    case Fmt::D: {
        const int64_t n = ScaledInteger(c, raw, 1);
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(n));
        out.value = static_cast<int32_t>(n);
        break;
    }
    case Fmt::DP0: {
        const int64_t n = ScaledInteger(c, raw, 1);
        std::snprintf(buf, sizeof buf, "%.d", static_cast<int>(n));
        out.value = static_cast<int32_t>(n);
        break;
    }
    case Fmt::F1:
        std::snprintf(buf, sizeof buf, "%.1f", eng);
        out.value = static_cast<int32_t>(eng);
        break;
    case Fmt::F2:
        std::snprintf(buf, sizeof buf, "%.2f", eng);
        out.value = static_cast<int32_t>(eng);
        break;
    case Fmt::F3:
        std::snprintf(buf, sizeof buf, "%.03f", eng);
        out.value = static_cast<int32_t>(eng);
        break;
    case Fmt::Hex0:
        std::snprintf(buf, sizeof buf, "%06X0", static_cast<unsigned>(raw));
        out.value = static_cast<int32_t>(static_cast<int64_t>(raw) * 16);
        break;
    case Fmt::D0:
        std::snprintf(buf, sizeof buf, "%d0", static_cast<int>(raw));
        out.value = static_cast<int32_t>(raw) * 10;
        break;
    case Fmt::Tenths: {
        const int64_t n = ScaledInteger(c, raw, 10);
        std::snprintf(
            buf, sizeof buf, "%d.%01d", static_cast<int>(n / 10), static_cast<int>(n % 10));
        out.value = static_cast<int32_t>(n / 10);
        break;
    }
    case Fmt::Hundredths: {
        const int64_t n = ScaledInteger(c, raw, 100);
        std::snprintf(
            buf, sizeof buf, "%d.%02d", static_cast<int>(n / 100), static_cast<int>(n % 100));
        out.value = static_cast<int32_t>(n / 100);
        break;
    }
    }
    out.text = buf;
}

std::array<uint8_t, 28> NormalizedName(std::span<const uint8_t> bytes) {
    std::array<uint8_t, 28> name{};
    for (size_t i = 0; i < name.size() && i < bytes.size() && bytes[i] != 0; ++i) {
        name[i] = bytes[i];
    }
    return name;
}

void PutValue(std::span<uint8_t> to, uint64_t value) {
    for (size_t i = 0; i < to.size(); ++i) {
        to[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

CEcuRegisterWrite Register2Write(std::initializer_list<uint8_t> bytes) {
    CEcuRegisterWrite w;
    w.reg = 2;
    w.delayMs = 20;
    w.pauseAfterMs = 50;
    for (uint8_t b : bytes) {
        w.data[w.length++] = b;
    }
    return w;
}

} // namespace

bool EcuTextId::TakesInteger(int textId) {
    switch (textId) {
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 24:
    case 27:
    case 28:
    case 29:
    case 30:
    case 47:
    case 54:
    case 57:
    case 63:
    case 64:
        return true;
    default:
        return textId >= 72 && textId <= 79;
    }
}

// --- state ------------------------------------------------------------------

void CEcuParameters::reset() {
    const uint32_t serial = m_dirtySerial;
    m_pending.RemoveAll();
    m_generation = EcuGeneration::Unknown;
    m_format = 0;
    m_doubleRange = false;
    m_extendedItems = false;
    m_dirty = false;
    // A read begun before the reset must not clear a later dirty flag.
    m_dirtySerial = serial + 1;
    m_itemRead.fill(0);
    m_itemCurrent.fill(0);
    m_throttlePoints.fill(0);
    m_itemAux = 0;
    m_itemPumpTypes = 0;
    m_itemHighestCurrent = 0;
    m_itemAuxSwitch = false;
    m_protocolMask = 0;
    m_egtCorrectionRaw = 0;
    m_supAltRun = m_supAltStart = m_supCalibration = m_supOxygen = false;
    m_readPage1.fill(0);
    m_readPage2.fill(0);
    m_page1.fill(0);
    m_page2.fill(0);
    m_restartRead = 0;
    m_rpmControlReported = 0;
    m_restartPending = -1;
    m_rpmControlPending = -1;
    m_namePage.fill(0);
    m_nameRead.fill(0);
    m_namePendingBytes.fill(0);
    m_namePending = false;
}

void CEcuParameters::markDirty() {
    m_dirty = true;
    ++m_dirtySerial;
}

void CEcuParameters::requestReread() {
    m_pending.RemoveAll();
    m_restartPending = -1;
    m_rpmControlPending = -1;
    m_namePending = false;
    m_page1 = m_readPage1;
    m_page2 = m_readPage2;
    refreshItemCurrent();
    markDirty();
}

CEcuTelemetryContext CEcuParameters::telemetryContext() const {
    CEcuTelemetryContext ctx;
    ctx.generation = m_generation;
    ctx.formatVersion = m_format;
    ctx.doubleRange = m_doubleRange;
    if (m_generation == EcuGeneration::Block) {
        ctx.blockPumpVoltage = static_cast<float>(value(EcuTextId::BlockIgnitionPumpVoltage));
    }
    return ctx;
}

// --- decoding ---------------------------------------------------------------

int CEcuParameters::applyRead(const CEcuParameterRead& read) {
    if (read.state() != CEcuParameterRead::State::Complete) {
        return 0;
    }
    if (read.generation() == EcuGeneration::Unknown ||
        (m_generation != EcuGeneration::Unknown && m_generation != read.generation())) {
        return 0;
    }
    m_generation = read.generation();
    if (m_generation == EcuGeneration::Item) {
        decodeItemPacket1(read.packet1());
        decodeItemPacket2(read.packet2());
        refreshItemCurrent();
    } else {
        decodeBlockPages(read.page1(), read.page2());
    }
    if (read.hasNamePage()) {
        m_namePage = read.namePage();
        m_nameRead = NormalizedName(std::span<const uint8_t>(m_namePage).subspan(1, 28));
    }
    if (read.serial() == m_dirtySerial) {
        m_dirty = false;
    }
    return 1;
}

void CEcuParameters::decodeItemPacket1(std::span<const uint8_t> packet) {
    CMBitReader r(packet.empty() ? packet : packet.subspan(1));
    auto& v = m_itemRead;
    m_itemAux = static_cast<uint8_t>(r.ReadBits(4));
    m_itemPumpTypes = static_cast<uint8_t>(r.ReadBits(4));
    m_itemHighestCurrent = static_cast<uint8_t>(r.ReadBits(5));
    for (uint8_t id : {15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 26}) {
        v[id] = r.ReadBits(8);
    }
    v[27] = r.ReadBits(7);
    v[28] = r.ReadBits(8);
    v[29] = r.ReadBits(5);
    v[30] = r.ReadBits(7);
    v[31] = r.ReadBits(7);
    v[32] = r.ReadBits(4);
    v[33] = r.ReadBits(2);
    v[34] = r.ReadBits(4);
    for (uint8_t id : {35, 36, 37, 40, 41}) {
        v[id] = r.ReadBits(8);
    }
    v[42] = r.ReadBits(4);
    for (uint8_t& point : m_throttlePoints) {
        point = static_cast<uint8_t>(r.ReadBits(8));
    }
    v[43] = r.ReadBits(5);
    v[44] = r.ReadBits(3);
    v[45] = r.ReadBits(5);
    v[46] = r.ReadBits(3);
    v[50] = r.ReadBits(3);
    const uint32_t switches = r.ReadBits(16);
    for (uint8_t id = 1; id <= 8; ++id) {
        v[id] = (switches >> (id - 1)) & 1u;
    }
    m_itemAuxSwitch = ((switches >> 8) & 1u) != 0;
}

void CEcuParameters::decodeItemPacket2(std::span<const uint8_t> packet) {
    CMBitReader r(packet.empty() ? packet : packet.subspan(1));
    auto& v = m_itemRead;
    m_protocolMask = static_cast<uint8_t>(r.ReadBits(8));
    v[47] = r.ReadBits(4);
    v[48] = r.ReadBits(4);
    v[49] = r.ReadBits(7);
    v[51] = r.ReadBits(3);
    v[52] = r.ReadBits(3);
    v[53] = r.ReadBits(4);
    v[54] = r.ReadBits(4);
    v[55] = r.ReadBits(4);
    m_egtCorrectionRaw = static_cast<uint8_t>(r.ReadBits(6));
    v[38] = r.ReadBits(5);
    v[39] = r.ReadBits(8);
    v[25] = r.ReadBits(5);
    v[57] = r.ReadBits(5);
    v[58] = r.ReadBits(5);
    v[59] = r.ReadBits(8);
    const uint64_t s1 = r.ReadBits(9);
    const uint64_t s2 = r.ReadBits(9);
    const uint64_t p1 = r.ReadBits(4);
    const uint64_t p2 = r.ReadBits(4);
    v[60] = s1 | (s2 << 16) | (p1 << 32) | (p2 << 40);

    // Each optional group: a support bit, then its fields (read either way so
    // that the later fields land right; kept only when supported).
    m_supAltRun = r.ReadBits(1) != 0;
    uint64_t a = r.ReadBits(8);
    uint64_t b = r.ReadBits(8);
    v[61] = m_supAltRun ? (a | (b << 8)) : 0;

    m_supAltStart = r.ReadBits(1) != 0;
    a = r.ReadBits(4);
    b = r.ReadBits(8);
    v[62] = m_supAltStart ? (a | (b << 8)) : 0;

    m_supCalibration = r.ReadBits(1) != 0;
    const uint64_t c1 = r.ReadBits(8);
    const uint64_t c2 = r.ReadBits(8);
    const uint64_t c3 = r.ReadBits(12);
    r.SkipBits(1);
    m_extendedItems = r.ReadBits(1) != 0;
    const uint64_t c4 = r.ReadBits(8);
    v[63] = m_supCalibration ? (c1 | (c2 << 8) | (c3 << 16) | (c4 << 32)) : 0;
    r.SkipBits(19);

    m_supOxygen = r.ReadBits(1) != 0;
    uint64_t oxygen = 0;
    for (int i = 0; i < 4; ++i) {
        oxygen |= static_cast<uint64_t>(r.ReadBits(8)) << (8 * i);
    }
    v[65] = m_supOxygen ? oxygen : 0;

    v[66] = r.ReadBits(2);
    v[67] = r.ReadBits(7);
}

void CEcuParameters::decodeBlockPages(std::span<const uint8_t> p1, std::span<const uint8_t> p2) {
    std::copy_n(p1.begin(), std::min<size_t>(p1.size(), 32), m_readPage1.begin());
    std::copy_n(p2.begin(), std::min<size_t>(p2.size(), 32), m_readPage2.begin());
    m_page1 = m_readPage1;
    m_page2 = m_readPage2;
    m_format = m_readPage1[0];
    m_doubleRange = (m_readPage1[20] & 0x80) != 0;
    m_restartRead = (m_readPage1[1] >> 2) & 1;
}

void CEcuParameters::refreshItemCurrent() {
    m_itemCurrent = m_itemRead;
    if (m_supCalibration) {
        // Value 2 held to -2..3 (raw 0..250), value 3 to 0.1..20 (raw 20..4000).
        uint64_t& cal = m_itemCurrent[63];
        const uint64_t v2 = std::min<uint64_t>((cal >> 8) & 0xFF, 250);
        const uint64_t v3 = std::clamp<uint64_t>((cal >> 16) & 0xFFFF, 20, 4000);
        cal = (cal & ~(Mask(8) << 8) & ~(Mask(16) << 16)) | (v2 << 8) | (v3 << 16);
    }
    for (CMNode* n = m_pending.GetHead(); n != nullptr; n = n->next) {
        const auto* item = static_cast<const CDeviceECUCmdMode*>(n);
        if (item->parameterId < kItemCount) {
            uint64_t value = 0;
            const auto bytes = item->Value();
            for (size_t i = 0; i < bytes.size(); ++i) {
                value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
            }
            m_itemCurrent[item->parameterId] = value;
        }
    }
}

// --- codec access -----------------------------------------------------------

bool CEcuParameters::codecFor(int key, CEcuParamCodec& c) const {
    if (key < 1 || key >= kKeyCount) {
        return false;
    }
    if (m_generation == EcuGeneration::Item) {
        c = kItem[key];
        return c.sup != ParamSupport::Never;
    }
    if (m_generation != EcuGeneration::Block) {
        return false;
    }
    c = kBlock[key];
    if (c.sup == ParamSupport::Never) {
        return false;
    }
    const bool f4 = m_format >= 4;
    switch (key) {
    case EcuTextId::MinBatteryVoltage:
    case EcuTextId::StarterEjectVoltage:
    case EcuTextId::StarterRunVoltage:
        c.max = f4 ? 16.8 : 12;
        break;
    case EcuTextId::CoolingRpm:
    case EcuTextId::IgnitionRpm:
    case EcuTextId::PreheatRpm:
        c.div = m_format == 2 ? 1000 : 200;
        break;
    case EcuTextId::IgnitionPumpVoltage:
        c.mul = f4 ? 50 : 100;
        c.max = f4 ? 5 : 2.5;
        break;
    case EcuTextId::GlowPlugStartVoltage:
    case EcuTextId::GlowPlugRestartVoltage:
        c.min = f4 ? 1 : 0.4;
        c.max = f4 ? 16.8 : 12;
        break;
    case EcuTextId::ClutchReleaseRpm:
        if (m_format == 2) {
            c.div = 1000;
            c.min = 10000;
            c.max = 250000;
        }
        break;
    case EcuTextId::BlockIgnitionPumpVoltage:
        if (m_doubleRange) {
            c.mul = 10;
            c.min = 0.1;
            c.max = 16.8;
        }
        break;
    case EcuTextId::RunPumpLimit:
        if (m_doubleRange) {
            c.mul = 10;
            c.max = 16.8;
        }
        break;
    default:
        break;
    }
    return true;
}

uint32_t CEcuParameters::readRaw(const CEcuParamCodec& c) const {
    if (m_generation == EcuGeneration::Item) {
        if ((c.flags & kThrottle) != 0) {
            return m_throttlePoints[c.where];
        }
        return static_cast<uint32_t>((m_itemRead[c.where] >> c.bit) & Mask(c.width));
    }
    if ((c.flags & kCommand) != 0) {
        return c.where == EcuTextId::RestartAllowed ? m_restartRead : m_rpmControlReported;
    }
    const auto& page = c.where == 1 ? m_readPage1 : m_readPage2;
    return (page[c.byte] >> c.bit) & static_cast<uint32_t>(Mask(c.width));
}

uint32_t CEcuParameters::currentRaw(const CEcuParamCodec& c) const {
    if (m_generation == EcuGeneration::Item) {
        if ((c.flags & kThrottle) != 0) {
            return m_throttlePoints[c.where];
        }
        return static_cast<uint32_t>((m_itemCurrent[c.where] >> c.bit) & Mask(c.width));
    }
    if ((c.flags & kCommand) != 0) {
        if (c.where == EcuTextId::RestartAllowed) {
            return m_restartPending >= 0 ? static_cast<uint32_t>(m_restartPending) : m_restartRead;
        }
        return m_rpmControlPending >= 0 ? static_cast<uint32_t>(m_rpmControlPending)
                                        : m_rpmControlReported;
    }
    const auto& page = c.where == 1 ? m_page1 : m_page2;
    return (page[c.byte] >> c.bit) & static_cast<uint32_t>(Mask(c.width));
}

void CEcuParameters::storeRaw(const CEcuParamCodec& c, uint32_t raw) {
    if (m_generation == EcuGeneration::Item) {
        const uint64_t mask = Mask(c.width) << c.bit;
        uint64_t& v = m_itemCurrent[c.where];
        v = (v & ~mask) | ((static_cast<uint64_t>(raw) << c.bit) & mask);
        updatePending(c.where);
        return;
    }
    if ((c.flags & kCommand) != 0) {
        const uint8_t read = static_cast<uint8_t>(readRaw(c));
        int16_t& pending =
            c.where == EcuTextId::RestartAllowed ? m_restartPending : m_rpmControlPending;
        pending = raw == read ? -1 : static_cast<int16_t>(raw);
        return;
    }
    auto& page = c.where == 1 ? m_page1 : m_page2;
    const uint32_t mask = static_cast<uint32_t>(Mask(c.width)) << c.bit;
    page[c.byte] = static_cast<uint8_t>((page[c.byte] & ~mask) | ((raw << c.bit) & mask));
}

bool CEcuParameters::supportedKey(const CEcuParamCodec& c) const {
    switch (c.sup) {
    case ParamSupport::Never:
        return false;
    case ParamSupport::Always:
        return true;
    case ParamSupport::Index:
    case ParamSupport::NonZero:
        return readRaw(c) != 0;
    case ParamSupport::Valve1:
        return (m_itemRead[57] & 0xFF) != 0;
    case ParamSupport::AltRun:
        return m_supAltRun;
    case ParamSupport::AltStart:
        return m_supAltStart;
    case ParamSupport::Calibration:
        return m_supCalibration;
    case ParamSupport::Oxygen:
        return m_supOxygen;
    case ParamSupport::Can:
        return (m_protocolMask & 0x20) != 0;
    }
    return false;
}

uint8_t CEcuParameters::itemValueLength(uint8_t itemId) {
    switch (itemId) {
    case 60:
        return 6;
    case 61:
    case 62:
        return 2;
    case 63:
    case 69:
        return 5;
    case 65:
        return 4;
    default:
        return 1;
    }
}

void CEcuParameters::updatePending(uint8_t itemId) {
    if (m_itemCurrent[itemId] == m_itemRead[itemId]) {
        m_pending.RemoveItem(itemId);
        return;
    }
    std::array<uint8_t, CDeviceECUCmdMode::kMaxValueBytes> bytes{};
    const uint8_t n = itemValueLength(itemId);
    PutValue(std::span<uint8_t>(bytes.data(), n), m_itemCurrent[itemId]);
    m_pending.SetItem(itemId, std::span<const uint8_t>(bytes.data(), n));
}

// --- setters and text -------------------------------------------------------

int CEcuParameters::setKey(int key, double v) {
    CEcuParamCodec c;
    if (!codecFor(key, c) || (c.flags & kReadOnly) != 0 || !supportedKey(c) || std::isnan(v)) {
        return 1;
    }
    uint32_t raw;
    if ((c.flags & kBool) != 0) {
        raw = v != 0 ? 1 : 0;
    } else {
        if ((c.flags & kIgnoreAbove) != 0 && v > c.max) {
            return 1;
        }
        v = std::clamp(v, c.min, c.max);
        double scaled = std::floor((v + 0.00001) * c.mul / c.div) + c.add;
        const uint8_t bits = c.rawBits != 0 ? c.rawBits : c.width;
        scaled = std::clamp(scaled, 0.0, static_cast<double>(Mask(bits)));
        raw = static_cast<uint32_t>(scaled);
    }
    storeRaw(c, raw);
    return 1;
}

int CEcuParameters::setParameter(int textId, double v) {
    if (textId < EcuTextId::First || textId > EcuTextId::Last) {
        return 0;
    }
    return setKey(textId, v);
}

int CEcuParameters::setFromText(int textId, std::string_view text, int32_t integer) {
    if (textId < EcuTextId::First || textId > EcuTextId::Last) {
        return 0;
    }
    if (EcuTextId::TakesInteger(textId)) {
        return setKey(textId, integer);
    }
    if (textId == EcuTextId::CanAddress) {
        return setKey(textId, ParseHex(text));
    }
    return setKey(textId, ParseDecimal(text));
}

int CEcuParameters::getText(int textId, Text& out) const {
    if (textId < EcuTextId::First || textId > EcuTextId::Last) {
        return 0;
    }
    out = Text{};
    CEcuParamCodec c;
    if (!codecFor(textId, c)) {
        // Not in this generation (or nothing read yet): a zero in the
        // parameter's format, so a saved file still parses.
        CEcuParamCodec neutral;
        neutral.sup = ParamSupport::Always;
        Format(kFormat[textId], neutral, 0, out);
        out.supported = false;
        return 1;
    }
    Format(kFormat[textId], c, currentRaw(c), out);
    out.supported = textId != EcuTextId::CoolingAfterFlameout && supportedKey(c);
    return 1;
}

double CEcuParameters::value(int textId) const {
    CEcuParamCodec c;
    if (!codecFor(textId, c)) {
        return 0;
    }
    return Engineering(c, currentRaw(c));
}

bool CEcuParameters::supported(int textId) const {
    if (textId < EcuTextId::First || textId > EcuTextId::Last ||
        textId == EcuTextId::CoolingAfterFlameout) {
        return false;
    }
    CEcuParamCodec c;
    return codecFor(textId, c) && supportedKey(c);
}

int CEcuParameters::setTemperatureUnit(int unit) {
    return setKey(kKeyTemperatureUnit, unit);
}
int CEcuParameters::setPumpMode(int mode) {
    return setKey(kKeyPumpMode, mode);
}
int CEcuParameters::setTelemetryProtocol(int protocol) {
    return setKey(kKeyTelemetryProtocol, protocol);
}

int CEcuParameters::temperatureUnit() const {
    CEcuParamCodec c;
    return codecFor(kKeyTemperatureUnit, c) ? static_cast<int>(currentRaw(c)) : 0;
}

int CEcuParameters::pumpMode() const {
    CEcuParamCodec c;
    return codecFor(kKeyPumpMode, c) ? static_cast<int>(currentRaw(c)) : 0;
}

int CEcuParameters::telemetryProtocol() const {
    CEcuParamCodec c;
    return codecFor(kKeyTelemetryProtocol, c) ? static_cast<int>(currentRaw(c)) : 0;
}

uint8_t CEcuParameters::telemetryProtocolMask() const {
    return m_generation == EcuGeneration::Item ? m_protocolMask : 0;
}

uint8_t CEcuParameters::pumpTypeMask() const {
    switch (m_generation) {
    case EcuGeneration::Item:
        return m_itemPumpTypes;
    case EcuGeneration::Block:
        return static_cast<uint8_t>(m_readPage2[5] >> 4);
    case EcuGeneration::Unknown:
        break;
    }
    return 0;
}

int CEcuParameters::highestCurrentIndex() const {
    switch (m_generation) {
    case EcuGeneration::Item:
        return static_cast<int>(IndexOf(m_itemHighestCurrent));
    case EcuGeneration::Block:
        return static_cast<int>(IndexOf(m_readPage2[10] >> 3));
    case EcuGeneration::Unknown:
        break;
    }
    return 0;
}

int CEcuParameters::egtCorrection() const {
    switch (m_generation) {
    case EcuGeneration::Item:
        return static_cast<int>(m_egtCorrectionRaw) - 31;
    case EcuGeneration::Block: {
        const int bits = m_readPage2[0] & 0x3F;
        return bits >= 32 ? bits - 64 : bits;
    }
    case EcuGeneration::Unknown:
        break;
    }
    return 0;
}

uint8_t CEcuParameters::auxValue() const {
    switch (m_generation) {
    case EcuGeneration::Item:
        return m_itemAux;
    case EcuGeneration::Block: {
        const uint8_t v = m_readPage2[5] & 0x0F;
        return v < 3 || v > 12 ? 3 : v;
    }
    case EcuGeneration::Unknown:
        break;
    }
    return 0;
}

bool CEcuParameters::auxSwitch() const {
    return m_generation == EcuGeneration::Item && m_itemAuxSwitch;
}

bool CEcuParameters::groupSupported(uint8_t itemId) const {
    if (m_generation != EcuGeneration::Item) {
        return false;
    }
    switch (itemId) {
    case 60:
        return true;
    case 61:
        return m_supAltRun;
    case 62:
        return m_supAltStart;
    case 63:
        return m_supCalibration;
    case 65:
        return m_supOxygen;
    case 69:
        return (m_protocolMask & 0x20) != 0;
    default:
        return false;
    }
}

uint64_t CEcuParameters::itemValue(uint8_t itemId) const {
    return itemId < kItemCount ? m_itemCurrent[itemId] : 0;
}

// --- engine name ------------------------------------------------------------

std::string CEcuParameters::engineName() const {
    const auto& bytes = m_namePending ? m_namePendingBytes : m_nameRead;
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return std::string(bytes.begin(), end);
}

int CEcuParameters::setEngineName(std::string_view name) {
    if (m_generation != EcuGeneration::Block) {
        return 0;
    }
    const auto bytes = NormalizedName(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
    m_namePending = bytes != m_nameRead;
    m_namePendingBytes = m_namePending ? bytes : std::array<uint8_t, 28>{};
    return 1;
}

// --- commit -----------------------------------------------------------------

bool CEcuParameters::hasPendingChanges() const {
    return m_pending.GetCount() > 0 || m_restartPending >= 0 || m_rpmControlPending >= 0 ||
           m_namePending || m_page1 != m_readPage1 || m_page2 != m_readPage2;
}

CEcuCommitPlan CEcuParameters::buildCommit() const {
    CEcuCommitPlan plan;
    if (m_generation == EcuGeneration::Item) {
        const CMNode* node = m_pending.GetHead();
        while (node != nullptr) {
            CEcuRegisterWrite w =
                Register2Write({0xAA, m_extendedItems ? uint8_t{0x66} : uint8_t{0x55}});
            CEcuCommitPlan::Entry entry;
            entry.kind = CEcuCommitPlan::Kind::Items;
            while (node != nullptr) {
                const auto* item = static_cast<const CDeviceECUCmdMode*>(node);
                if (32 - w.length < item->itemLength + 1) {
                    break;
                }
                if (m_extendedItems) {
                    w.data[w.length++] = static_cast<uint8_t>(item->itemLength + 1);
                }
                w.data[w.length++] = item->parameterId;
                CEcuCommitPlan::SentItem sent;
                sent.id = item->parameterId;
                sent.valueLength = static_cast<uint8_t>(item->itemLength - 1);
                for (uint8_t i = 0; i < sent.valueLength; ++i) {
                    sent.value[i] = item->value[i];
                    w.data[w.length++] = item->value[i];
                }
                entry.items.push_back(sent);
                node = node->next;
            }
            if (w.length < 3) {
                break;
            }
            plan.add(w, std::move(entry));
        }
        return plan;
    }
    if (m_generation != EcuGeneration::Block) {
        return plan;
    }
    for (uint8_t reg : {uint8_t{2}, uint8_t{3}}) {
        CEcuRegisterWrite w = Register2Write({});
        w.reg = reg;
        w.data = reg == 2 ? m_page1 : m_page2;
        w.length = 32;
        CEcuCommitPlan::Entry entry;
        entry.kind = CEcuCommitPlan::Kind::Page;
        plan.add(w, std::move(entry));
    }
    if (m_restartPending >= 0) {
        CEcuCommitPlan::Entry entry;
        entry.kind = CEcuCommitPlan::Kind::RestartAllowed;
        entry.flag = static_cast<uint8_t>(m_restartPending);
        plan.add(Register2Write({0xFF, 0x02, entry.flag != 0 ? uint8_t{0x33} : uint8_t{0x77}}),
                 std::move(entry));
    }
    if (m_rpmControlPending >= 0) {
        CEcuCommitPlan::Entry entry;
        entry.kind = CEcuCommitPlan::Kind::RpmControl;
        entry.flag = static_cast<uint8_t>(m_rpmControlPending);
        plan.add(Register2Write({0xFF, 0x0A, entry.flag != 0 ? uint8_t{0x55} : uint8_t{0x88}}),
                 std::move(entry));
    }
    if (m_namePending) {
        CEcuCommitPlan::Entry entry;
        entry.kind = CEcuCommitPlan::Kind::EngineName;
        entry.name = m_namePendingBytes;
        CEcuRegisterWrite w = Register2Write({0xFF, 0x05, 0x3A, 0x56});
        std::copy(entry.name.begin(), entry.name.end(), w.data.begin() + 4);
        w.length = 32;
        plan.add(w, std::move(entry));
    }
    return plan;
}

void CEcuParameters::commitDone(const CEcuCommitPlan& plan, size_t writesSent) {
    const size_t n = std::min(writesSent, plan.size());
    for (size_t i = 0; i < n; ++i) {
        const CEcuCommitPlan::Entry& e = plan.entries()[i];
        switch (e.kind) {
        case CEcuCommitPlan::Kind::Items:
            for (const CEcuCommitPlan::SentItem& sent : e.items) {
                if (sent.id == 69 && m_generation == EcuGeneration::Item) {
                    // The ECU does not report the CAN group: what reached it
                    // becomes the value to compare with.
                    uint64_t v = 0;
                    for (uint8_t b = 0; b < sent.valueLength; ++b) {
                        v |= static_cast<uint64_t>(sent.value[b]) << (8 * b);
                    }
                    m_itemRead[69] = v;
                    updatePending(69);
                    continue;
                }
                const CDeviceECUCmdMode* item = m_pending.FindItem(sent.id);
                if (item != nullptr && item->itemLength == sent.valueLength + 1 &&
                    std::equal(item->value.begin(),
                               item->value.begin() + sent.valueLength,
                               sent.value.begin())) {
                    m_pending.RemoveItem(sent.id);
                }
            }
            break;
        case CEcuCommitPlan::Kind::Page:
            break;
        case CEcuCommitPlan::Kind::RestartAllowed:
            m_restartRead = e.flag;
            if (m_restartPending == e.flag) {
                m_restartPending = -1;
            }
            break;
        case CEcuCommitPlan::Kind::RpmControl:
            m_rpmControlReported = e.flag;
            if (m_rpmControlPending == e.flag) {
                m_rpmControlPending = -1;
            }
            break;
        case CEcuCommitPlan::Kind::EngineName:
            m_nameRead = e.name;
            if (m_namePending && m_namePendingBytes == e.name) {
                m_namePending = false;
            }
            break;
        }
    }
    if (writesSent >= plan.size()) {
        markDirty();
    }
}

std::vector<CEcuRegisterWrite> CEcuParameters::temperatureCalibration(uint8_t ambient,
                                                                      bool withPrepare) const {
    constexpr uint16_t kReference = 500;
    const uint8_t lo = kReference & 0xFF;
    const uint8_t hi = kReference >> 8;
    switch (m_generation) {
    case EcuGeneration::Block: {
        std::vector<CEcuRegisterWrite> writes;
        if (withPrepare) {
            writes.push_back(Register2Write({0xFF, 0x09, 0x37, 0xC8}));
        }
        writes.push_back(Register2Write({0xFF, 0x09, 0x37, 0xC8, lo, hi, ambient}));
        return writes;
    }
    case EcuGeneration::Item:
        if (m_extendedItems) {
            return {Register2Write({0xAA, 0x66, 0x04, 0xD4, 0x37, ambient})};
        }
        return {Register2Write({0xAA, 0x55, 0xD4, 0x37, ambient})};
    case EcuGeneration::Unknown:
        break;
    }
    return {};
}
