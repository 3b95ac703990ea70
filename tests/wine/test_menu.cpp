// The Explorer menu entry: menu_register.cmd and menu_remove.cmd run through
// cmd.exe, the keys they leave under HKCU\Software\Classes, and what the
// command of those keys starts when a picked item is put in for "%1".
#include <algorithm>
#include <cwctype>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "main_window/main_window_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes";
constexpr wchar_t kMenuText[] = L"Diffﾂｰﾙで比較";
constexpr wchar_t kRegister[] = L"menu_register.cmd";
constexpr wchar_t kRemove[] = L"menu_remove.cmd";
// A folder name such as users give: blanks, Japanese, and characters that
// cmd.exe treats specially outside quotes.
constexpr wchar_t kInstallFolder[] = L"ツール 置き場 & (x86)";

// The three kinds of item, each with its key under Software\Classes.
struct Kind {
    const wchar_t* name;
    std::wstring VerbKey() const { return std::wstring(kClasses) + L"\\" + name + L"\\shell\\Duomira"; }
    std::wstring CommandKey() const { return VerbKey() + L"\\command"; }
};
const Kind kFiles{L"*"};
const Kind kFolders{L"Directory"};
const Kind kDrives{L"Drive"};
const std::vector<Kind> kKinds{kFiles, kFolders, kDrives};

// ------------------------------------------------------------ registry

void DeleteTree(const std::wstring& path) { RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()); }

// A key's value names ("" for the default value) and subkey names, sorted.
struct KeyShape {
    std::vector<std::wstring> values;
    std::vector<std::wstring> subkeys;
    bool operator==(const KeyShape&) const = default;
};

KeyShape ShapeOf(const std::wstring& path) {
    KeyShape shape;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return shape;
    wchar_t name[512];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        shape.values.emplace_back(name, length);
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        shape.subkeys.emplace_back(name, length);
    }
    std::sort(shape.values.begin(), shape.values.end());
    std::sort(shape.subkeys.begin(), shape.subkeys.end());
    return shape;
}

std::string ShowShape(const KeyShape& shape) {
    return "values " + Show(shape.values) + ", subkeys " + Show(shape.subkeys);
}

// Every place under path whose key name is "Duomira" or whose string value
// mentions Duomira.exe.
void FindTraces(HKEY parent, const std::wstring& path, std::vector<std::wstring>& traces) {
    UniqueRegKey key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG result = RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), dataSize / sizeof(wchar_t));
        for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
        if (text.find(L"duomira.exe") != std::wstring::npos)
            traces.push_back(path + L" : " + std::wstring(name.data(), nameLength));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(name.data(), length);
    }
    key.reset();
    for (const std::wstring& subkey : subkeys) {
        const std::wstring child = path + L"\\" + subkey;
        if (_wcsicmp(subkey.c_str(), L"Duomira") == 0) traces.push_back(child);
        FindTraces(parent, child, traces);
    }
}

// Our keys go at the start and at the end of every test, so that no test
// depends on another, whatever the scripts did.
struct MenuKeysCleared {
    MenuKeysCleared() { Clear(); }
    ~MenuKeysCleared() { Clear(); }
    static void Clear() {
        for (const Kind& kind : kKinds) DeleteTree(kind.VerbKey());
    }
};

// ------------------------------------------------------------ files and scripts

// A folder as the user's unzipped copy: Duomira.exe and both scripts.
std::wstring MakeInstallFolder(const std::wstring& name, bool withExe = true) {
    const std::wstring folder = MakeDirs(TestTempDir() + L"\\" + name);
    std::vector<std::wstring> files{kRegister, kRemove};
    if (withExe) files.push_back(L"Duomira.exe");
    for (const std::wstring& file : files) {
        const std::wstring from = ExePath(file);
        const std::wstring to = folder + L"\\" + file;
        if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) Abort("can't copy " + Show(from) + " to " + Show(to));
    }
    return folder;
}

struct ScriptRun {
    DWORD exitCode = 0;
    std::wstring output;  // stdout and stderr, as the console would show them
};

int g_scriptRuns = 0;

