// Signals an event whenever a value under the settings key is written, so a
// waiting instance learns at once that its partner start has cleared FileName.
#pragma once

#include <windows.h>

#include "platform/unique_handle_win.h"

namespace duomira {

class SettingsKeyWatch {
  public:
    // Opens (creating it if need be) the settings key and arms the watch.
    // Without a watch the caller still has its timer: Event() is then null.
    bool Start();
    HANDLE Event() const { return event_.get(); }
    // Arms the watch again after the event has fired.
    bool Rearm();

  private:
    UniqueRegKey key_;
    UniqueKernelHandle event_;
};

}  // namespace duomira
