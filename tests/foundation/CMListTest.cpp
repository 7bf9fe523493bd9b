#include "foundation/CMList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct KeyNode : CMNode {
    KeyNode(int k, int* deletions = nullptr)
        : key(k)
        , deleted(deletions) {}
    ~KeyNode() override {
        if (deleted != nullptr) {
            ++*deleted;
        }
    }
    int key;
    int* deleted;
};

// Descending by key, a new node in front of equal keys, matched by key.
struct KeyList : CMList {
    int32_t Match(CMNode* node, intptr_t key) override {
        return static_cast<KeyNode*>(node)->key == key ? 0 : 1;
    }
    int32_t Compare(CMNode* listed, CMNode* newNode) override {
        return static_cast<KeyNode*>(newNode)->key < static_cast<KeyNode*>(listed)->key ? -1 : 1;
    }
    void Visit(CMNode* node, intptr_t argument) override {
        if (static_cast<KeyNode*>(node)->key == argument) {
            Remove(node, true);
        }
    }
};

std::vector<int> Keys(const CMList& list) {
    std::vector<int> keys;
    for (CMNode* n = list.GetHead(); n != nullptr; n = n->next) {
        keys.push_back(static_cast<KeyNode*>(n)->key);
    }
    return keys;
}

// Walks both directions and checks count, head, tail and prev/next symmetry.
void ExpectConsistent(const CMList& list) {
    int32_t forward = 0;
    CMNode* last = nullptr;
    for (CMNode* n = list.GetHead(); n != nullptr; n = n->next) {
        EXPECT_EQ(n->prev, last);
        last = n;
        ++forward;
    }
    EXPECT_EQ(last, list.GetTail());
    EXPECT_EQ(forward, list.GetCount());
    EXPECT_EQ(list.GetCount() == 0, list.GetHead() == nullptr && list.GetTail() == nullptr);
}

} // namespace

TEST(CMList, InsertSortedIntoAnEmptyListMakesHeadAndTail) {
    KeyList list;
    auto* node = new KeyNode(7);
    EXPECT_EQ(list.InsertSorted(node), 1);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetHead(), node);
    EXPECT_EQ(list.GetTail(), node);
    ExpectConsistent(list);
}

TEST(CMList, InsertSortedKeepsDescendingOrderAndFindReturnsTheFirstInserted) {
    KeyList list;
    auto* firstFive = new KeyNode(5);
    auto* secondFive = new KeyNode(5);
    list.InsertSorted(new KeyNode(3));
    list.InsertSorted(firstFive);
    list.InsertSorted(new KeyNode(4));
    list.InsertSorted(secondFive);
    EXPECT_EQ(Keys(list), (std::vector<int>{5, 5, 4, 3}));
    EXPECT_EQ(list.GetHead(), secondFive);
    EXPECT_EQ(list.Find(5), firstFive);
    EXPECT_EQ(list.Find(9), nullptr);
    ExpectConsistent(list);
}

TEST(CMList, InsertSortedAppendsBelowEveryKeyAndInsertsInTheMiddle) {
    KeyList list;
    list.InsertSorted(new KeyNode(9));
    list.InsertSorted(new KeyNode(1));
    list.InsertSorted(new KeyNode(5));
    EXPECT_EQ(Keys(list), (std::vector<int>{9, 5, 1}));
    ExpectConsistent(list);
}

TEST(CMList, DefaultCompareInsertsEveryNodeAtTheHead) {
    CMList list;
    auto* a = new KeyNode(1);
    auto* b = new KeyNode(2);
    list.InsertSorted(a);
    list.InsertSorted(b);
    EXPECT_EQ(list.GetHead(), b);
    EXPECT_EQ(list.GetTail(), a);
    ExpectConsistent(list);
}

TEST(CMList, RemoveHeadWithoutDeleteHandsTheNodeBack) {
    KeyList list;
    auto* a = new KeyNode(1);
    auto* b = new KeyNode(2);
    list.AddTail(a);
    list.AddTail(b);
    EXPECT_EQ(list.Remove(a, false), 1);
    EXPECT_EQ(list.GetHead(), b);
    EXPECT_EQ(b->prev, nullptr);
    EXPECT_EQ(a->next, nullptr);
    EXPECT_EQ(a->prev, nullptr);
    ExpectConsistent(list);
    // The caller owns it again and may put it back.
    EXPECT_EQ(list.AddHead(a), 1);
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 2}));
    ExpectConsistent(list);
}

TEST(CMList, RemoveTailAndMiddleFixLinks) {
    KeyList list;
    int deletions = 0;
    auto* a = new KeyNode(1, &deletions);
    auto* b = new KeyNode(2, &deletions);
    auto* c = new KeyNode(3, &deletions);
    list.AddTail(a);
    list.AddTail(b);
    list.AddTail(c);
    EXPECT_EQ(list.Remove(b, true), 1);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(list.Remove(c, true), 1);
    EXPECT_EQ(list.GetTail(), a);
    EXPECT_EQ(a->next, nullptr);
    ExpectConsistent(list);
}

TEST(CMList, NullNodesAreRefused) {
    KeyList list;
    EXPECT_EQ(list.AddHead(nullptr), 0);
    EXPECT_EQ(list.AddTail(nullptr), 0);
    EXPECT_EQ(list.InsertSorted(nullptr), 0);
    EXPECT_EQ(list.Remove(nullptr, true), 0);
    auto* a = new KeyNode(1);
    list.AddTail(a);
    KeyNode loose(2);
    EXPECT_EQ(list.InsertBefore(nullptr, &loose), 0);
    EXPECT_EQ(loose.next, nullptr);
    EXPECT_EQ(list.InsertBefore(a, nullptr), 0);
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(CMList, GetAtCountsFromTheHead) {
    KeyList list;
    EXPECT_EQ(list.GetAt(0), nullptr);
    for (int k : {1, 2, 3}) {
        list.AddTail(new KeyNode(k));
    }
    EXPECT_EQ(list.GetAt(3), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(2), list.GetTail());
    EXPECT_EQ(static_cast<KeyNode*>(list.GetAt(1))->key, 2);
}

TEST(CMList, RemoveAllAndDestructorDeleteEveryNode) {
    int deletions = 0;
    {
        KeyList list;
        EXPECT_EQ(list.RemoveAll(), 1);
        EXPECT_EQ(list.GetCount(), 0);
        for (int k = 0; k < 4; ++k) {
            list.AddTail(new KeyNode(k, &deletions));
        }
        EXPECT_EQ(list.RemoveAll(), 1);
        EXPECT_EQ(deletions, 4);
        ExpectConsistent(list);
        for (int k = 0; k < 3; ++k) {
            list.AddHead(new KeyNode(k, &deletions));
        }
    }
    EXPECT_EQ(deletions, 7);
}

TEST(CMList, ForEachLetsVisitDeleteTheNodeItIsGiven) {
    KeyList list;
    int deletions = 0;
    for (int k : {2, 1, 2, 3, 2}) {
        list.AddTail(new KeyNode(k, &deletions));
    }
    list.ForEach(2);
    EXPECT_EQ(deletions, 3);
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 3}));
    ExpectConsistent(list);
}
