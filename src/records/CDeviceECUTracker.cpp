#include "records/CDeviceECUTracker.h"

#include "foundation/CMBitReader.h"
#include "records/CEngineLogFile.h"

namespace {

// Group fields a format-2 record carries besides the common head.
void CopyGroup(uint8_t group, const CDeviceECUTItem& from, CDeviceECUTItem& to) {
    switch (group) {
    case 0:
        to.radio_vol = from.radio_vol;
        to.engine_vol = from.engine_vol;
        to.rc_input1 = from.rc_input1;
        to.rc_input2 = from.rc_input2;
        to.pressure = from.pressure;
        to.pump_st = from.pump_st;
        to.pump_rpm = from.pump_rpm;
        break;
    case 1:
        to.error_coe = from.error_coe;
        to.current = from.current;
        to.tcu_temp = from.tcu_temp;
        to.ecu_temp = from.ecu_temp;
        to.pump_temp = from.pump_temp;
        to.thrust = from.thrust;
        break;
    case 2:
        to.fuel_temp = from.fuel_temp;
        to.fuel_press = from.fuel_press;
        to.combustion_press = from.combustion_press;
        to.starter_rpm = from.starter_rpm;
        to.starter_vol = from.starter_vol;
        break;
    default: // group 3 carries nothing
        break;
    }
}

// Raw 0 is the ECU's "not measured"; it is shown as 0 rather than -60.
int32_t GroupOneTemperature(uint32_t raw) {
    return raw == 0 ? 0 : 2 * static_cast<int32_t>(raw) - 60;
}

// Maxima rise only to larger positive values; a negative field (possible only
// from a file) never lowers or wraps an unsigned maximum.
void Raise(uint32_t& maximum, int32_t value) {
    if (value > 0 && static_cast<uint32_t>(value) > maximum) {
        maximum = static_cast<uint32_t>(value);
    }
}

int32_t Scaled(uint32_t raw, int32_t scale) {
    return static_cast<int32_t>(raw) * scale;
}

} // namespace

void CDeviceECUTracker::clear() {
    RemoveAll();
    m_pumpVolMax = kPumpVolMaxReset;
    m_pumpRpmMax = kPumpRpmMaxReset;
    m_rpmMax = kRpmMaxReset;
    m_currentMax = kCurrentMaxReset;
    m_thrustMax = kThrustMaxReset;
    m_pumpVolMultiplier = kPumpVolMultiplierReset;
    m_recordsPerSecond = kRecordsPerSecondReset;
    m_voltageStep = 0;
    m_starterVolMax = kStarterVolMaxReset;
    m_sorted = true;
}

void CDeviceECUTracker::setRecordsPerSecond(uint8_t recordsPerSecond) {
    if (recordsPerSecond != 0) {
        m_recordsPerSecond = recordsPerSecond;
    }
}

int32_t CDeviceECUTracker::Match(CMNode* node, intptr_t key) {
    if (node == nullptr) {
        return 1;
    }
    return static_cast<CDeviceECUTItem*>(node)->counter == static_cast<uint32_t>(key) ? 0 : 1;
}

int32_t CDeviceECUTracker::Compare(CMNode* listed, CMNode* newNode) {
    // The sign of newNode.counter - listed.counter, without the overflow a
    // plain subtraction would have for counters loaded as negative numbers.
    const uint32_t a = static_cast<CDeviceECUTItem*>(listed)->counter;
    const uint32_t b = static_cast<CDeviceECUTItem*>(newNode)->counter;
    return b < a ? -1 : (b > a ? 1 : 0);
}

CDeviceECUTItem* CDeviceECUTracker::findPosition(uint32_t counter, bool& duplicate) {
    if (!m_sorted) {
        // A loaded file may be out of order: only a full search is sure.
        duplicate = Find(static_cast<intptr_t>(counter)) != nullptr;
        if (duplicate) {
            return nullptr;
        }
    }
    auto* node = static_cast<CDeviceECUTItem*>(GetHead());
    while (node != nullptr && counter < node->counter) {
        node = static_cast<CDeviceECUTItem*>(node->next);
    }
    duplicate = duplicate || (m_sorted && node != nullptr && node->counter == counter);
    return node;
}

