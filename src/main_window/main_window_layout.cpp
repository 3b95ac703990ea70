#include "main_window/main_window_layout.h"

#include <array>

#include "main_window/main_window_ids.h"

namespace duomira {

namespace {

using enum ControlKind;
constexpr auto kYellow = kLightYellow;

// Ordered by tab index; Image1 takes no focus and comes first.
constexpr std::array<ControlLayout, 11> kControls{{
    {L"Image1", ids::kImage1, Image, kWindowClient, 120, 120, 480, 480, kNoTabIndex, L"", {}},
    {L"Check1", ids::kCheck1, CheckBox, kWindowClient, 120, 720, 1695, 255, 0,
     L"ｻﾌﾞﾃﾞｨﾚｸﾄﾘ含む", kYellow},
    {L"Option1(0)", ids::kOption1 + 0, OptionButton, kWindowClient, 720, 0, 4695, 255, 1,
     L"WinDiffで比較", kYellow},
    {L"Option1(1)", ids::kOption1 + 1, OptionButton, kWindowClient, 720, 240, 4575, 255, 2,
     L"WinMergeで比較", kYellow},
    {L"Option1(2)", ids::kOption1 + 2, OptionButton, kWindowClient, 720, 480, 4575, 255, 3,
     L"FCｺﾏﾝﾄﾞで出力", kYellow},
    {L"Command1", ids::kMainCommand1, CommandButton, kWindowClient, 1800, 720, 615, 255, 4,
     L"設定", {}},
    {L"Frame1", ids::kMainFrame1, Frame, kWindowClient, 120, 1080, 5175, 735, 5, L"詳細",
     kYellow},
    {L"Label1", ids::kMainLabel1, Label, ids::kMainFrame1, 120, 300, 1215, 255, 6,
     L"比較元ﾌｧｲﾙ：", kYellow, TextAlign::Right},
    {L"Label2", ids::kMainLabel2, Label, ids::kMainFrame1, 1320, 170, 3735, 495, 7, L"",
     kWhite, TextAlign::Left},
    {L"Label3", ids::kMainLabel3, Label, kWindowClient, 120, 1850, 5175, 255, 8,
     L"続けて、比較するﾌｧｲﾙを同様に右ｸﾘｯｸして指定して下さい。", kYellow, TextAlign::Center},
    {L"Command2", ids::kMainCommand2, CommandButton, kWindowClient, 2640, 720, 615, 255, 9,
     L"ﾍﾙﾌﾟ", {}},
}};

constexpr WindowLayout kLayout{kMainWindowCaption, 5400, 2130, kLightYellow, kControls};

}  // namespace

const WindowLayout& MainWindowLayout() { return kLayout; }

}  // namespace duomira
