// Hostile stored values and argument texts, run through the whole start-up
// procedure. Whatever the store or the command line holds, a start either does
// what the values say or takes the error path, which always ends with FileName
// cleared; it never crashes (this binary runs under AddressSanitizer and
// UBSan) and never hands a tool anything but the two picked paths.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "fakes.h"
#include "launch/command_line.h"
#include "launch/compare_command.h"
#include "launch/startup.h"
#include "main_window/main_window.h"

namespace duomira {
namespace {

// A store in which some values can't be read, as registry values of another
// type or of more than 1 MiB can't. Writing a value makes it readable again,
// as a REG_SZ written over such a value does.
class BrokenValuesBackend : public MemorySettingsBackend {
  public:
    std::set<std::wstring, std::less<>> broken;

    StoreValue Get(std::wstring_view name) override {
        StoreValue value = MemorySettingsBackend::Get(name);
        if (broken.contains(name)) return {StoreStatus::Failed, {}};
        return value;
    }
    bool Set(std::wstring_view name, std::wstring_view value) override {
        if (!MemorySettingsBackend::Set(name, value)) return false;
        if (auto it = broken.find(name); it != broken.end()) broken.erase(it);
        return true;
    }
};

// One process's worth of start-up: a fresh window, platform and dialog over a
// given store.
struct OneStart {
    explicit OneStart(BrokenValuesBackend& backend) : store(backend) {}

    StartupOutcome Run(std::wstring_view commandLine) {
        platform.commandLine = commandLine;
        StartupContext context{store, shared, platform, window, dialog};
        return Main(context);
    }
    bool TookErrorPath() const {
        return platform.messages == std::vector<std::wstring>{std::wstring(expected::kPathError)} &&
               dialog.modalShows == 1;
    }
    bool TookNoErrorPath() const { return platform.messages.empty() && dialog.modalShows == 0; }

    BrokenValuesBackend& store;
    SharedVariables shared;
    fakes::FakePlatform platform;
    fakes::FakeHost host;
    MainWindow window{store, shared, host};
    fakes::FakePathDialog dialog;
};

std::wstring ProgramLine(std::wstring_view argument) {
    return L"\"C:\\Program Files\\Duomira\\Duomira.exe\" " + std::wstring(argument);
}

std::string Printable(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text.substr(0, 80)) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += hex;
        }
    }
    if (text.size() > 80) out += "...(" + std::to_string(text.size()) + " chars)";
    return out;
}

// What a stored number means, worked out apart from the program's own
// conversion: blanks (space, tab) around an optionally signed run of ASCII
// digits, within the 16-bit range.
std::optional<int> StoredNumber(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(L" \t");
    std::wstring_view core = text.substr(first, last - first + 1);
    bool negative = false;
    if (core.front() == L'+' || core.front() == L'-') {
        negative = core.front() == L'-';
        core.remove_prefix(1);
    }
    if (core.empty()) return std::nullopt;
    for (wchar_t c : core) {
        if (c < L'0' || c > L'9') return std::nullopt;
    }
    const size_t nonZero = core.find_first_not_of(L'0');
    if (nonZero == std::wstring_view::npos) return 0;
    core.remove_prefix(nonZero);
    if (core.size() > 5) return std::nullopt;
    int value = 0;
    for (wchar_t c : core) value = value * 10 + (c - L'0');
    value = negative ? -value : value;
    if (value < -32768 || value > 32767) return std::nullopt;
    return value;
}

// Number-like text: digits, signs and blanks mixed with what a careless
// conversion would let through (other blanks, other digits, NUL, fractions,
// exponents, hex prefixes, a lone surrogate) and values at and past the
// 16-bit limits.
std::wstring RandomNumberText(std::mt19937& random) {
    static const std::wstring kPieces[] = {
        L"0", L"1", L"2", L"3", L"7", L"9", L"+", L"-", L" ", L"\t", L"\u3000", L"\u00A0",
        L"\uFF11", L"\u0663", L".", L"e", L"x", L"0x", std::wstring(1, L'\0'), L"\r\n", L"32767",
        L"32768", L"-32768", L"-32769", L"65538", L"000000", L"99999999999999999999",
        std::wstring(1, static_cast<wchar_t>(0xD800)), L",", L"1_0"};
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    std::wstring text;
    for (int n = static_cast<int>(random() % 6); n > 0; --n) text += kPieces[piece(random)];
    return text;
}