void CDeviceECUTracker::insertAt(CDeviceECUTItem* position, CDeviceECUTItem* item) {
    if (position == nullptr) {
        AddTail(item);
    } else if (position == GetHead()) {
        AddHead(item);
    } else {
        InsertBefore(position, item);
    }
}

void CDeviceECUTracker::raiseCommonMaxima(const CDeviceECUTItem& item) {
    Raise(m_pumpVolMax, item.pump_vol);
    Raise(m_rpmMax, item.engine_rpm);
    Raise(m_rpmMax, item.starter_rpm);
    Raise(m_starterVolMax, item.starter_vol);
}

void CDeviceECUTracker::decodeFormat1(CMBitReader& reader, CDeviceECUTItem& item) const {
    item.subtype = 0;
    item.engine_state = static_cast<int32_t>(reader.ReadBits(5));
    item.temperature = Scaled(reader.ReadBits(7), 10);
    item.engine_rpm = Scaled(reader.ReadBits(13), 50);
    reader.SkipBits(4);
    item.rc_input2 = Scaled(reader.ReadBits(9), 5);
    item.pump_vol = Scaled(reader.ReadBits(11), m_pumpVolMultiplier);
    item.radio_vol = Scaled(reader.ReadBits(7), 20);
    item.engine_vol = Scaled(reader.ReadBits(7), 20);
    item.pressure = Scaled(reader.ReadBits(10), 100);
    item.rc_input1 = Scaled(reader.ReadBits(9), 5);
    item.speed = Scaled(reader.ReadBits(9), 2);
}

void CDeviceECUTracker::decodeFormat2(CMBitReader& reader, CDeviceECUTItem& item) {
    // counter and subtype were read by decode.
    reader.SkipBits(1);
    item.engine_state = static_cast<int32_t>(reader.ReadBits(5));
    item.temperature = Scaled(reader.ReadBits(8), 5) - 60;
    item.engine_rpm = Scaled(reader.ReadBits(13), 50);
    item.pump_vol = Scaled(reader.ReadBits(11), 10);
    switch (item.subtype) {
    case 0: {
        const int32_t step = m_voltageStep != 0 ? 50 : 20;
        item.radio_vol = Scaled(reader.ReadBits(7), step);
        item.engine_vol = Scaled(reader.ReadBits(7), step);
        item.rc_input1 = Scaled(reader.ReadBits(8), 10);
        item.rc_input2 = Scaled(reader.ReadBits(8), 10);
        item.pressure = Scaled(reader.ReadBits(14), 10);
        item.pump_st = static_cast<int32_t>(reader.ReadBits(2));
        item.pump_rpm = Scaled(reader.ReadBits(9), 50);
        break;
    }
    case 1:
        item.error_coe = static_cast<int32_t>(reader.ReadBits(12));
        item.current = static_cast<int32_t>(reader.ReadBits(10));
        item.tcu_temp = GroupOneTemperature(reader.ReadBits(7));
        item.ecu_temp = GroupOneTemperature(reader.ReadBits(7));
        item.pump_temp = GroupOneTemperature(reader.ReadBits(7));
        m_voltageStep = static_cast<uint8_t>(reader.ReadBits(1));
        item.thrust = static_cast<int32_t>(reader.ReadBits(11));
        break;
    case 2:
        item.fuel_temp = static_cast<int32_t>(reader.ReadBits(8)) - 60;
        item.fuel_press = static_cast<int32_t>(reader.ReadBits(11));
        item.combustion_press = Scaled(reader.ReadBits(10), 2);
        item.starter_rpm = Scaled(reader.ReadBits(12), 50);
        item.starter_vol = Scaled(reader.ReadBits(9), 10);
        break;
    default:
        break;
    }
}

void CDeviceECUTracker::fillGroups(CDeviceECUTItem* item) {
    if (item->prev != nullptr) {
        // Newer records that arrived first took this group from an older
        // record; this one is nearer, so it hands them its own.
        CMNode* node = item->prev;
        for (int i = 0; i < 3 && node != nullptr; ++i, node = node->prev) {
            auto* newer = static_cast<CDeviceECUTItem*>(node);
            if (newer->subtype == item->subtype) {
                break;
            }
            CopyGroup(item->subtype, *item, *newer);
        }
        return;
    }
    // The newest record takes the groups it lacks from older ones. Decision:
    // the nearest older record of a group wins, so a log with a lost record
    // (two records of one group within three) never pulls in the staler one.
    bool taken[4] = {false, false, false, false};
    CMNode* node = item->next;
    for (int i = 0; i < 3 && node != nullptr; ++i, node = node->next) {
        auto* older = static_cast<CDeviceECUTItem*>(node);
        if (older->subtype == item->subtype) {
            break;
        }
        const uint8_t group = older->subtype & 3u;
        if (!taken[group]) {
            CopyGroup(group, *older, *item);
            taken[group] = true;
        }
    }
}

