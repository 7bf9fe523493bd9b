#pragma once

#include "engine/EcuTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The ordered register writes of one commit, built by
// CEcuParameters::buildCommit and executed by the protocol object:
//
//     CEcuCommitPlan plan = parameters.buildCommit();
//     size_t sent = 0;
//     for (const CEcuRegisterWrite& w : plan.writes()) {
//         if (!connected || !device.Write(w.reg, w.length, w.data.data(), w.delayMs)) break;
//         ++sent;
//         sleep(w.pauseAfterMs);
//     }
//     parameters.commitDone(plan, sent);
//     return sent == plan.size();
//
// Each write records what it carries, so that commitDone retires exactly the
// changes that reached the ECU: after a failed write that write's changes and
// all later ones stay pending.
//
// Thread safety: none; a value.
class CEcuCommitPlan {
public:
    enum class Kind : uint8_t {
        Items,          // an item-generation frame (0xAA 0x55 / 0xAA 0x66)
        Page,           // a block-generation page image (register 2 or 3)
        RestartAllowed, // block immediate command 0xFF 0x02
        RpmControl,     // block immediate command 0xFF 0x0A
        EngineName,     // block immediate command 0xFF 0x05 0x3A 0x56
    };

    // One item a frame carries, as it was sent.
    struct SentItem {
        uint8_t id = 0;
        uint8_t valueLength = 0;
        std::array<uint8_t, 6> value{};
    };

    struct Entry {
        Kind kind = Kind::Items;
        std::vector<SentItem> items;    // Kind::Items
        uint8_t flag = 0;               // RestartAllowed, RpmControl: the value sent
        std::array<uint8_t, 28> name{}; // EngineName: the name sent
    };

    [[nodiscard]] const std::vector<CEcuRegisterWrite>& writes() const { return m_writes; }
    [[nodiscard]] const std::vector<Entry>& entries() const { return m_entries; }
    [[nodiscard]] size_t size() const { return m_writes.size(); }
    [[nodiscard]] bool empty() const { return m_writes.empty(); }

    // Used by the parameter block while building.
    void add(const CEcuRegisterWrite& write, Entry entry);

private:
    std::vector<CEcuRegisterWrite> m_writes;
    std::vector<Entry> m_entries; // parallel to m_writes
};
