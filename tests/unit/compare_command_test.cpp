#include <gtest/gtest.h>

#include <random>

#include "fakes.h"
#include "launch/compare_command.h"

namespace duomira {
namespace {

const std::array<std::wstring, 3> kDefaultTools{L"WINDIFF.exe", L"WINMERGE.exe", L"FC"};

std::wstring Line(std::int16_t tool, bool sub, std::wstring_view a, std::wstring_view b,
                  const std::array<std::wstring, 3>& tools = kDefaultTools) {
    auto line = BuildCompareCommand(tool, sub, tools, a, b);
    return line ? *line : L"<none>";
}

TEST(CompareCommand, WorkedExamples) {
    const std::wstring fileA = L"C:\\work\\old\\list.txt", fileB = L"C:\\work\\new\\list.txt";
    const std::wstring dirA = L"C:\\work\\old", dirB = L"C:\\work\\new";
    EXPECT_EQ(Line(0, false, fileA, fileB),
              L"WINDIFF.exe \"C:\\work\\old\\list.txt\" \"C:\\work\\new\\list.txt\"");
    EXPECT_EQ(Line(0, true, dirA, dirB), L"WINDIFF.exe -D \"C:\\work\\old\" \"C:\\work\\new\"");
    EXPECT_EQ(Line(1, true, fileA, fileB),
              L"WINMERGE.exe \"C:\\work\\old\\list.txt\" \"C:\\work\\new\\list.txt\"");
    EXPECT_EQ(Line(1, false, dirA, dirB), L"WINMERGE.exe -r \"C:\\work\\old\" \"C:\\work\\new\"");
    for (bool sub : {false, true}) {
        EXPECT_EQ(Line(2, sub, fileA, fileB),
                  L"\"FC\" \"C:\\work\\old\\list.txt\" \"C:\\work\\new\\list.txt\" > diff_tmp.txt");
    }
    const std::array<std::wstring, 3> spaced{L"", L"D:\\Tools\\Win Merge\\WinMergeU.exe", L""};
    EXPECT_EQ(Line(1, true, fileA, fileA, spaced),
              L"D:\\Tools\\Win Merge\\WinMergeU.exe \"C:\\work\\old\\list.txt\" "
              L"\"C:\\work\\old\\list.txt\"");
    EXPECT_EQ(Line(3, false, fileA, fileB), L"<none>");
}

TEST(CompareCommand, FollowsTheProgramTheToolPathNamesInEitherRow) {
    // What comes between the tool path and "A" "B", for the program in a row,
    // and whether that program takes files only.
    struct Case { std::wstring tool; std::int16_t row; bool subFlgSet; const wchar_t* between; bool files; };
    const Case cases[] = {
        {L"WINDIFF.exe", 1, true, L" -D ", false},
        {L"C:\\WinMerge\\WinMergeU.exe", 0, false, L" -r ", false},
        {L"winmerge", 1, true, L" ", false},
        {L"\"C:\\Program Files\\Meld\\Meld.exe\"", 0, true, L" ", false},
        {L"MeldConsole.exe --newtab", 1, false, L" ", false},  // switches of its own stay
        {L"C:\\VS\\bin\\code.cmd", 0, false, L" --diff ", true},
        {L"BCompare.exe", 0, true, L" ", false}, {L"BComp.com", 1, false, L" ", false},
        {L"kdiff3.exe", 0, true, L" ", false}, {L"p4merge.exe", 1, false, L" ", true},
        {L"VSCodium.exe", 1, true, L" --diff ", true},
        {L"\"C:\\VS\\Code - Insiders.exe\"", 0, false, L" --diff ", true},
        {L"C:\\tools\\xWinMergeU.exe", 0, true, L" -D ", false},  // another program: its row's form
        {L"C:\\tools\\cmp.exe", 1, false, L" -r ", false},
        {L"C:\\Program Files\\Meld\\Meld.exe", 0, true, L" -D ", false},  // program: C:\Program
    };
    for (const Case& c : cases) {
        std::array<std::wstring, 3> tools = kDefaultTools;
        tools[c.row] = c.tool;
        EXPECT_EQ(Line(c.row, c.subFlgSet, L"C:\\old", L"C:\\new\\", tools),
                  c.tool + c.between + L"\"C:\\old\" \"C:\\new\\\\\"");
        EXPECT_EQ(ProgramFor(ToolProgram(c.tool, [](std::wstring_view) { return false; }), c.row)
                      .filesOnly,
                  c.files)
            << c.tool;
    }
    for (std::wstring tool : {L"tortoisemerge", L"C:\\Git\\TortoiseGitMerge.exe"}) {
        EXPECT_EQ(Line(1, true, L"C:\\a b.txt", L"C:\\new\\", {L"", tool, L""}),
                  tool + L" /base:\"C:\\a b.txt\" /mine:\"C:\\new\\\\\"");
        EXPECT_TRUE(ProgramFor(tool, 1).filesOnly) << tool;
    }
    // Only a script named from a drive's root or a share: never by way of the working folder.
    for (auto script : {L"C:\\VS Code\\code.cmd", L"bin\\code.cmd", L".\\bin\\code.cmd",
                        L"..\\bin\\code.cmd", L"C:bin\\code.cmd"}) {
        EXPECT_EQ(ProgramAboveBin(script), std::nullopt) << script;
    }
    EXPECT_EQ(ProgramAboveBin(L"\\\\srv\\vs\\bin\\Codium.cmd"), L"\\\\srv\\vs\\VSCodium.exe");
}

TEST(CompareCommand, QuotedArgumentAndDriveRootAreMended) {
    EXPECT_EQ(Line(0, false, L"\"C:\\a b.txt\"", L"C:\\"),
              L"WINDIFF.exe \"C:\\a b.txt\" \"C:\\\\\"");
    EXPECT_EQ(Line(1, true, L"\\\\server\\share\\\\", L"\"D:\\\""),
              L"WINMERGE.exe \"\\\\server\\share\\\\\\\\\" \"D:\\\\\"");
    // A quote that does not wrap the whole text, or a control character, can't be a path.
    EXPECT_EQ(Line(0, false, L"\"C:\\a.txt", L"C:\\b.txt"), L"<none>");
    EXPECT_EQ(Line(0, false, L"C:\\a\" & calc & \"", L"C:\\b.txt"), L"<none>");
    EXPECT_EQ(Line(2, false, L"C:\\a\r\ndel x.txt", L"C:\\b.txt"), L"<none>");
}

TEST(CompareCommand, PercentIsDoubledOnlyInTheScriptLine) {
    EXPECT_EQ(Line(0, false, L"C:\\100%\\a.txt", L"C:\\b%PATH%.txt"),
              L"WINDIFF.exe \"C:\\100%\\a.txt\" \"C:\\b%PATH%.txt\"");
    const std::array<std::wstring, 3> tools{L"", L"", L"%SystemRoot%\\system32\\fc.exe"};
    EXPECT_EQ(Line(2, false, L"C:\\100%\\a.txt", L"C:\\b.txt", tools),
              L"\"%SystemRoot%\\system32\\fc.exe\" \"C:\\100%%\\a.txt\" \"C:\\b.txt\" > diff_tmp.txt");
}

TEST(ArgumentText, FollowsTheProgramNameWhole) {
    EXPECT_EQ(ArgumentText(L"Duomira.exe"), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Duomira.exe\""), L"");
    EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Duomira.exe\"   C:\\a b.txt  "),
              L"C:\\a b.txt  ");
    EXPECT_EQ(ArgumentText(L"Duomira.exe \"C:\\a b.txt\""), L"\"C:\\a b.txt\"");
    EXPECT_EQ(ArgumentText(L"\"C:\\x\\Duomira.exe\"C:\\a.txt"), L"C:\\a.txt");
    EXPECT_EQ(ArgumentText(L"Duomira.exe\t\tx"), L"x");
    EXPECT_EQ(ArgumentText(L"\"unterminated name"), L"");
}

