#include <gtest/gtest.h>

#include "fakes.h"
#include "launch/compare_command.h"
#include "launch/fc_script.h"
#include "launch/startup.h"
#include "main_window/main_window.h"

namespace duomira {
namespace {

// The script of the worked example, as the bytes a Japanese system writes.
std::string ExpectedScript(const std::string& line2) {
    const std::string rule = "echo #####################################################";
    const std::string lines[] = {
        "@echo off",
        line2,
        rule,
        "echo   \x81\x9a" "Duomira\x83\x63\x81\x5b\x83\x8b\x8b\x4e\x93\xae\x81\x9a",
        "echo   \x8f\x6f\x97\xcd\x82\xaa\x8f\x49\x82\xed\x82\xe8\x82\xdc\x82\xb5\x82\xbd\x81\x42"
        "\x94\x43\x88\xd3\x8f\xea\x8f\x8a\x82\xc9\x95\xdb\x91\xb6\x82\xb5\x82\xc4\x89\xba\x82\xb3"
        "\x82\xa2\x81\x42",
        "echo   \x8f\x6f\x97\xcd\x8c\x8b\x89\xca\x95\xdb\x91\xb6\x8c\xe3\x82\xb1\x82\xcc\x89\xe6"
        "\x96\xca\x82\xcd\x8f\xc1\x8b\x8e\x82\xb5\x82\xdc\x82\xb7\x82\xcc\x82\xc5\x95\xc2\x82\xb6"
        "\x82\xc8\x82\xa2\x82\xc5\x89\xba\x82\xb3\x82\xa2\x81\x42",
        rule,
        "rem pause",
        "diff_tmp.txt",
        "del diff_tmp.txt",
        "del diff_tmp.bat",
        "if exist diff_tmp.txt echo [\xb4\xd7\xb0:diff_tmp.txt\x8d\xed\x8f\x9c\x82\xc9\x8e\xb8"
        "\x94\x73\x81\x42\x8d\xed\x8f\x9c\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2\x81\x42] & goto Err",
        "if exist diff_tmp.bat echo [\xb4\xd7\xb0:diff_tmp.bat\x8d\xed\x8f\x9c\x82\xc9\x8e\xb8"
        "\x94\x73\x81\x42\x8d\xed\x8f\x9c\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2\x81\x42] & goto Err",
        ":Err",
        "pause",
    };
    std::string bytes;
    for (size_t i = 0; i < std::size(lines); ++i) {
        bytes += lines[i];
        if (i + 1 < std::size(lines)) bytes += "\r\n";
    }
    return bytes;
}

class FcScriptTest : public ::testing::Test, protected fakes::StartRig {
  protected:
    StartupOutcome SecondStart(std::wstring first, std::wstring second) {
        store.Put(L"FileName", first);
        store.Put(L"SelectExe", L"2");
        return Start(second);
    }
};

TEST_F(FcScriptTest, WorkedExampleByteForByteAndStartedMinimised) {
    for (const wchar_t* subFlg : {L"", L"1"}) {
        platform.files.clear();
        platform.started.clear();
        store.Put(L"SubFlg", subFlg);
        ASSERT_EQ(SecondStart(L"C:\\work\\old\\list.txt", L"C:\\work\\new\\list.txt"),
                  StartupOutcome::EndProgram);
        ASSERT_EQ(platform.files.size(), 1u);
        EXPECT_EQ(platform.files[0].first, L"diff_tmp.bat");
        const std::string& bytes = platform.files[0].second;
        EXPECT_EQ(bytes, ExpectedScript("\"FC\" \"C:\\work\\old\\list.txt\" "
                                        "\"C:\\work\\new\\list.txt\" > diff_tmp.txt"));
        EXPECT_TRUE(bytes.ends_with("\r\n:Err\r\npause"));
        ASSERT_EQ(platform.started.size(), 1u);
        EXPECT_EQ(platform.started[0].commandLine, L".\\diff_tmp.bat");
        EXPECT_EQ(platform.started[0].showWindow, kShowMinimizedNoActive);
        EXPECT_EQ(store.Stored(L"FileName"), L"");
        EXPECT_TRUE(platform.messages.empty());
    }
}

TEST_F(FcScriptTest, PercentIsDoubledInPathsButNotInTheToolPath) {
    store.Put(L"CmdPath", L"%SystemRoot%\\system32\\fc.exe");
    SecondStart(L"\"C:\\100%\\a b.txt\"", L"C:\\");
    ASSERT_EQ(platform.files.size(), 1u);
    const std::string& bytes = platform.files[0].second;
    const std::string line2 = bytes.substr(11, bytes.find("\r\n", 11) - 11);
    EXPECT_EQ(line2, "\"%SystemRoot%\\system32\\fc.exe\" \"C:\\100%%\\a b.txt\" \"C:\\\\\" > diff_tmp.txt");
}

TEST_F(FcScriptTest, UnencodablePathUsesItsShortNameOrTakesTheErrorPath) {
    // U+00E9 has no CP932 form; the system keeps a short name for this file.
    platform.shortNames[L"C:\\caf\u00e9\\menu.txt"] = L"C:\\CAF~1\\menu.txt";
    SecondStart(L"C:\\caf\u00e9\\menu.txt", L"C:\\b.txt");
    ASSERT_EQ(platform.files.size(), 1u);
    EXPECT_NE(platform.files[0].second.find("\"C:\\CAF~1\\menu.txt\" \"C:\\b.txt\""),
              std::string::npos);

    platform.files.clear();
    SecondStart(L"C:\\a.txt", L"C:\\\u0153uvre.txt");  // no short name either
    EXPECT_TRUE(platform.files.empty());
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(dialog.modalShows, 1);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

TEST_F(FcScriptTest, ScriptThatCannotBeWrittenTakesTheErrorPath) {
    platform.failWrite = true;
    EXPECT_EQ(SecondStart(L"C:\\a.txt", L"C:\\b.txt"), StartupOutcome::EndProgram);
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

TEST_F(FcScriptTest, PathThatCouldBreakOutOfItsQuotesIsRefused) {
    SecondStart(L"C:\\a.txt", L"x\" & del /q C:\\*.* & \"");
    EXPECT_TRUE(platform.files.empty());
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST(FcScriptText, WorkingFolderIsTheLastSingleEntryOfTheScriptsPath) {
    EXPECT_EQ(ScriptSearchPath(L"C:\\bin", L"D:\\a b"), L"C:\\bin;D:\\a b");
    EXPECT_EQ(ScriptSearchPath(L"C:\\bin", L"D:\\a;b"), L"C:\\bin;\"D:\\a;b\"");
    EXPECT_EQ(ScriptSearchPath(L"", L"D:\\a;b"), L"\"D:\\a;b\"");
}

TEST(FcScriptText, HasFifteenLinesWithIdenticalRules) {
    const FcScriptFrame frame = FcScriptAround();
    const std::wstring text = frame.before + L"\"FC\" \"a\" \"b\" > diff_tmp.txt" + frame.after;
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[2], lines[6]);
    EXPECT_EQ(lines[2], L"echo " + std::wstring(53, L'#'));
    EXPECT_EQ(lines[14], L"pause");
    EXPECT_EQ(text.find(L'\n'), text.find(L'\r') + 1);  // no bare line feeds
}

}  // namespace
}  // namespace duomira
