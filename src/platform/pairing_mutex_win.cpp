// Implements PairingLock (launch/startup.h) with a named mutex of the session.
#include "platform/pairing_mutex_win.h"

#include "platform/trace_win.h"

namespace duomira {

namespace {

// Another start holds the lock only while it reads and writes a few settings
// and starts a program; far longer means that start hangs, and this one gives up.
constexpr DWORD kPairingWaitMs = 20000;

}  // namespace

bool PairingMutex::Acquire() {
    if (held_) return true;
    if (!mutex_) mutex_.reset(CreateMutexW(nullptr, FALSE, kPairingMutexName));
    if (!mutex_) {
        TraceFailure(L"CreateMutexW", kPairingMutexName, GetLastError());
        return false;
    }
    switch (const DWORD wait = WaitForSingleObject(mutex_.get(), kPairingWaitMs)) {
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
