// Implements InstallProbe (launch/tool_detect.h): registry, files and environment.
#include "platform/install_probe_win.h"

#include <windows.h>

#include "platform/program_search_win.h"
#include "platform/unique_handle_win.h"

namespace duomira {

namespace {

// An installer's path, not a document: anything longer is no path of a program.
constexpr DWORD kMaxValueBytes = 64 * 1024;

std::wstring Expanded(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::wstring expanded(size, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
    if (length == 0 || length > size) return text;
    expanded.resize(length - 1);  // the count includes the terminating NUL
    return expanded;
}

}  // namespace

std::optional<std::wstring> Win32InstallProbe::RegistryText(RegistryRoot root, RegistryView view,
                                                            std::wstring_view keyPath,
                                                            std::wstring_view valueName) {
    const HKEY rootKey = root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const REGSAM viewFlag = view == RegistryView::Wide64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const std::wstring path(keyPath);
    const std::wstring name(valueName);
    UniqueRegKey key;
    if (RegOpenKeyExW(rootKey, path.c_str(), 0, KEY_QUERY_VALUE | viewFlag, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxValueBytes) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &read) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(read / sizeof(wchar_t));
    if (auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return type == REG_EXPAND_SZ ? Expanded(text) : text;
}

bool Win32InstallProbe::IsFile(std::wstring_view path) {
    const std::wstring name(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Win32InstallProbe::Environment(std::wstring_view name) {
    return EnvironmentValue(name);
}

std::vector<std::wstring> Win32InstallProbe::Subfolders(std::wstring_view folder) {
    std::wstring pattern(folder);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                     FindExSearchLimitToDirectories, nullptr, 0));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring_view name(data.cFileName);
        if (name != L"." && name != L"..") names.emplace_back(name);
    } while (FindNextFileW(find.get(), &data));
    return names;
}

bool Win32InstallProbe::StartFindsBareName(std::wstring_view name) {
    return FindProgramOutsideWorkingDirectory(name).has_value();
}

}  // namespace duomira