// A script started through `cmd /c`, its output going into a file, and its
// input a pipe that stays open, like a console where nobody types, until
// Type() or the end of this object.
class StartedScript {
  public:
    StartedScript(const std::wstring& folder, const wchar_t* script, const std::wstring& arguments) {
        outFile_ = TestTempDir() + L"\\script-" + std::to_wstring(++g_scriptRuns) + L".out";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        UniqueKernelHandle readEnd;
        if (!CreatePipe(readEnd.put(), input_.put(), &inherit, 0)) Abort("CreatePipe failed");
        SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
        UniqueFile out(CreateFileW(outFile_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd.get();
        startup.hStdOutput = out.get();
        startup.hStdError = out.get();
        std::wstring inner = Quoted(folder + L"\\" + script);
        if (!arguments.empty()) inner += L" " + arguments;
        std::wstring line = L"cmd.exe /s /c " + Quoted(inner);
        PROCESS_INFORMATION info{};
        const BOOL started = out && CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                                   TestTempDir().c_str(), &startup, &info);
        readEnd.reset();
        out.reset();
        if (!started) Abort("can't start " + Show(line));
        const UniqueKernelHandle thread(info.hThread);
        process_ = Process(info.hProcess, info.dwProcessId);
    }
    ~StartedScript() { CloseInput(); }
    StartedScript(const StartedScript&) = delete;
    StartedScript& operator=(const StartedScript&) = delete;

    const Process& process() const { return process_; }
    // Presses Enter, then closes the input.
    void Type() {
        DWORD written = 0;
        if (input_) WriteFile(input_.get(), "\r\n", 2, &written, nullptr);
        CloseInput();
    }
    ScriptRun Result() const {
        return {process_.ExitCode().value_or(~0u), FromCp932(ReadFileBytes(outFile_).value_or(""))};
    }

  private:
    void CloseInput() { input_.reset(); }
    std::wstring outFile_;
    UniqueKernelHandle input_;
    Process process_;
};

// Runs a script with arguments; it must end by itself within 15 s without any
// key being pressed.
ScriptRun RunScript(const std::wstring& folder, const wchar_t* script, const std::wstring& arguments = L"/quiet") {
    StartedScript started(folder, script, arguments);
    if (!started.process().WaitForExit(15000)) Abort(ToUtf8(script) + " did not finish within 15 s");
    return started.Result();
}

// Runs a script that must succeed; its output goes to the test's messages
// when it doesn't.
void RequireScriptSucceeds(const std::wstring& folder, const wchar_t* script) {
    const ScriptRun run = RunScript(folder, script);
    ASSERT_EQ(run.exitCode, 0u) << ToUtf8(script) << " said: " << ToUtf8(run.output);
}

std::wstring ExpectedCommand(const std::wstring& folder) {
    return Quoted(folder + L"\\Duomira.exe") + L" \"%1\"";
}

// The entry of one kind as the register script must leave it: exactly the
// menu text, the icon and the command, nothing else.
void CheckEntry(const Kind& kind, const std::wstring& folder) {
    SCOPED_TRACE(std::string("kind ") + ToUtf8(kind.name));
    EXPECT_EQ(RegistryValue(kind.VerbKey()), std::wstring(kMenuText));
    EXPECT_EQ(RegistryValue(kind.VerbKey(), L"Icon"), folder + L"\\Duomira.exe,0");
    EXPECT_EQ(RegistryValue(kind.CommandKey()), ExpectedCommand(folder));
    const KeyShape verb = ShapeOf(kind.VerbKey());
    const KeyShape wantVerb{{L"", L"Icon"}, {L"command"}};
    if (!(verb == wantVerb)) ADD_FAILURE() << "verb key holds " << ShowShape(verb);
    const KeyShape command = ShapeOf(kind.CommandKey());
    const KeyShape wantCommand{{L""}, {}};
    if (!(command == wantCommand)) ADD_FAILURE() << "command key holds " << ShowShape(command);
}

// What Explorer does with the command of a key: "%1" becomes the item's path.
std::wstring CommandFor(const Kind& kind, const std::wstring& item) {
    std::optional<std::wstring> command = RegistryValue(kind.CommandKey());
    if (!command) Abort("no command under " + Show(kind.CommandKey()));
    const size_t at = command->find(L"%1");
    if (at == std::wstring::npos) Abort("no %1 in " + Show(*command));
    return command->replace(at, 2, item);
}

}  // namespace

TEST(menu, register_adds_entry_for_files_folders_and_drives) {
    MenuKeysCleared cleared;
    const std::wstring folder = MakeInstallFolder(kInstallFolder);
    RequireScriptSucceeds(folder, kRegister);
    for (const Kind& kind : kKinds) CheckEntry(kind, folder);
    // The program's own settings are none of its business.
    EXPECT_TRUE(!AppKeyExists());
}

