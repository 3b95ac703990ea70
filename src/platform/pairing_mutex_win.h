// The pairing lock of the start-up procedure: a named mutex in the session's
// namespace, shared by every start of the program in the user's session.
#pragma once

#include "launch/startup.h"
#include "platform/unique_handle_win.h"

namespace duomira {

inline constexpr wchar_t kPairingMutexName[] = L"Local\\Duomira.FileName.Pairing";

class PairingMutex : public PairingLock {
  public:
    PairingMutex() = default;
    PairingMutex(const PairingMutex&) = delete;
    PairingMutex& operator=(const PairingMutex&) = delete;
    ~PairingMutex() override { Release(); }

    bool Acquire(std::uint32_t waitMs) override;
    void Release() override;

  private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
};

}  // namespace duomira
