// The help window (frmHelp): the usage text in a read-only box. Opened
// modeless without owner by the main window's "ﾍﾙﾌﾟ"; closing it discards it.
#pragma once

#include "platform/unique_handle_win.h"
#include "platform/window_win.h"

namespace duomira {

class Win32HelpWindow : public Window {
  public:
    // Creates the window centred, with the text built anew, or brings the open
    // one to the front (there is never a second help window).
    void Open();

  protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool Realize();
    // Places the text box and sets its font for the window's DPI.
    void ApplyDpi(int dpi);

    HWND text_ = nullptr;
    UniqueGdiObject textBrush_;
    UniqueGdiObject font_;
};

}  // namespace duomira
