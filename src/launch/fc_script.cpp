#include "launch/fc_script.h"

#include "launch/compare_command.h"

namespace duomira {

std::wstring FcScriptText(std::wstring_view fcCommandLine) {
    const std::wstring rule = L"echo #####################################################";
    const std::wstring report(kReportFileName);
    const std::wstring script(kScriptFileName);
    auto deleteCheck = [](const std::wstring& name) {
        return L"if exist " + name + L" echo [ｴﾗｰ:" + name +
               L"削除に失敗。削除して下さい。] & goto Err";
    };
    const std::wstring lines[] = {
        L"@echo off",
        std::wstring(fcCommandLine),
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
    std::wstring text;
    for (const auto& line : lines) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    return text;
}

}  // namespace duomira
