#include "records/CEngineLogReader.h"

#include "records/CDeviceECUTracker.h"
#include "records/CEngineLogFormat.h"

#include <cstring>
#include <string_view>

CEngineLogReader::CEngineLogReader(CDeviceECUTracker& target)
    : m_target(target)
    , m_version(CEngineLogFormat::kVersionUnknown) {
    m_target.clear();
    m_target.setRecordsPerSecond(2);
}

bool CEngineLogReader::Full() const {
    return m_target.GetCount() >= kMaxRecords;
}

void CEngineLogReader::Line(std::string_view line) {
    if (m_firstLine) {
        m_firstLine = false;
        const auto info = CEngineLogFormat::ParseVersionLine(line);
        if (info.fieldsRead >= 2) {
            m_version = info.version;
        }
        if (const int rate = CEngineLogFormat::AcceptedRate(info); rate != 0) {
            m_target.setRecordsPerSecond(static_cast<uint8_t>(rate));
        }
        return;
    }
    if (Full()) {
        return;
    }
    CDeviceECUTItem record;
    if (CEngineLogFormat::ParseRecordLine(m_version, line, record) != 0) {
        m_target.addCopy(record);
    } else {
        ++m_skipped;
    }
}

void CEngineLogReader::Feed(std::span<const uint8_t> chunk) {
    const char* at = reinterpret_cast<const char*>(chunk.data());
    const char* end = at + chunk.size();
    while (at < end) {
        const auto* lf =
            static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        const char* stop = lf != nullptr ? lf : end;
        const size_t length = static_cast<size_t>(stop - at);
        if (!m_overlong) {
            if (m_pending.size() + length > kMaxLineLength) {
                m_overlong = true;
                m_pending.clear();
            } else if (lf != nullptr && m_pending.empty()) {
                Line(std::string_view(at, length)); // whole line inside this chunk
            } else {
                m_pending.append(at, length);
                if (lf != nullptr) {
                    Line(m_pending);
                    m_pending.clear();
                }
            }
        }
        if (lf == nullptr) {
            break; // the line goes on in the next chunk
        }
        if (m_overlong) {
            // The overlong line ends here: it counts as a line and is skipped.
            m_overlong = false;
            if (m_firstLine) {
                m_firstLine = false;
            } else if (!Full()) {
                ++m_skipped;
            }
        }
        at = lf + 1;
    }
}

void CEngineLogReader::Finish() {
    if (m_overlong) {
        m_overlong = false;
        if (m_firstLine) {
            m_firstLine = false;
        } else if (!Full()) {
            ++m_skipped;
        }
    } else if (!m_pending.empty()) {
        Line(m_pending);
    }
    m_pending.clear();
}