int CDeviceECUTracker::decode(uint8_t format, std::span<const uint8_t> bytes) {
    if (format != 1 && format != 2) {
        return 0;
    }
    const size_t length = format == 1 ? kFormat1Length : kFormat2Length;
    if (bytes.size() < length) {
        return 0;
    }
    CMBitReader reader(bytes.first(length));
    const uint32_t counter = reader.ReadBits(format == 1 ? 21 : 25);
    uint8_t subtype = 0;
    if (format == 2) {
        subtype = static_cast<uint8_t>(reader.ReadBits(2));
    }
    if (counter == (format == 1 ? kFormat1Empty : kFormat2Empty)) {
        return 0;
    }
    bool duplicate = false;
    CDeviceECUTItem* position = findPosition(counter, duplicate);
    if (duplicate) {
        return 0;
    }
    auto* item = new CDeviceECUTItem();
    item->counter = counter;
    item->subtype = subtype;
    if (format == 1) {
        decodeFormat1(reader, *item);
    } else {
        decodeFormat2(reader, *item);
    }
    insertAt(position, item);
    raiseCommonMaxima(*item);
    if (format == 1) {
        return 1;
    }
    Raise(m_pumpRpmMax, item->pump_rpm);
    if (item->current > m_currentMax) {
        m_currentMax = item->current + 10;
    }
    if (item->thrust > m_thrustMax) {
        m_thrustMax = item->thrust + 5;
    }
    fillGroups(item);
    return 1;
}

int CDeviceECUTracker::parseBulkRead(uint8_t format, std::span<const uint8_t> read) {
    const size_t length = format == 1 ? kFormat1Length : kFormat2Length;
    int added = decode(format, read);
    if (read.size() > length && read[length] == kPairMarker) {
        added |= decode(format, read.subspan(length + 1));
    }
    return added;
}

int CDeviceECUTracker::parseFollowRead(uint8_t format, std::span<const uint8_t> read) {
    return decode(format, read);
}

int CDeviceECUTracker::addCopy(const CDeviceECUTItem& record) {
    auto* item = new CDeviceECUTItem();
    item->assignFields(record);
    const auto* head = newest();
    if (head != nullptr && item->counter < head->counter) {
        m_sorted = false;
    }
    AddHead(item);
    raiseCommonMaxima(*item);
    Raise(m_pumpRpmMax, item->pump_rpm);
    if (item->current > m_currentMax) {
        m_currentMax = item->current;
    }
    if (item->thrust > m_thrustMax) {
        m_thrustMax = item->thrust + 5;
    }
    return 1;
}

void CDeviceECUTracker::takeFrom(CDeviceECUTracker& other) {
    if (&other == this) {
        return;
    }
    RemoveAll();
    while (CMNode* node = other.GetHead()) {
        other.Remove(node, false);
        AddTail(node);
    }
    m_pumpVolMax = other.m_pumpVolMax;
    m_pumpRpmMax = other.m_pumpRpmMax;
    m_rpmMax = other.m_rpmMax;
    m_currentMax = other.m_currentMax;
    m_thrustMax = other.m_thrustMax;
    m_pumpVolMultiplier = other.m_pumpVolMultiplier;
    m_recordsPerSecond = other.m_recordsPerSecond;
    m_voltageStep = other.m_voltageStep;
    m_starterVolMax = other.m_starterVolMax;
    m_sorted = other.m_sorted;
    other.clear();
}

int CDeviceECUTracker::save(const std::string& path, std::string* errorText) {
    CEngineLogFile file;
    const int result = file.Save(*this, path);
    if (errorText != nullptr) {
        *errorText = file.LastError();
    }
    return result;
}

int CDeviceECUTracker::load(const std::string& path, std::string* errorText) {
    CEngineLogFile file;
    const int result = file.Load(*this, path);
    if (errorText != nullptr) {
        *errorText = file.LastError();
    }
    return result;
}