std::vector<std::wstring> HostileNumberTexts() {
    std::vector<std::wstring> texts{
        L"", L" ", L"\t", L"1", L" 2 ", L"\t3\t", L"+1", L"-0", L"+-1", L"1 2", L"0001",
        L"32767", L"32768", L"-32768", L"-32769", L"4294967297", L"1e1", L"0x2", L"2.0", L"２",
        L"\u0662", L"1\u00A0", L"\u3000" L"2", std::wstring(L"1\0", 2), std::wstring(L"\0" L"1", 2),
        std::wstring(100000, L'0') + L"1",  // a very long run that is still a small number
        std::wstring(100000, L'9'), std::wstring(100000, L' '), L"-" + std::wstring(100000, L'0'),
        std::wstring(50000, L' ') + L"2" + std::wstring(50000, L'\t'),
        std::wstring(100000, static_cast<wchar_t>(0xFFFF))};
    std::mt19937 random(4242);
    for (int n = 0; n < 3000; ++n) texts.push_back(RandomNumberText(random));
    return texts;
}

TEST(HostileStoredValues, DisplayStyleAppliesItsNumberOrTakesTheErrorPath) {
    for (const std::wstring& text : HostileNumberTexts()) {
        SCOPED_TRACE("DispStyle " + Printable(text));
        for (bool secondStart : {false, true}) {
            BrokenValuesBackend store;
            store.Put(L"DispStyle", text);
            if (secondStart) store.Put(L"FileName", L"C:\\a.txt");
            OneStart start(store);
            start.Run(ProgramLine(L"C:\\b.txt"));

            const std::optional<int> number = StoredNumber(text);
            if (!number) {
                ASSERT_TRUE(start.TookErrorPath());
                EXPECT_FALSE(start.window.Model().loaded);  // it failed before the window loaded
                EXPECT_EQ(store.Stored(L"FileName"), L"");
                EXPECT_TRUE(start.platform.started.empty());
                continue;
            }
            ASSERT_TRUE(start.TookNoErrorPath());
            // 1 and 2 are their own styles; every other number is the detailed one.
            const int applied = *number == 1 || *number == 2 ? *number : 3;
            EXPECT_EQ(store.Stored(L"DispStyle"), std::to_wstring(applied));
            EXPECT_EQ(start.window.Model().outerWidth, StyleFor(static_cast<std::int16_t>(applied)).outerWidth);
            EXPECT_EQ(store.Stored(L"FileName"), secondStart ? L"" : L"C:\\b.txt");
            EXPECT_EQ(start.platform.started.size(), secondStart ? 1u : 0u);
        }
    }
}

TEST(HostileStoredValues, ToolIndexSelectsItsToolOrTakesTheErrorPath) {
    const std::wstring toolOf[] = {L"WINDIFF.exe ", L"WINMERGE.exe ", L"\"FC\" "};
    for (const std::wstring& text : HostileNumberTexts()) {
        SCOPED_TRACE("SelectExe " + Printable(text));
        for (bool secondStart : {false, true}) {
            BrokenValuesBackend store;
            store.Put(L"SelectExe", text);
            if (secondStart) store.Put(L"FileName", L"C:\\a.txt");
            OneStart start(store);
            start.Run(ProgramLine(L"C:\\b.txt"));

            const std::optional<int> number = StoredNumber(text);
            if (!number || *number < 0 || *number > 2) {
                ASSERT_TRUE(start.TookErrorPath());
                EXPECT_EQ(store.Stored(L"FileName"), L"");
                EXPECT_TRUE(start.platform.started.empty());
                EXPECT_TRUE(start.platform.files.empty());
                EXPECT_FALSE(start.host.shown);
                continue;
            }
            ASSERT_TRUE(start.TookNoErrorPath());
            EXPECT_EQ(start.window.Model().selectedOption, *number);
            EXPECT_EQ(start.window.Model().checkEnabled, *number != kFcCommand);
            if (!secondStart) {
                EXPECT_EQ(store.Stored(L"FileName"), L"C:\\b.txt");
                EXPECT_TRUE(start.host.shown);
                continue;
            }
            EXPECT_EQ(store.Stored(L"FileName"), L"");
            ASSERT_EQ(start.platform.started.size(), 1u);
            if (*number == kFcCommand) {
                ASSERT_EQ(start.platform.files.size(), 1u);
                EXPECT_NE(start.platform.files[0].second.find("\"FC\" \"C:\\a.txt\""), std::string::npos);
            } else {
                EXPECT_TRUE(start.platform.started[0].commandLine.starts_with(toolOf[*number]))
                    << Printable(start.platform.started[0].commandLine);
            }
        }
    }
}

