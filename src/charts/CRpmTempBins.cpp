#include "charts/CRpmTempBins.h"

#include "foundation/StringPrintf.h"
#include "platform/CodePage.h"

CRpmTempBins::CRpmTempBins() {
    SetRange(kInitialMinimumRpm, kInitialMaximumRpm);
}

void CRpmTempBins::SetRange(int32_t minimumRpm, int32_t maximumRpm) {
    if (minimumRpm == m_minimumRpm && maximumRpm == m_maximumRpm) {
        return;
    }
    m_bins.clear();
    // In 64 bits: the limits come from the unit and must not overflow here.
    const int64_t span = static_cast<int64_t>(maximumRpm) - minimumRpm;
    if (span > kBinRpm) {
        m_minimumRpm = minimumRpm;
        m_maximumRpm = maximumRpm;
        m_bins.assign(static_cast<size_t>(span / kBinRpm + 1), RpmTempBin{});
    } else {
        m_minimumRpm = 0;
        m_maximumRpm = 0;
    }
}

int32_t CRpmTempBins::BinOf(int32_t rpm) const {
    if (m_bins.empty() || rpm < m_minimumRpm || rpm > m_maximumRpm) {
        return -1;
    }
    const int64_t bin = (static_cast<int64_t>(rpm) - m_minimumRpm) / kBinRpm;
    return bin < BinCount() ? static_cast<int32_t>(bin) : -1;
}

bool CRpmTempBins::AddSample(int32_t rpm, int32_t egt, int32_t pumpMillivolts, float thrust) {
    m_last = {rpm, egt, pumpMillivolts, thrust};
    const int32_t j = BinOf(rpm);
    if (j < 0) {
        return false;
    }
    const RpmTempBin sample{egt, pumpMillivolts, thrust};
    RpmTempBin& bin = m_bins[static_cast<size_t>(j)];
    if (bin == sample) {
        return false;
    }
    bin = sample;
    return true;
}

bool CRpmTempBins::SetThrustFullScale(float kg) {
    if (kg == m_thrustFullScale) {
        return false;
    }
    m_thrustFullScale = kg;
    return true;
}

std::string CRpmTempBins::CsvBytes() const {
    if (m_bins.empty()) {
        return {};
    }
    std::string out = StringPrintf("MIN RPM,%d\r\n", m_minimumRpm);
    out += StringPrintf("MAX RPM,%d\r\n", m_maximumRpm);
    // The column line is in the Chinese code page, as the tool has always
    // written it, whatever the language shown.
    out += platform::Utf8ToGbk("转速, 温度, 油泵, 推力");
    out += "\r\n";
    int32_t first = -1;
    int32_t last = -1;
    for (int32_t j = 0; j < BinCount(); ++j) {
        if (m_bins[static_cast<size_t>(j)].egt != 0) {
            if (first < 0) {
                first = j;
            }
            last = j;
        }
    }
    for (int32_t j = first; first >= 0 && j <= last; ++j) {
        const RpmTempBin& bin = m_bins[static_cast<size_t>(j)];
        out += StringPrintf("%d,%d,%d,%.02f\r\n",
                            BinRpm(j),
                            bin.egt,
                            bin.pumpMillivolts,
                            static_cast<double>(bin.thrust));
    }
    return out;
}
