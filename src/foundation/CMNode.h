#pragma once

// An element of a CMList. Subclasses append their own fields; the list deletes
// nodes of any subclass through the virtual destructor.
class CMNode {
public:
    CMNode() = default;
    virtual ~CMNode() = default;
    CMNode(const CMNode&) = delete;
    CMNode& operator=(const CMNode&) = delete;

    CMNode* next = nullptr; // following node, null at the tail
    CMNode* prev = nullptr; // preceding node, null at the head
};
