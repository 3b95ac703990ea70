// Implements PairingLock (launch/startup.h) with a named mutex of the session.
#include "platform/pairing_mutex_win.h"

#include "platform/trace_win.h"

namespace duomira {

bool PairingMutex::Acquire(std::uint32_t waitMs) {
    if (held_) return true;
    if (!mutex_) mutex_.reset(CreateMutexW(nullptr, FALSE, kPairingMutexName));
    if (!mutex_) {
        TraceFailure(L"CreateMutexW", kPairingMutexName, GetLastError());
        return false;
    }
    switch (const DWORD wait = WaitForSingleObject(mutex_.get(), waitMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // a start ended while holding it; each write is whole, so go on
        held_ = true;
        return true;
    default:
        TraceFailure(L"WaitForSingleObject (pairing lock)", kPairingMutexName,
                     wait == WAIT_TIMEOUT ? WAIT_TIMEOUT : GetLastError());
        return false;
    }
}

void PairingMutex::Release() {
    if (!held_) return;
    ReleaseMutex(mutex_.get());
    held_ = false;
}

}  // namespace duomira
