#include "protocol/FrameHid.h"

#include <algorithm>

namespace frames {

void BuildHidOutputReport(uint8_t unit,
                          uint8_t reg,
                          bool write,
                          uint8_t length,
                          const uint8_t* data,
                          std::array<uint8_t, kHidOutputReportSize>& out) {
    out.fill(0);
    out[0] = kHidRequestReport;
    out[1] = unit;
    out[2] = static_cast<uint8_t>(((reg & 0x0F) * 8) | (write ? 0x80 : 0x00));
    out[3] = static_cast<uint8_t>(length - 1);
    if (write && data != nullptr) {
        std::copy_n(data, std::min<size_t>(length, 32), out.begin() + 4);
    }
}

HidStatusJudge::Action HidStatusJudge::OnStatus(uint8_t status) {
    switch (status) {
    case kHidStatusBusy:
        if (m_busyRepeats < kMaxBusyRepeats) {
            ++m_busyRepeats;
            return Action::PollAgain;
        }
        m_result = kHidNoFinal;
        return Action::Finish;
    case kHidStatusDone:
        m_result = kHidOk;
        return Action::Finish;
    case kHidStatusError:
        m_result = kHidStatusError3;
        return Action::Finish;
    case kHidStatusRepeat:
        if (!m_resent) {
            m_resent = true;
            return Action::Resend;
        }
        m_result = kHidResendLimit;
        return Action::Finish;
    case kHidStatusFault:
        m_result = kHidStatusError5;
        return Action::Finish;
    default:
        m_result = m_resent ? kHidResendLimit : kHidNoFinal;
        return Action::Finish;
    }
}

} // namespace frames
