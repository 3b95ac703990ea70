#include "platform/program_search_win.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace duomira {

namespace {

// A folder as a system call returns it into a buffer it sizes itself.
template <typename Call>
std::wstring FolderFrom(Call call) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

std::wstring OwnFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            const size_t slash = path.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The folders to search, joined with ";" as SearchPathW takes them. PATH
// repeats the system folders; each folder is listed once, since looking for a
// missing name in a large folder is not free.
std::wstring SearchFolders() {
    const std::wstring windows = FolderFrom([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
    std::vector<std::wstring> listed;
    std::wstring folders;
    auto add = [&](std::wstring folder) {
        while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
        if (folder.empty()) return;
        for (const auto& seen : listed) {
            if (CompareStringOrdinal(seen.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL) return;
        }
        if (!folders.empty()) folders += L';';
        folders += folder;
        listed.push_back(std::move(folder));
    };
    add(OwnFolder());
    add(FolderFrom([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }));
    if (!windows.empty()) {
        add(windows + L"\\System");
        add(windows);
    }
    const std::wstring path = EnvironmentValue(L"PATH");
    for (size_t begin = 0; begin <= path.size();) {
        const size_t end = std::min(path.find(L';', begin), path.size());
        add(path.substr(begin, end - begin));
        begin = end + 1;
    }
    return folders;
}

}  // namespace

std::wstring EnvironmentValue(std::wstring_view name) {
    const std::wstring variable(name);
    const DWORD size = GetEnvironmentVariableW(variable.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(variable.c_str(), value.data(), size);
    if (length == 0 || length >= size) return {};
    value.resize(length);
    return value;
}

bool IsBareProgramName(std::wstring_view name) {
    return !name.empty() && name.find_first_of(L"\\/:") == std::wstring_view::npos;
}

std::optional<std::wstring> FindProgramOutsideWorkingDirectory(std::wstring_view name) {
    if (!IsBareProgramName(name)) return std::nullopt;
    const std::wstring folders = SearchFolders();
    const std::wstring fileName(name);
    std::vector<wchar_t> found(MAX_PATH);
    for (;;) {
        const DWORD length = SearchPathW(folders.c_str(), fileName.c_str(), L".exe",
                                         static_cast<DWORD>(found.size()), found.data(), nullptr);
        if (length == 0) return std::nullopt;
        if (length < found.size()) {
            const DWORD attributes = GetFileAttributesW(found.data());
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                return std::nullopt;
            }
            return std::wstring(found.data(), length);
        }
        found.resize(length + 1);
    }
}

void LeaveWorkingDirectoryOutOfProgramSearch() {
    SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
}

}  // namespace duomira
