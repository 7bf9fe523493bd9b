// The profile-file reader over arbitrary bytes: it must never read out of
// bounds, always yield valid UTF-8, survive its own write-back unchanged, and
// read back any value it accepted.
#include "platform/ProfileFile.h"
#include "platform/Utf.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    platform::ProfileFile file = platform::ProfileFile::Parse(bytes);
    for (const std::string& line : file.Lines()) {
        Check(platform::IsValidUtf8(line));
    }

    const std::vector<uint8_t> written = file.Serialize();
    const platform::ProfileFile back = platform::ProfileFile::Parse(written);
    Check(back.Lines() == file.Lines());
    Check(back.Serialize() == written);

    const char* keys[] = {"温度单位", "油泵模式", "回传协议", "k"};
    for (const char* key : keys) {
        Check(back.Find("ENGINE", key) == file.Find("ENGINE", key));
    }

    // A value taken from the input, written and read again.
    const std::string value(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
    if (file.SetString("ENGINE", "k", value)) {
        Check(file.Find("engine", "K") == value);
        const platform::ProfileFile again = platform::ProfileFile::Parse(file.Serialize());
        Check(again.Find("ENGINE", "k") == value);
    }
    return 0;
}
