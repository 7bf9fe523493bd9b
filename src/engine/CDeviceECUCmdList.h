#pragma once

#include "engine/CDeviceECUCmdMode.h"
#include "foundation/CMList.h"

#include <cstdint>
#include <span>

// The pending parameter changes of an item-generation ECU, at most one item
// per parameter id. It lives with the parameter block rather than with the
// protocol object because the parameter setters add, replace and remove its
// items; the protocol object only drains it through a commit.
//
// Order: descending by order key, a new item in front of items with an equal
// key, so a commit taken from the head sends item 28 first and otherwise the
// most recent change first. Replacing the value of a pending item keeps its
// place.
//
// Thread safety: none (see CMList). The parameter block's owner serialises it.
class CDeviceECUCmdList : public CMList {
public:
    // 0 when the node's parameter id equals the low byte of key.
    int32_t Match(CMNode* node, intptr_t key) override;
    // -1 when newNode's order key is below listed's, else 1.
    int32_t Compare(CMNode* listed, CMNode* newNode) override;

    [[nodiscard]] CDeviceECUCmdMode* FindItem(uint8_t parameterId);
    [[nodiscard]] const CDeviceECUCmdMode* FindItem(uint8_t parameterId) const;

    // Adds an item for parameterId, or replaces the value of the one pending.
    // Returns 1.
    int SetItem(uint8_t parameterId, std::span<const uint8_t> value);

    // Removes and deletes the pending item of parameterId; 0 when there is none.
    int RemoveItem(uint8_t parameterId);
};
