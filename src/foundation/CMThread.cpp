#include "foundation/CMThread.h"

#include "platform/Thread.h"

CMThread::CMThread()
    : m_thread(std::make_unique<platform::Thread>()) {}

CMThread::~CMThread() { Stop(); }

int CMThread::Start(Routine routine, void* userData) {
    m_routine = routine;
    m_userData = userData;
    if (!m_thread->start(routine, userData)) {
        return 0;
    }
    m_threadId = m_thread->id();
    return 1;
}

int CMThread::Stop() { return m_thread->join() ? 1 : 0; }
