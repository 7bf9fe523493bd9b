#include "engine/CEcuCommitPlan.h"

#include <utility>

void CEcuCommitPlan::add(const CEcuRegisterWrite& write, Entry entry) {
    m_writes.push_back(write);
    m_entries.push_back(std::move(entry));
}