TEST(menu, registering_again_is_harmless_and_follows_the_folder) {
    MenuKeysCleared cleared;
    const std::wstring first = MakeInstallFolder(L"first copy");
    RequireScriptSucceeds(first, kRegister);
    RequireScriptSucceeds(first, kRegister);
    for (const Kind& kind : kKinds) CheckEntry(kind, first);

    // After the folder has moved, registering from the new place points the
    // entry there.
    const std::wstring moved = MakeInstallFolder(L"移動先 フォルダ");
    RequireScriptSucceeds(moved, kRegister);
    for (const Kind& kind : kKinds) CheckEntry(kind, moved);
}

TEST(menu, register_without_duomira_exe_fails_and_writes_nothing) {
    MenuKeysCleared cleared;
    const std::wstring folder = MakeInstallFolder(L"scripts only", false);
    const ScriptRun run = RunScript(folder, kRegister);
    EXPECT_EQ(run.exitCode, 1u);
    for (const Kind& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(kind.VerbKey()));
    EXPECT_TRUE(run.output.find(L"Duomira.exe") != std::wstring::npos);
}

// Folder names that cmd.exe reads specially outside quotes, in delayed
// expansion or in percent expansion. The entry must name the true Duomira.exe,
// or the script must say it can't and write nothing. Windows' cmd reads the
// "%" names right; Wine's expands the "%" in a folder name a second time, so
// there the script can only refuse.
TEST(menu, register_names_the_true_path_from_odd_folder_names) {
    for (const wchar_t* name : {L"Hello! World", L"Tools & 100% Utils (x86)", L"^caret 'quote' (1) 置き場",
                                L"50%a%b!c!"}) {
        SCOPED_TRACE(ToUtf8(name));
        MenuKeysCleared cleared;
        const std::wstring folder = MakeInstallFolder(std::wstring(L"odd\\") + name);
        const ScriptRun run = RunScript(folder, kRegister);
        if (run.exitCode == 0) {
            for (const Kind& kind : kKinds) CheckEntry(kind, folder);
        } else {
            EXPECT_TRUE(std::wstring(name).find(L'%') != std::wstring::npos);
            EXPECT_EQ(run.exitCode, 1u);
            EXPECT_TRUE(run.output.find(L"正しく読み取れません") != std::wstring::npos);
            for (const Kind& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(kind.VerbKey()));
        }
        RequireScriptSucceeds(folder, kRemove);
        for (const Kind& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(kind.VerbKey()));
    }
}

TEST(menu, entry_command_hands_picked_items_to_duomira) {
    MenuKeysCleared cleared;
    const std::wstring folder = MakeInstallFolder(kInstallFolder);
    RequireScriptSucceeds(folder, kRegister);

    // The items of each pair exist, as picked items do.
    const std::wstring items = MakeDirs(TestTempDir() + L"\\picked items");
    const std::wstring oldDir = MakeDirs(items + L"\\old version");
    const std::wstring newDir = MakeDirs(items + L"\\新しい 版 (2)");
    const std::wstring oldFile = oldDir + L"\\report 2024.txt";
    const std::wstring newFile = newDir + L"\\ﾃｽﾄ 結果&まとめ.txt";
    ASSERT_TRUE(WriteFileBytes(oldFile, "old\r\n"));
    ASSERT_TRUE(WriteFileBytes(newFile, "new\r\n"));

    struct Pair {
        const Kind* kind;
        std::wstring first, second;
    };
    const std::vector<Pair> pairs{
        {&kFiles, oldFile, newFile},
        {&kFolders, oldDir, newDir},
        {&kDrives, L"C:\\", L"Z:\\"},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(std::string("kind ") + ToUtf8(pair.kind->name));
        DeleteAppKey();
        WriteStoredSetting(L"SelectExe", L"1");
        WriteStoredSetting(L"WinMergePath", ExePath(L"fake_tool.exe"));
        const std::wstring log = UseFreshFakeLog();

        // First pick: the program records the argument text as it came, the
        // path in the quotes of the command.
        Process first = StartProcess(CommandFor(*pair.kind, pair.first), pair.kind == &kFiles ? oldDir : items);
        RequireWindow(first.Id(), ids::kMainWindowClass, 10000);
        EXPECT_TRUE(WaitUntil([] { return ReadStoredSetting(L"FileName").has_value(); }, 5000));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), Quoted(pair.first));

        // Second pick: the tool gets both items, each as one whole argument.
        Process second = StartProcess(CommandFor(*pair.kind, pair.second), items);
        EXPECT_TRUE(second.WaitForExit(10000));
        EXPECT_TRUE(first.WaitForExit(5000));
        const std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].args, (std::vector<std::wstring>{ExePath(L"fake_tool.exe"), L"-r",
                                                              pair.first, pair.second}));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    }
}

