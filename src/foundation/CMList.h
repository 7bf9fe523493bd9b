#pragma once

#include "foundation/CMNode.h"

#include <cstdint>

// The one owning, intrusive, doubly linked list. Subclasses customise search
// and order by overriding Match and Compare.
//
// The list owns its nodes: Remove with the delete flag and RemoveAll delete
// them, and so does the destructor for every node still linked. A node is in
// at most one list at a time.
//
// Thread safety: none. The owner serialises every change and every walk that
// another thread may overlap (with its own CMMutex).
class CMList {
public:
    CMList() = default;
    virtual ~CMList(); // deletes every node, as RemoveAll
    CMList(const CMList&) = delete;
    CMList& operator=(const CMList&) = delete;

    // 0 when node is the one sought for key, any other value when it is not.
    // The key's meaning is the subclass's. Default: 0 (every node matches).
    virtual int32_t Match(CMNode* node, intptr_t key);

    // >= 0 when newNode goes in front of listed. Default: 0 (always in front).
    virtual int32_t Compare(CMNode* listed, CMNode* newNode);

    // Called by ForEach for every node. Default: nothing.
    virtual void Visit(CMNode* node, intptr_t argument);

    [[nodiscard]] int32_t GetCount() const { return m_count; }
    [[nodiscard]] CMNode* GetHead() const { return m_head; }
    [[nodiscard]] CMNode* GetTail() const { return m_tail; }

    // The node reached by following next index times from the head; null for
    // an index outside 0..count-1.
    [[nodiscard]] CMNode* GetAt(int32_t index) const;

    // The node must be unlinked (as construction and Remove without delete
    // leave it). Return 1, or 0 for a null node.
    int AddHead(CMNode* node);
    int AddTail(CMNode* node);

    // Links newNode directly in front of position; 0 if either is null.
    int InsertBefore(CMNode* position, CMNode* newNode);

    // Inserts in front of the first listed node for which Compare >= 0, or at
    // the tail when there is none.
    int InsertSorted(CMNode* node);

    // Unlinks node. With deleteNode set the node is deleted; otherwise its links
    // are cleared and the caller owns it again. 0 for a null node.
    int Remove(CMNode* node, bool deleteNode);

    // Deletes every node from head to tail; always 1.
    int RemoveAll();

    // Walks from the tail towards the head and returns the first node that
    // Match()es key, or null. Among equal keys kept by InsertSorted's
    // descending order that is the one inserted first.
    [[nodiscard]] CMNode* Find(intptr_t key);

    // Visit()s every node from head to tail; the next node is taken before each
    // call, so Visit may remove and delete the node it is given.
    void ForEach(intptr_t argument);

private:
    int32_t m_count = 0;
    CMNode* m_head = nullptr;
    CMNode* m_tail = nullptr;
};
