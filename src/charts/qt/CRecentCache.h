#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>

// Values by key, the recently used ones kept: entries live in two
// generations; when the newer one holds its capacity it becomes the older
// one and the older is dropped. A lookup that finds an entry in the older
// generation moves it to the newer, so what is used at every redraw stays
// however many other keys pass through (a chart's changing readouts).
// At most 2 x capacity entries.
//
// Thread safety: none; one owner uses it at a time.
template <typename Value>
class CRecentCache {
public:
    explicit CRecentCache(size_t capacity)
        : m_capacity(capacity > 0 ? capacity : 1) {}

    // The entry of key, null when there is none. The pointer stays valid
    // until the next Find, Insert or Clear.
    Value* Find(const std::string& key) {
        auto it = m_newer.find(key);
        if (it != m_newer.end()) {
            return &it->second;
        }
        auto old = m_older.find(key);
        if (old == m_older.end()) {
            return nullptr;
        }
        Value value = std::move(old->second);
        m_older.erase(old);
        return &Insert(key, std::move(value));
    }

    // Stores value under key (which Find did not find) and returns it.
    Value& Insert(const std::string& key, Value value) {
        if (m_newer.size() >= m_capacity) {
            m_older = std::move(m_newer);
            m_newer.clear(); // valid but unspecified after the move
        }
        return m_newer.insert_or_assign(key, std::move(value)).first->second;
    }

    void Clear() {
        m_newer.clear();
        m_older.clear();
    }

    [[nodiscard]] size_t Size() const { return m_newer.size() + m_older.size(); }

private:
    size_t m_capacity;
    std::unordered_map<std::string, Value> m_newer;
    std::unordered_map<std::string, Value> m_older;
};
