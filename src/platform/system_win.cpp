// Implements StartupPlatform (launch/startup.h): processes, files, code pages, messages.
#include "platform/system_win.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

#include "launch/compare_command.h"
#include "launch/fc_script.h"
#include "platform/program_end_win.h"
#include "platform/program_search_win.h"
#include "platform/trace_win.h"
#include "platform/unique_handle_win.h"

namespace duomira {

std::wstring Win32StartupPlatform::CommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line ? std::wstring(line) : std::wstring();
}

namespace {

// The environment of the result script: this process's own, with the working
// directory added at the very end of PATH. The script's interpreter inherits
// the switch that leaves the working directory out of its program search, yet
// the script opens its report by naming it as a command: it is found there,
// after every folder that could hold a program of the name the script runs.
std::vector<wchar_t> ScriptEnvironment() {
    std::vector<wchar_t> block;
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring workDir(size, L'\0');
    workDir.resize(GetCurrentDirectoryW(size, workDir.data()));
    bool pathSeen = false;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += std::wcslen(entry) + 1) {
            const size_t length = std::wcslen(entry);
            // Only an entry of five characters or more is compared: a shorter
            // last one is followed by less than five before the block ends.
            if (!pathSeen && length >= 5 &&
                CompareStringOrdinal(entry, 5, L"PATH=", 5, TRUE) == CSTR_EQUAL) {
                pathSeen = true;
                const std::wstring path =
                    ScriptSearchPath(std::wstring_view(entry + 5, length - 5), workDir);
                block.insert(block.end(), entry, entry + 5);
                block.insert(block.end(), path.begin(), path.end());
            } else {
                block.insert(block.end(), entry, entry + length);
            }
            block.push_back(L'\0');
        }
        FreeEnvironmentStringsW(strings);
    }
    if (!pathSeen) {
        const std::wstring path = L"PATH=" + ScriptSearchPath({}, workDir);
        block.insert(block.end(), path.begin(), path.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

bool Win32StartupPlatform::StartProcess(std::wstring_view commandLine, int showWindow) {
    // The system's limit, terminating NUL included. Windows refuses a longer
    // line; Wine cuts it, and the tool would be handed some other path.
    constexpr size_t kMaxCommandLine = 32767;
    if (commandLine.size() >= kMaxCommandLine) {
        TraceFailure(L"CreateProcessW (command line too long)", commandLine.substr(0, 260),
                     ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // A program named without a folder is looked for outside the working
    // directory, which is the folder of the picked items; the programs started
    // here look for theirs the same way.
    LeaveWorkingDirectoryOutOfProgramSearch();
    std::optional<std::wstring> program;
    const std::wstring_view programPart = ProgramPart(commandLine);
    if (IsBareProgramName(programPart)) {
        program = FindProgramOutsideWorkingDirectory(programPart);
        if (!program) {
            TraceFailure(L"program search (outside the working directory)", programPart,
                         ERROR_FILE_NOT_FOUND);
            return false;
        }
    }
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    // Only the result script finds its report through PATH; a tool's own
    // command script gets the ordinary environment of a started tool.
    std::vector<wchar_t> environment;
    if (programPart == kScriptStartName) environment = ScriptEnvironment();
    UniqueProcessInformation process;
    if (!CreateProcessW(program ? program->c_str() : nullptr, line.data(), nullptr, nullptr,
                        FALSE, environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(), nullptr, &startup,
                        process.put())) {
        TraceFailure(L"CreateProcessW", commandLine, GetLastError());
        return false;
    }
    return true;
}

bool Win32StartupPlatform::WriteNewFile(std::wstring_view name, std::string_view bytes) {
    const std::wstring fileName(name);
    UniqueFile file(CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        TraceFailure(L"CreateFileW", fileName, GetLastError());
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) {
            TraceFailure(L"WriteFile", fileName, GetLastError());
            return false;
        }
        if (written == 0) {
            TraceFailure(L"WriteFile (nothing written)", fileName, ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

namespace {

// Text in a code page, converted with the flags given; nullopt when the
// system refuses the conversion.
std::optional<std::string> Encode(UINT codePage, DWORD flags, std::wstring_view text) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<size_t>(INT_MAX / 4)) return std::nullopt;
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr,
                            nullptr) != size) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::wstring> Decode(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size) != size) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::optional<std::string> Win32StartupPlatform::ToScriptCodePage(std::wstring_view text) {
    // A conversion is exact when the bytes read back give the very same text:
    // that catches the default character and best-fit look-alikes in every
    // code page, UTF-8 included, which refuses the used-default report.
    const UINT codePage = GetOEMCP();
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    auto bytes = Encode(codePage, flags, text);
    if (!bytes) return std::nullopt;
    auto back = Decode(codePage, *bytes);
    if (!back || *back != text) return std::nullopt;
    return bytes;
}

std::string Win32StartupPlatform::ToScriptCodePageReplacing(std::wstring_view text) {
    return Encode(GetOEMCP(), 0, text).value_or(std::string());
}

bool Win32StartupPlatform::IsExistingFile(std::wstring_view path) {
    const std::wstring name(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32StartupPlatform::IsFolder(std::wstring_view path) {
    const std::wstring name(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> Win32StartupPlatform::LastWriteTime(std::wstring_view path) {
    const std::wstring name(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

std::optional<std::wstring> Win32StartupPlatform::FindBareProgram(std::wstring_view name) {
    return FindProgramOutsideWorkingDirectory(name);
}

std::optional<std::wstring> Win32StartupPlatform::ShortPath(std::wstring_view path) {
    const std::wstring longPath(path);
    DWORD size = GetShortPathNameW(longPath.c_str(), nullptr, 0);
    if (size == 0) {
        TraceFailure(L"GetShortPathNameW", longPath, GetLastError());
        return std::nullopt;
    }
    std::wstring shortPath(size, L'\0');
    DWORD length = GetShortPathNameW(longPath.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) {
        TraceFailure(L"GetShortPathNameW", longPath, length == 0 ? GetLastError() : ERROR_MORE_DATA);
        return std::nullopt;
    }
    shortPath.resize(length);
    return shortPath;
}

void Win32StartupPlatform::ShowMessage(std::wstring_view text) { ShowProgramMessage(text); }

}  // namespace duomira
