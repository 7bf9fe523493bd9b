#include "platform/Thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace platform {

namespace {
std::atomic<uint32_t> g_nextId{1};
}

struct Thread::Impl {
    std::thread thread;
};

Thread::Thread()
    : m_impl(std::make_unique<Impl>()) {}

Thread::~Thread() { join(); }

bool Thread::start(Routine routine, void* userData) {
    if (m_impl->thread.joinable()) {
        return false;
    }
    try {
        m_impl->thread = std::thread([routine, userData] {
            if (routine != nullptr) {
                routine(userData);
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_id = g_nextId.fetch_add(1);
    return true;
}

bool Thread::join() {
    if (!m_impl->thread.joinable() || m_impl->thread.get_id() == std::this_thread::get_id()) {
        return false;
    }
    m_impl->thread.join();
    return true;
}

bool Thread::joinable() const { return m_impl->thread.joinable(); }

} // namespace platform