std::wstring RandomPath(std::mt19937& random) {
    static const std::wstring kPieces[] = {
        L"a", L"Z", L"0", L" ", L"  ", L"&", L"%", L"%PATH%", L"^", L"!", L"(", L")", L"[x]",
        L"'", L",", L";", L"=", L"+", L"#", L"@", L"~", L"`", L"{", L"}", L".", L"..",
        L"テスト", L"ﾌｧｲﾙ", L"比較元", L"ｱｲｳ", L"①", L"ü", L"\\", L"file.txt", L"新しいフォルダー"};
    static const std::wstring kRoots[] = {L"C:\\", L"D:\\work\\", L"\\\\server\\share\\",
                                          L"\\\\?\\C:\\long\\", L"E:"};
    std::uniform_int_distribution<size_t> root(0, std::size(kRoots) - 1);
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 12);
    std::wstring path = kRoots[root(random)];
    const int pieces = count(random);
    for (int n = 0; n < pieces; ++n) path += kPieces[piece(random)];
    if (random() % 10 == 0) path += std::wstring(200 + random() % 300, L'x');  // long paths
    if (random() % 4 == 0) path.append(1 + random() % 3, L'\\');             // trailing backslashes
    return path;
}

TEST(CompareCommand, EveryToolReceivesExactlyThePickedPaths) {
    std::mt19937 random(20261207);
    const std::array<std::wstring, 3> tools{L"C:\\tools\\windiff.exe", L"D:\\WinMerge\\wm.exe", L"FC"};
    for (int round = 0; round < 5000; ++round) {
        const std::wstring first = RandomPath(random), second = RandomPath(random);
        const bool wrapped = random() % 2 == 0;  // as the shell passes "%1"
        const std::wstring firstArgument = wrapped ? L"\"" + first + L"\"" : first;
        for (std::int16_t tool : {0, 1, 2}) {
            const bool sub = random() % 2 == 0;
            auto line = BuildCompareCommand(tool, sub, tools, firstArgument, second);
            ASSERT_TRUE(line.has_value());
            std::wstring text = *line;
            if (tool == kFcCommand) {
                // The interpreter turns each %% back into %; the redirection is its own.
                const std::wstring redirect = L" > diff_tmp.txt";
                ASSERT_EQ(text.substr(text.size() - redirect.size()), redirect);
                text.resize(text.size() - redirect.size());
                std::wstring expanded;
                for (size_t i = 0; i < text.size(); ++i) {
                    expanded += text[i];
                    if (text[i] == L'%') {
                        ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == L'%') << text;
                        ++i;
                    }
                }
                text = expanded;
            }
            auto args = fakes::SplitCommandLine(text);
            const bool withSwitch = tool == kWinDiff ? sub : tool == kWinMerge && !sub;
            ASSERT_EQ(args.size(), withSwitch ? 4u : 3u) << text;
            EXPECT_EQ(args[args.size() - 2], first) << text;
            EXPECT_EQ(args[args.size() - 1], second) << text;
            if (withSwitch) {
                EXPECT_EQ(args[1], tool == kWinDiff ? L"-D" : L"-r");
            }
        }
    }
}

}  // namespace
}  // namespace duomira
