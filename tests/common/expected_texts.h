// The texts the program shows, written out once for the unit tests and the
// Wine tests alike. They are typed here, not taken from the program's own
// tables, so that a changed character in the program turns a test red.
#pragma once

#include <string_view>

#include "main_window/main_window_ids.h"
#include "path_dialog/path_dialog_ids.h"

namespace duomira::expected {

// The one message of every start-up failure.
inline constexpr std::wstring_view kPathError = L"DIFFツールのパスが認識できません。指定してください。";
// A start or a drop with more than two items.
inline constexpr std::wstring_view kTwoItemsOnly = L"比較できるのは２つの項目だけです。";
// A tool that compares files only, given a folder; a script, given % or !.
inline constexpr std::wstring_view kFilesOnly =
    L"このDIFFツールはフォルダを比較できません。別のツールを選んでください。";
inline constexpr std::wstring_view kScriptPath = L"このDIFFツールには %、! を含むパスを渡せません。";

// The help window's usage text: 456 characters in 20 lines, CR LF after each;
// lines 11 and 16 are empty.
inline constexpr std::wstring_view kUsageText =
    L"====================\r\n"  // 1
    L"ファイルの比較方法\r\n"  // 2
    L"====================\r\n"  // 3
    L" ①.比較するﾌｧｲﾙを右ｸﾘｯｸし【Diffﾂｰﾙで比較】を選択する。\r\n"  // 4
    L" ②.ﾃﾞｽｸﾄｯﾌﾟ右上にﾀﾞｲｱﾛｸﾞが表示される。\r\n"  // 5
    L" ③.比較に使用するﾂｰﾙを選択する。\r\n"  // 6
    L" ④.続けて比較するもう一つのﾌｧｲﾙを右ｸﾘｯｸし同様に選択する。\r\n"  // 7
    L" ⑤.選択したﾂｰﾙが起動する。\r\n"  // 8
    L"  注1) ﾌｫﾙﾀﾞ比較もできます\r\n"  // 9
    L"  注2) ｻﾌﾞﾃﾞｨﾚｸﾄﾘｵﾌﾟｼｮﾝはWindiff／WinMerge使用時のみ有効\r\n"  // 10
    L"\r\n"  // 11
    L"====================\r\n"  // 12
    L"スタイル変更方法\r\n"  // 13
    L"====================\r\n"  // 14
    L" ①.ｱｲｺﾝをｸﾘｯｸする【最小】→【通常】→【詳細】の順でｽﾀｲﾙ変更する。\r\n"  // 15
    L"\r\n"  // 16
    L"====================\r\n"  // 17
    L"Diffツール変更方法\r\n"  // 18
    L"====================\r\n"  // 19
    L" ①.【設定】ﾎﾞﾀﾝを押下しﾂｰﾙの名称とﾊﾟｽを指定する。\r\n";  // 20

// The caption of a window (id 0) or of one of its controls.
struct Caption {
    int id;
    const char* name;
    std::wstring_view text;
};

// The main window as a first start shows it with nothing stored: the option
// buttons carry the default tool names.
inline constexpr Caption kMainWindowCaptions[] = {
    {0, "frmMain", L"Duomira起動ツール"},
    {ids::kOption1 + 0, "Option1(0)", L"WINDIFFで比較"},
    {ids::kOption1 + 1, "Option1(1)", L"WINMERGEで比較"},
    {ids::kOption1 + 2, "Option1(2)", L"結果を出力"},
    {ids::kCheck1, "Check1", L"ｻﾌﾞﾃﾞｨﾚｸﾄﾘ含む"},
    {ids::kMainCommand1, "Command1", L"設定"},
    {ids::kMainCommand2, "Command2", L"ﾍﾙﾌﾟ"},
    {ids::kMainFrame1, "Frame1", L"詳細"},
    {ids::kMainLabel1, "Label1", L"比較元ﾌｧｲﾙ："},
    {ids::kMainLabel3, "Label3", L"続けて、比較するﾌｧｲﾙを同様に右ｸﾘｯｸして指定して下さい。"},
};

// The tool path dialog. Label7 and Label8 end in full-width digits; Label9
// holds two ideographic spaces (U+3000).
inline constexpr Caption kPathDialogCaptions[] = {
    {0, "frmPath", L"パス選択"},
    {ids::kPathCommand1, "Command1", L"参照..."},
    {ids::kPathCommand2, "Command2", L"参照..."},
    {ids::kPathCommand3, "Command3", L"ＯＫ"},
    {ids::kPathCommand4, "Command4", L"キャンセル"},
    {ids::kPathFrame1, "Frame1", L"起動ツール設定"},
    {ids::kPathFrame2, "Frame2", L"比較結果をファイルに出力する"},
    {ids::kPathLabel1 + 0, "Label1", L"名前："},
    {ids::kPathLabel1 + 1, "Label2", L"ﾊﾟｽ："},
    {ids::kPathLabel1 + 2, "Label3", L"名前："},
    {ids::kPathLabel1 + 3, "Label4", L"ﾊﾟｽ："},
    {ids::kPathLabel1 + 4, "Label5", L"名前："},
    {ids::kPathLabel1 + 5, "Label6", L"ﾊﾟｽ："},
    {ids::kPathLabel1 + 6, "Label7", L"1.Diffツール１"},
    {ids::kPathLabel1 + 7, "Label8", L"2.Diffツール２"},
    {ids::kPathLabel1 + 8, "Label9", L"構文： ﾂｰﾙ [比較元ﾌｧｲﾙ]　[比較先ﾌｧｲﾙ]　> [出力ﾌｧｲﾙ]"},
    {ids::kPathLabel1 + 9, "Label10", L"の場合のみ指定可能"},
};

inline constexpr Caption kHelpWindowCaptions[] = {
    {0, "frmHelp", L"使い方"},
};

// The title of the file-open dialog that "参照..." opens.
inline constexpr std::wstring_view kBrowseTitle = L"開く";

}  // namespace duomira::expected
