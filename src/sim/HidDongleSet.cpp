#include "sim/HidDongleSet.h"

#include "sim/HidDongle.h"

#include <algorithm>

namespace sim {

void HidDongleSet::Add(HidDongle& dongle) {
    std::lock_guard lock(m_lock);
    m_dongles.push_back(&dongle);
}

void HidDongleSet::Remove(const HidDongle& dongle) {
    std::lock_guard lock(m_lock);
    std::erase(m_dongles, &dongle);
}

void HidDongleSet::AddOther(std::string path, uint16_t vendorId, uint16_t productId) {
    std::lock_guard lock(m_lock);
    m_others.push_back({std::move(path), vendorId, productId});
}

std::vector<platform::HidDeviceInfo> HidDongleSet::Enumerate() {
    ++m_enumerations;
    std::lock_guard lock(m_lock);
    std::vector<platform::HidDeviceInfo> out = m_others;
    for (HidDongle* d : m_dongles) {
        if (d->IsPlugged()) {
            out.push_back({d->Path(), d->VendorId(), d->ProductId()});
        }
    }
    return out;
}

std::unique_ptr<platform::HidDevice> HidDongleSet::Open(const std::string& path,
                                                        std::string* error) {
    std::lock_guard lock(m_lock);
    for (HidDongle* d : m_dongles) {
        if (d->Path() == path) {
            return d->Open(error);
        }
    }
    if (error != nullptr) {
        *error =
            "hid_open_path " + path +
            (std::any_of(
                 m_others.begin(), m_others.end(), [&](const auto& o) { return o.path == path; })
                 ? ": Permission denied"
                 : ": No such file or directory");
    }
    return nullptr;
}

} // namespace sim
