#include "engine/CDeviceECUCmdList.h"

int32_t CDeviceECUCmdList::Match(CMNode* node, intptr_t key) {
    const auto* item = static_cast<const CDeviceECUCmdMode*>(node);
    return item->parameterId == static_cast<uint8_t>(key & 0xFF) ? 0 : 1;
}

int32_t CDeviceECUCmdList::Compare(CMNode* listed, CMNode* newNode) {
    const auto* a = static_cast<const CDeviceECUCmdMode*>(listed);
    const auto* b = static_cast<const CDeviceECUCmdMode*>(newNode);
    return b->orderKey < a->orderKey ? -1 : 1;
}

CDeviceECUCmdMode* CDeviceECUCmdList::FindItem(uint8_t parameterId) {
    return static_cast<CDeviceECUCmdMode*>(Find(parameterId));
}

const CDeviceECUCmdMode* CDeviceECUCmdList::FindItem(uint8_t parameterId) const {
    // Find is a plain walk; it does not change the list.
    return const_cast<CDeviceECUCmdList*>(this)->FindItem(parameterId);
}

int CDeviceECUCmdList::SetItem(uint8_t parameterId, std::span<const uint8_t> value) {
    if (CDeviceECUCmdMode* item = FindItem(parameterId)) {
        item->SetValue(value);
        return 1;
    }
    return InsertSorted(new CDeviceECUCmdMode(parameterId, value));
}

int CDeviceECUCmdList::RemoveItem(uint8_t parameterId) {
    CDeviceECUCmdMode* item = FindItem(parameterId);
    if (item == nullptr) {
        return 0;
    }
    return Remove(item, true);
}