TEST(HostileStoredValues, UnreadableValueFailsOnlyTheStartsThatReadIt) {
    // The values a first start reads: the four of the start-up procedure and
    // the three tool names of the window's load. A second start reads all ten.
    const std::set<std::wstring_view> firstStartReads{
        L"FileName", L"SubFlg", L"DispStyle", L"SelectExe", L"WinDiffName", L"WinMergeName",
        L"CmdName"};
    for (const SettingInfo& info : kSettingTable) {
        for (bool secondStart : {false, true}) {
            SCOPED_TRACE(Printable(info.name) + (secondStart ? ", second start" : ", first start"));
            BrokenValuesBackend store;
            if (secondStart) store.Put(L"FileName", L"C:\\a.txt");
            store.broken.insert(std::wstring(info.name));
            OneStart start(store);
            start.Run(ProgramLine(L"C:\\b.txt"));

            const bool reads = secondStart || firstStartReads.contains(info.name);
            if (reads) {
                EXPECT_TRUE(start.TookErrorPath());
                EXPECT_TRUE(start.platform.started.empty());
                EXPECT_FALSE(start.host.shown);
                // The error path's write replaces the value, whatever it was.
                EXPECT_EQ(ReadSetting(store, SettingKey::FileName), L"");
            } else {
                EXPECT_TRUE(start.TookNoErrorPath());
                EXPECT_TRUE(start.host.shown);
                EXPECT_EQ(ReadSetting(store, SettingKey::FileName), L"C:\\b.txt");
            }
        }
    }
}

