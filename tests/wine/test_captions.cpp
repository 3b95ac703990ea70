// Every caption of the three windows as the running program shows it, against
// the texts written out in common/expected_texts.h.
#include <span>
#include <string>

#include "common/expected_texts.h"
#include "driver.h"
#include "help_window/help_window_ids.h"
#include "main_window/main_window_ids.h"
#include "path_dialog/path_dialog_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;
namespace expected = duomira::expected;

namespace {

void CheckCaptions(HWND window, std::span<const expected::Caption> captions) {
    for (const expected::Caption& caption : captions) {
        SCOPED_TRACE(caption.name);
        HWND shown = caption.id == 0 ? window : RequireChild(window, caption.id);
        EXPECT_EQ(TextOf(shown), caption.text);
    }
}

}  // namespace

TEST(captions, main_window_path_dialog_and_help_window) {
    WaitingStart waiting = StartWaiting();
    CheckCaptions(waiting.main, expected::kMainWindowCaptions);
    ClickButton(RequireChild(waiting.main, ids::kMainCommand1));
    CheckCaptions(RequireWindow(waiting.process.Id(), ids::kPathDialogClass, 5000),
                  expected::kPathDialogCaptions);
    ClickButton(RequireChild(waiting.main, ids::kMainCommand2));
    CheckCaptions(RequireWindow(waiting.process.Id(), ids::kHelpWindowClass, 5000),
                  expected::kHelpWindowCaptions);
}
