#include "path_dialog/path_dialog_layout.h"

#include <array>

#include "path_dialog/path_dialog_ids.h"

namespace duomira {

namespace {

using enum ControlKind;
constexpr auto kYellow = kLightYellow;
constexpr int kFrame1 = ids::kPathFrame1;
constexpr int kFrame2 = ids::kPathFrame2;

constexpr int LabelId(int number) { return ids::kPathLabel1 + number - 1; }

// Ordered by tab index, which is also the creation order: the boxes and the
// buttons are created first and so lie in front of the frames they sit on.
// Text boxes and buttons keep the system's own colours.
constexpr std::array<ControlLayout, 22> kControls{{
    {L"Text1(0)", ids::kPathText1 + 0, TextBox, kWindowClient, 960, 600, 3015, 270, 0, L"", {}},
    {L"Text2(0)", ids::kPathText2 + 0, TextBox, kWindowClient, 960, 960, 2175, 270, 1, L"", {}},
    {L"Text1(1)", ids::kPathText1 + 1, TextBox, kWindowClient, 960, 1680, 3015, 270, 2, L"", {}},
    {L"Text2(1)", ids::kPathText2 + 1, TextBox, kWindowClient, 960, 2040, 2175, 270, 3, L"", {}},
    {L"Text1(2)", ids::kPathText1 + 2, TextBox, kWindowClient, 960, 2760, 3015, 270, 4, L"", {}},
    {L"Text2(2)", ids::kPathText2 + 2, TextBox, kWindowClient, 960, 3120, 2175, 270, 5, L"", {}},
    {L"Command3", ids::kPathCommand3, CommandButton, kWindowClient, 2880, 4320, 975, 375, 6,
     L"ＯＫ", {}},
    {L"Command4", ids::kPathCommand4, CommandButton, kWindowClient, 3960, 4320, 975, 375, 7,
     L"キャンセル", {}},
    {L"Command1", ids::kPathCommand1, CommandButton, kWindowClient, 4080, 480, 615, 375, 8,
     L"参照...", {}},
    {L"Command2", ids::kPathCommand2, CommandButton, kWindowClient, 4080, 1560, 615, 375, 9,
     L"参照...", {}},
    {L"Frame1", kFrame1, Frame, kWindowClient, 120, 120, 4815, 4095, 10, L"起動ツール設定",
     kYellow},
    {L"Label2", LabelId(2), Label, kFrame1, 120, 480, 735, 255, 11, L"ﾊﾟｽ：", kYellow,
     TextAlign::Right},
    {L"Label3", LabelId(3), Label, kFrame1, 120, 840, 735, 255, 12, L"名前：", kYellow,
     TextAlign::Right},
    {L"Label4", LabelId(4), Label, kFrame1, 120, 1560, 735, 255, 13, L"ﾊﾟｽ：", kYellow,
     TextAlign::Right},
    {L"Label5", LabelId(5), Label, kFrame1, 120, 1920, 735, 255, 14, L"名前：", kYellow,
     TextAlign::Right},
    {L"Label7", LabelId(7), Label, kFrame1, 240, 240, 1455, 255, 15,
     L"1.Diffツール\uFF11", kYellow, TextAlign::Left},
    {L"Label8", LabelId(8), Label, kFrame1, 240, 1320, 1455, 255, 16,
     L"2.Diffツール\uFF12", kYellow, TextAlign::Left},
    {L"Frame2", kFrame2, Frame, kFrame1, 120, 2400, 4575, 1575, 17,
     L"比較結果をファイルに出力する", kYellow},
    {L"Label1", LabelId(1), Label, kFrame2, 120, 600, 615, 255, 18, L"名前：", kYellow,
     TextAlign::Right},
    {L"Label6", LabelId(6), Label, kFrame2, 120, 240, 615, 255, 19, L"ﾊﾟｽ：", kYellow,
     TextAlign::Right},
    // Two ideographic spaces (U+3000) separate the bracketed parts of the syntax.
    {L"Label9", LabelId(9), Label, kFrame2, 240, 960, 4095, 255, 20,
     L"構文： ﾂｰﾙ [比較元ﾌｧｲﾙ]\u3000[比較先ﾌｧｲﾙ]\u3000> [出力ﾌｧｲﾙ]", kYellow, TextAlign::Center,
     ControlFont::SmallGothic},
    {L"Label10", LabelId(10), Label, kFrame2, 720, 1200, 2295, 255, 21,
     L"の場合のみ指定可能", kYellow, TextAlign::Left, ControlFont::SmallGothic},
}};

constexpr WindowLayout kLayout{kPathDialogCaption, 5025, 4770, kLightYellow, kControls};

}  // namespace

const WindowLayout& PathDialogLayout() { return kLayout; }

}  // namespace duomira
