#include "foundation/CMMutex.h"

CMMutex::CMMutex() { (void)m_semaphore.Create(1); }

CMMutex::~CMMutex() { m_semaphore.Close(); }
