#include "charts/CPumpRecorder.h"

#include "foundation/StringPrintf.h"

bool CPumpRecorder::AddSample(int32_t state, int32_t rpm, int32_t centivolts) {
    if (state != 0) {
        m_countdown = kRecordingTicks;
    }
    if (m_countdown == 0) {
        return false;
    }
    CMLockGuard guard(m_lock);
    m_samples.Append({rpm, centivolts});
    return true;
}

void CPumpRecorder::Tick() {
    if (m_countdown > 0) {
        --m_countdown;
    }
}

void CPumpRecorder::Clear() {
    CMLockGuard guard(m_lock);
    m_samples.Clear();
}

int32_t CPumpRecorder::Count() const {
    CMLockGuard guard(m_lock);
    return m_samples.Count();
}

uint64_t CPumpRecorder::Changes() const {
    CMLockGuard guard(m_lock);
    return m_samples.Changes();
}

void CPumpRecorder::Read(const std::function<void(const CPumpSamples&)>& reader) const {
    CMLockGuard guard(m_lock);
    reader(m_samples);
}

std::string CPumpRecorder::CsvBytes() const {
    CMLockGuard guard(m_lock);
    std::string out;
    out.reserve(static_cast<size_t>(m_samples.Count()) * 14);
    for (int32_t i = 0; i < m_samples.Count(); ++i) {
        const PumpSample& s = m_samples.At(i);
        out += StringPrintf("%d,%d.%02d\r\n", s.rpm, s.centivolts / 100, s.centivolts % 100);
    }
    return out;
}
