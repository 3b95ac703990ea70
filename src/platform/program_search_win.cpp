#include "platform/program_search_win.h"

#include <windows.h>

#include <string>

namespace duomira {

namespace {

// A folder that the system reports through a "size, then fill" call.
template <typename Query> std::wstring SystemFolder(Query query) {
    const UINT size = query(nullptr, 0);
    if (size == 0) return {};
    std::wstring folder(size, L'\0');
    const UINT length = query(folder.data(), size);
    if (length == 0 || length >= size) return {};
    folder.resize(length);
    return folder;
}

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring EnvironmentPath() {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"PATH", value.data(), size);
    if (length == 0 || length >= size) return {};
    value.resize(length);
    return value;
}

}  // namespace

bool StartFindsBareProgram(std::wstring_view name) {
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring_view::npos) return false;
    const std::wstring windows = SystemFolder(GetWindowsDirectoryW);
    std::wstring folders = OwnFolder();
    folders += L';' + SystemFolder(GetSystemDirectoryW);
    if (!windows.empty()) folders += L';' + windows + L"\\System;" + windows;
    folders += L';' + EnvironmentPath();

    const std::wstring file(name);
    wchar_t* filePart = nullptr;
    const DWORD size = SearchPathW(folders.c_str(), file.c_str(), L".exe", 0, nullptr, &filePart);
    if (size == 0) return false;
    std::wstring found(size, L'\0');
    const DWORD length =
        SearchPathW(folders.c_str(), file.c_str(), L".exe", size, found.data(), &filePart);
    if (length == 0 || length >= size) return false;
    found.resize(length);
    const DWORD attributes = GetFileAttributesW(found.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace duomira