TEST(HostileStoredValues, HugeAndOddTextIsCarriedNotInterpreted) {
    // Names and tool paths are the user's own text: any length, any character.
    const std::wstring huge(100000, L'名');
    const std::wstring odd = std::wstring(L"a\0b", 3) + L"\r\n\t%PATH%&|<>^\"";
    BrokenValuesBackend store;
    store.Put(L"WinDiffName", huge);
    store.Put(L"WinMergeName", odd);
    store.Put(L"CmdName", L"");
    store.Put(L"WinDiffPath", L"C:\\tools\\" + huge + L".exe");
    OneStart first(store);
    EXPECT_EQ(first.Run(ProgramLine(L"C:\\a.txt")), StartupOutcome::RunMessageLoop);
    EXPECT_EQ(first.window.Model().optionCaptions,
              (std::array<std::wstring, 3>{huge, odd, L""}));

    OneStart second(store);
    EXPECT_EQ(second.Run(ProgramLine(L"C:\\b.txt")), StartupOutcome::EndProgram);
    ASSERT_EQ(second.platform.started.size(), 1u);
    EXPECT_EQ(second.platform.started[0].commandLine,
              L"C:\\tools\\" + huge + L".exe \"C:\\a.txt\" \"C:\\b.txt\"");
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

// ---------------------------------------------------------------- argument texts

// What the command interpreter runs for line 2 of the result script: after
// the batch file's % expansion ("%%" gives "%"; any other % would expand a
// variable), the only character outside quotes that it acts on may be the
// report's redirection; the rest is started as one command line. nullopt when
// the line would do anything else.
std::optional<std::wstring> InterpreterCommand(std::wstring_view scriptLine) {
    std::wstring expanded;
    for (size_t i = 0; i < scriptLine.size(); ++i) {
        if (scriptLine[i] != L'%') {
            expanded += scriptLine[i];
        } else if (i + 1 < scriptLine.size() && scriptLine[i + 1] == L'%') {
            expanded += L'%';
            ++i;
        } else {
            return std::nullopt;
        }
    }
    const std::wstring redirect = L" > diff_tmp.txt";
    if (!expanded.ends_with(redirect)) return std::nullopt;
    expanded.resize(expanded.size() - redirect.size());
    bool quoted = false;
    for (wchar_t c : expanded) {
        if (c == L'"') quoted = !quoted;
        else if (!quoted && std::wstring_view(L"&|<>^()\r\n").find(c) != std::wstring_view::npos)
            return std::nullopt;
    }
    if (quoted) return std::nullopt;
    return expanded;
}

// Path-like text with everything that has a meaning to a command line or a
// command interpreter, characters outside CP932, and, now and then, a quote
// or a control character that no path can hold.
std::wstring RandomArgument(std::mt19937& random) {
    static const std::wstring kPieces[] = {
        L"a", L"Z", L"0", L" ", L"\\", L"\\\\", L"&", L"%", L"%PATH%", L"%%", L"^", L"!", L"(",
        L")", L"|", L"<", L">", L";", L",", L"=", L"'", L"`", L"テスト", L"ﾌｧｲﾙ", L"①", L"€",
        L"한국", L"\U0001F600", L".", L"file.txt", L"\u3000"};
    static const std::wstring kRare[] = {L"\"", L"\t", L"\r\n", L"\x01", std::wstring(1, L'\0'),
                                         L"\x1b"};
    std::wstring text = random() % 2 ? L"C:\\" : L"\\\\server\\share\\";
    for (int n = static_cast<int>(random() % 10); n > 0; --n)
        text += kPieces[random() % std::size(kPieces)];
    if (random() % 8 == 0) text.insert(1 + random() % text.size(), kRare[random() % std::size(kRare)]);
    if (random() % 4 == 0) text.append(1 + random() % 3, L'\\');
    if (random() % 3 == 0) text = L"\"" + text + L"\"";  // as the shell passes "%1"
    return text;
}

// A path's whole text with one pair of quotes around all of it dropped.
std::wstring Unwrapped(std::wstring_view text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        return std::wstring(text.substr(1, text.size() - 2));
    return std::wstring(text);
}

bool CanBePath(std::wstring_view path) {
    for (wchar_t c : path) {
        if (c == L'"' || c < 0x20) return false;
    }
    return true;
}

TEST(HostileArgumentText, ToolReceivesExactlyThePickedPathsOrTheErrorPathIsTaken) {
    std::mt19937 random(1207);
    const std::wstring toolPaths[] = {L"C:\\tools\\windiff.exe", L"C:\\tools\\winmerge.exe",
                                      L"C:\\tools\\fc.exe"};
    int launched = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::wstring first = RandomArgument(random);
        const std::wstring second = RandomArgument(random);
        const int tool = static_cast<int>(random() % 3);
        const bool subdirectories = random() % 2;
        SCOPED_TRACE("tool " + std::to_string(tool) + ", first " + Printable(first) + ", second " +
                     Printable(second));
        // Text that splits into several absolute paths starts a comparison of its own.
        if (!SeveralPaths(first).empty() || !SeveralPaths(second).empty()) continue;

        // The first start records its argument text exactly ...
        BrokenValuesBackend store;
        store.Put(L"SelectExe", std::to_wstring(tool));
        store.Put(L"SubFlg", subdirectories ? L"1" : L"");
        store.Put(L"WinDiffPath", toolPaths[0]);
        store.Put(L"WinMergePath", toolPaths[1]);
        store.Put(L"CmdPath", toolPaths[2]);
        OneStart firstStart(store);
        ASSERT_EQ(firstStart.Run(ProgramLine(first)), StartupOutcome::RunMessageLoop);
        ASSERT_EQ(store.Stored(L"FileName"), first);

        // ... and the second start hands the tool both paths, or nothing at all.
        OneStart secondStart(store);
        ASSERT_EQ(secondStart.Run(ProgramLine(second)), StartupOutcome::EndProgram);
        EXPECT_EQ(store.Stored(L"FileName"), L"");
        const std::wstring a = Unwrapped(first), b = Unwrapped(second);
        // A script can only name items whose names its code page holds
        // (or that have a short name, which the fake platform knows none of).
        const bool unscriptable =
            tool == kFcCommand && !secondStart.platform.ToScriptCodePage(a + b);
        if (!CanBePath(a) || !CanBePath(b) || unscriptable) {
            EXPECT_TRUE(secondStart.TookErrorPath());
            EXPECT_TRUE(secondStart.platform.started.empty());
            EXPECT_TRUE(secondStart.platform.files.empty());
            ++refused;
            continue;
        }
        ASSERT_TRUE(secondStart.TookNoErrorPath());
        ASSERT_EQ(secondStart.platform.started.size(), 1u);
        ++launched;
        std::wstring commandLine = secondStart.platform.started[0].commandLine;
        std::vector<std::wstring> expected{toolPaths[tool]};
        if (tool == kFcCommand) {
            // The script's second line, as the interpreter will run it.
            ASSERT_EQ(secondStart.platform.files.size(), 1u);
            const std::optional<std::wstring> script = fakes::DecodeCp932(secondStart.platform.files[0].second);
            if (!script) {
                ADD_FAILURE() << "the script is not CP932";
                continue;
            }
            const size_t begin = script->find(L"\r\n") + 2;
            const std::wstring line2 = script->substr(begin, script->find(L"\r\n", begin) - begin);
            const std::optional<std::wstring> command = InterpreterCommand(line2);
            if (!command) {
                ADD_FAILURE() << "the interpreter would do more than run FC: " << Printable(line2);
                continue;
            }
            commandLine = *command;
        } else if (tool == kWinDiff ? subdirectories : !subdirectories) {
            expected.push_back(tool == kWinDiff ? L"-D" : L"-r");
        }
        expected.push_back(a);
        expected.push_back(b);
        EXPECT_EQ(fakes::SplitCommandLine(commandLine), expected) << Printable(commandLine);
    }
    // Both outcomes were really exercised.
    EXPECT_GT(launched, 1000);
    EXPECT_GT(refused, 100);
}

