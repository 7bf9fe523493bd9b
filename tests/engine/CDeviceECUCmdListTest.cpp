#include "engine/CDeviceECUCmdList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> Ids(const CDeviceECUCmdList& list) {
    std::vector<int> ids;
    for (CMNode* n = list.GetHead(); n != nullptr; n = n->next) {
        ids.push_back(static_cast<const CDeviceECUCmdMode*>(n)->parameterId);
    }
    return ids;
}

TEST(CDeviceECUCmdList, Item28FirstThenNewestFirst) {
    CDeviceECUCmdList list;
    const uint8_t one[] = {1};
    for (uint8_t id : {16, 28, 49, 17}) {
        list.SetItem(id, one);
    }
    EXPECT_EQ(Ids(list), (std::vector<int>{28, 17, 49, 16}));
}

TEST(CDeviceECUCmdList, ReplacingAValueKeepsThePlace) {
    CDeviceECUCmdList list;
    const uint8_t a[] = {1};
    const uint8_t group[] = {1, 2, 3, 4, 5, 6, 7, 8}; // cut to 6 bytes
    list.SetItem(16, a);
    list.SetItem(17, a);
    list.SetItem(16, group);
    EXPECT_EQ(Ids(list), (std::vector<int>{17, 16}));
    const CDeviceECUCmdMode* item = list.FindItem(16);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->itemLength, 7);
    EXPECT_EQ(item->Value().size(), 6u);
    EXPECT_EQ(item->Value()[5], 6);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(CDeviceECUCmdList, MatchUsesTheLowByteOfTheKey) {
    CDeviceECUCmdList list;
    const uint8_t a[] = {9};
    list.SetItem(60, a);
    EXPECT_NE(list.Find(0x100 + 60), nullptr);
    EXPECT_EQ(list.Find(61), nullptr);
    EXPECT_EQ(list.RemoveItem(61), 0);
    EXPECT_EQ(list.RemoveItem(60), 1);
    EXPECT_EQ(list.GetCount(), 0);
}

} // namespace
