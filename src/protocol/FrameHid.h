#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The reports of a register transaction through the USB HID dongle, which
// does the bus framing itself: output report 2 carries the request, input
// report 3 the status and read data.
namespace frames {

// Report id byte plus 35 bytes; report id byte plus 34 bytes.
inline constexpr size_t kHidOutputReportSize = 36;
inline constexpr size_t kHidInputReportSize = 35;
inline constexpr uint8_t kHidRequestReport = 2;
inline constexpr uint8_t kHidReplyReport = 3;
inline constexpr uint8_t kHidVersionReport = 1;

// Result codes of a HID transaction; only kHidOk is success.
enum HidResult : int {
    kHidOk = 0,
    kHidNotOpen = 1,      // device not open, or a report transfer failed
    kHidNoFinal = 2,      // busy too long, or an unknown status
    kHidResendLimit = 3,  // the second send also asked for a repeat
    kHidStatusError5 = 4, // the dongle answered status 5
    kHidStatusError3 = 5, // the dongle answered status 3
    kHidBadArguments = 6, // length outside 1..32 or no buffer
};

// Input report 3 status byte values.
enum HidStatus : uint8_t {
    kHidStatusBusy = 1,
    kHidStatusDone = 2,
    kHidStatusError = 3,
    kHidStatusRepeat = 4,
    kHidStatusFault = 5,
};

// Fills output report 2: [0] report id, [1] unit, [2] register × 8 (| 0x80 for
// a write), [3] length − 1, [4..35] write data zero-filled to 32 bytes.
// The caller has checked the length (1..32).
void BuildHidOutputReport(uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kHidOutputReportSize>& out);

// Offsets within input report 3, report id byte included.
inline constexpr size_t kHidStatusOffset = 1;
inline constexpr size_t kHidDataOffset = 3;

// Decides, status by status, what a HID transaction does next. One judge
// serves one call: at most 100 busy re-polls and at most two sends.
class HidStatusJudge {
public:
    static constexpr int kMaxBusyRepeats = 100;

    enum class Action {
        PollAgain, // sleep 1 ms and get input report 3 again
        Resend,    // send output report 2 again
        Finish,    // stop with result()
    };

    [[nodiscard]] Action OnStatus(uint8_t status);

    // The result code once OnStatus answered Finish.
    [[nodiscard]] int result() const { return m_result; }

private:
    int m_busyRepeats = 0;
    bool m_resent = false;
    int m_result = kHidNoFinal;
};

} // namespace frames