TEST(menu, remove_deletes_our_entries_and_nothing_else) {
    MenuKeysCleared cleared;
    // Neighbours that another program put there, and the program's settings.
    const std::wstring neighbour = std::wstring(kClasses) + L"\\*\\shell\\NeighbourVerb";
    const std::wstring folderShell = std::wstring(kClasses) + L"\\Directory\\shell";
    // Left with only a value once ours is gone: the script must read that
    // value's line, whose text means something to cmd.exe, and keep the key.
    const std::wstring drivesShell = std::wstring(kClasses) + L"\\Drive\\shell";
    struct NeighbourCleared {
        std::wstring key, shell;
        ~NeighbourCleared() {
            DeleteTree(key);
            RegDeleteKeyValueW(HKEY_CURRENT_USER, shell.c_str(), L"NeighbourNote");
        }
    } neighbourCleared{neighbour, drivesShell};
    SetRegistryString(neighbour, L"", L"Neighbour");
    const std::wstring note = L"say \"hi\" & echo %PATH% ^ !x! (y)";
    SetRegistryString(drivesShell, L"NeighbourNote", note);
    SetRegistryString(neighbour + L"\\command", L"", L"notepad.exe \"%1\"");
    const std::optional<std::wstring> folderShellDefault = RegistryValue(folderShell);
    WriteStoredSetting(L"WinMergePath", L"C:\\Program Files\\WinMerge\\WinMergeU.exe");
    WriteStoredSetting(L"WinMergeName", L"WinMergeで比較");
    WriteStoredSetting(L"SelectExe", L"1");
    const auto settings = AllStoredSettings();

    const std::wstring folder = MakeInstallFolder(kInstallFolder);
    RequireScriptSucceeds(folder, kRegister);
    RequireScriptSucceeds(folder, kRemove);

    for (const Kind& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(kind.VerbKey()));
    std::vector<std::wstring> traces;
    FindTraces(HKEY_CURRENT_USER, kClasses, traces);
    EXPECT_EQ(traces, std::vector<std::wstring>{});
    EXPECT_EQ(RegistryValue(neighbour), L"Neighbour");
    EXPECT_EQ(RegistryValue(neighbour + L"\\command"), L"notepad.exe \"%1\"");
    EXPECT_EQ(RegistryValue(drivesShell, L"NeighbourNote"), note);
    EXPECT_EQ(RegistryValue(folderShell), folderShellDefault);
    EXPECT_TRUE(AllStoredSettings() == settings);

    // Removing again, with nothing left to remove, succeeds and changes nothing.
    RequireScriptSucceeds(folder, kRemove);
    EXPECT_EQ(RegistryValue(neighbour), L"Neighbour");
    EXPECT_TRUE(AllStoredSettings() == settings);
}

TEST(menu, remove_takes_away_the_empty_keys_register_made) {
    MenuKeysCleared cleared;
    // The keys that hold ours: an empty one (an earlier test may have left it)
    // goes first, so that registering makes it; one with content must stay.
    auto isEmpty = [](const std::wstring& path) {
        UniqueRegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
        DWORD subkeys = 0, values = 0;
        const LONG status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr);
        return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
    };
    std::vector<std::pair<std::wstring, bool>> holders;
    for (const Kind& kind : kKinds) {
        const std::wstring classKey = std::wstring(kClasses) + L"\\" + kind.name;
        for (const std::wstring& key : {classKey + L"\\shell", classKey}) {
            if (isEmpty(key)) RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
            holders.emplace_back(key, RegistryKeyExists(key));
        }
    }
    const std::wstring folder = MakeInstallFolder(L"empty holders");
    RequireScriptSucceeds(folder, kRegister);
    for (const auto& [key, existed] : holders) EXPECT_TRUE(RegistryKeyExists(key));
    RequireScriptSucceeds(folder, kRemove);
    for (const auto& [key, existed] : holders) {
        SCOPED_TRACE(ToUtf8(key));
        EXPECT_EQ(RegistryKeyExists(key), existed);
    }
}

TEST(menu, scripts_wait_for_a_key_unless_quiet) {
    MenuKeysCleared cleared;
    const std::wstring folder = MakeInstallFolder(L"double click");
    for (const wchar_t* script : {kRegister, kRemove}) {
        SCOPED_TRACE(ToUtf8(script));
        // As a double click starts it: no argument. The console window stays
        // readable until a key is pressed.
        StartedScript started(folder, script, L"");
        EXPECT_TRUE(!started.process().WaitForExit(2000));
        started.Type();
        EXPECT_TRUE(started.process().WaitForExit(10000));
        EXPECT_EQ(started.Result().exitCode, 0u);
    }
    for (const Kind& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(kind.VerbKey()));
}
