#include "foundation/CMList.h"

CMList::~CMList() { RemoveAll(); }

int32_t CMList::Match(CMNode*, intptr_t) { return 0; }

int32_t CMList::Compare(CMNode*, CMNode*) { return 0; }

void CMList::Visit(CMNode*, intptr_t) {}

CMNode* CMList::GetAt(int32_t index) const {
    if (index < 0 || index >= m_count) {
        return nullptr;
    }
    CMNode* node = m_head;
    while (index-- > 0 && node != nullptr) {
        node = node->next;
    }
    return node;
}

int CMList::AddHead(CMNode* node) {
    if (node == nullptr) {
        return 0;
    }
    node->next = m_head;
    if (m_head != nullptr) {
        m_head->prev = node;
    } else {
        m_tail = node;
    }
    m_head = node;
    ++m_count;
    return 1;
}

int CMList::AddTail(CMNode* node) {
    if (node == nullptr) {
        return 0;
    }
    node->prev = m_tail;
    if (m_tail != nullptr) {
        m_tail->next = node;
    } else {
        m_head = node;
    }
    m_tail = node;
    ++m_count;
    return 1;
}

int CMList::InsertBefore(CMNode* position, CMNode* newNode) {
    if (position == nullptr || newNode == nullptr) {
        return 0;
    }
    newNode->next = position;
    newNode->prev = position->prev;
    if (position->prev != nullptr) {
        position->prev->next = newNode;
    } else {
        m_head = newNode;
    }
    position->prev = newNode;
    ++m_count;
    return 1;
}

int CMList::InsertSorted(CMNode* node) {
    if (node == nullptr) {
        return 0;
    }
    CMNode* listed = m_head;
    int32_t position = 0;
    while (listed != nullptr && Compare(listed, node) < 0) {
        listed = listed->next;
        ++position;
    }
    if (position == 0 || m_count == 0) {
        return AddHead(node);
    }
    if (listed == nullptr) {
        return AddTail(node);
    }
    return InsertBefore(listed, node);
}

int CMList::Remove(CMNode* node, bool deleteNode) {
    if (node == nullptr) {
        return 0;
    }
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    } else {
        m_head = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    } else {
        m_tail = node->prev;
    }
    --m_count;
    node->next = nullptr;
    node->prev = nullptr;
    if (deleteNode) {
        delete node;
    }
    return 1;
}

int CMList::RemoveAll() {
    CMNode* node = m_head;
    while (node != nullptr) {
        CMNode* following = node->next;
        delete node;
        node = following;
    }
    m_head = nullptr;
    m_tail = nullptr;
    m_count = 0;
    return 1;
}

CMNode* CMList::Find(intptr_t key) {
    for (CMNode* node = m_tail; node != nullptr; node = node->prev) {
        if (Match(node, key) == 0) {
            return node;
        }
    }
    return nullptr;
}

void CMList::ForEach(intptr_t argument) {
    CMNode* node = m_head;
    while (node != nullptr) {
        CMNode* following = node->next;
        Visit(node, argument);
        node = following;
    }
}
