#include "launch/fc_script.h"

#include "launch/compare_command.h"

namespace duomira {

FcScriptFrame FcScriptAround() {
    const std::wstring rule = L"echo #####################################################";
    const std::wstring report(kReportFileName);
    const std::wstring script(kScriptFileName);
    auto deleteCheck = [](const std::wstring& name) {
        return L"if exist " + name + L" echo [ｴﾗｰ:" + name +
               L"削除に失敗。削除して下さい。] & goto Err";
    };
    // Lines 3 to 15; line 1 is "@echo off" and line 2 the FC command line.
    const std::wstring linesAfter[] = {
        rule,
        L"echo   ★Duomiraツール起動★",
        L"echo   出力が終わりました。任意場所に保存して下さい。",
        L"echo   出力結果保存後この画面は消去しますので閉じないで下さい。",
        rule,
        L"rem pause",
        report,
        L"del " + report,
        L"del " + script,
        deleteCheck(report),
        deleteCheck(script),
        L":Err",
        L"pause",
    };
    FcScriptFrame frame{L"@echo off\r\n", L""};
    for (const auto& line : linesAfter) {
        frame.after += L"\r\n";
        frame.after += line;
    }
    return frame;
}

std::wstring ScriptSearchPath(std::wstring_view path, std::wstring_view workingFolder) {
    std::wstring entry(workingFolder);
    if (entry.find(L';') != std::wstring::npos) entry = L"\"" + entry + L"\"";
    return path.empty() ? entry : std::wstring(path) + L";" + entry;
}

}  // namespace duomira