TEST(HostileArgumentText, ProgramNameOfAnyShapeLeavesTheArgumentTextWhole) {
    // Explorer may start the program by a short name, a quoted long name, or a
    // name with a quote that never closes; the argument text is all that
    // follows it and its blanks.
    const std::vector<std::pair<std::wstring, std::wstring>> cases{
        {L"Duomira.exe C:\\a b.txt", L"C:\\a b.txt"},
        {L"\"C:\\Program Files\\Duomira.exe\"C:\\x.txt", L"C:\\x.txt"},
        {L"\"C:\\never closed C:\\x.txt", L""},
        {L"Duomira.exe\t \t\"C:\\q.txt\"  ", L"\"C:\\q.txt\"  "},
        {L"\"\" C:\\empty-name.txt", L"C:\\empty-name.txt"},
        {L"C:\\PROGRA~1\\DUOMIRA.EXE " + std::wstring(32000, L'x'), std::wstring(32000, L'x')},
        {std::wstring(100000, L'D'), L""},
        {L"", L""},
        {L" ", L""},
    };
    for (const auto& [commandLine, argument] : cases) {
        SCOPED_TRACE(Printable(commandLine));
        BrokenValuesBackend store;
        OneStart start(store);
        const StartupOutcome outcome = start.Run(commandLine);
        if (argument.empty()) {
            EXPECT_EQ(outcome, StartupOutcome::EndProgram);
            EXPECT_FALSE(start.window.Model().loaded);
            EXPECT_EQ(store.Stored(L"FileName"), std::nullopt);  // nothing written at all
        } else {
            EXPECT_EQ(outcome, StartupOutcome::RunMessageLoop);
            EXPECT_EQ(store.Stored(L"FileName"), argument);
            EXPECT_EQ(start.window.Model().firstPath, argument);
        }
    }
}

}  // namespace
}  // namespace duomira
