// Implements SettingsBackend (launch/settings_store.h) on the per-user registry.
#include "platform/registry_store_win.h"

#include <windows.h>

#include <vector>

#include "platform/trace_win.h"
#include "platform/unique_handle_win.h"

namespace duomira {

namespace {

// Values longer than this are not settings the program could have written;
// reading them is treated as a failure rather than an unbounded allocation.
constexpr DWORD kMaxValueBytes = 1u << 20;

std::wstring KeyName() { return std::wstring(L"HKCU\\") + kSettingsRegistryPath; }

// The settings key, or one value in it, as a failure report names it.
std::wstring SubjectName(std::wstring_view valueName) {
    return valueName.empty() ? KeyName() : KeyName() + L"\\" + std::wstring(valueName);
}

// A failed read, traced with the step and the system's error code.
StoreValue ReadFailed(std::wstring_view step, std::wstring_view valueName, DWORD error) {
    TraceFailure(step, SubjectName(valueName), error);
    return {StoreStatus::Failed, {}};
}

// The text of a value as read: of a string type only, ending at its first NUL
// if it has one (the stored data need not end in one).
StoreValue TextOf(std::wstring_view name, DWORD type, const wchar_t* data, DWORD bytes) {
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ReadFailed(L"RegQueryValueExW (not a string)", name, ERROR_INVALID_DATATYPE);
    std::wstring text(data, bytes / sizeof(wchar_t));
    if (auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
    return {StoreStatus::Found, std::move(text)};
}

}  // namespace

StoreValue RegistrySettingsBackend::Get(std::wstring_view name) {
    UniqueRegKey key;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsRegistryPath, 0, KEY_QUERY_VALUE,
                                key.put());
    if (status == ERROR_FILE_NOT_FOUND) return {StoreStatus::Absent, {}};
    if (status != ERROR_SUCCESS) return ReadFailed(L"RegOpenKeyExW", {}, status);

    const std::wstring valueName(name);
    // Settings are short: one query into a small buffer reads nearly all of
    // them (the waiting instance reads FileName twice a second).
    wchar_t small[260];
    DWORD type = 0;
    DWORD read = sizeof(small);
    status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(small), &read);
    if (status == ERROR_SUCCESS) return TextOf(name, type, small, read);
    if (status == ERROR_FILE_NOT_FOUND) return {StoreStatus::Absent, {}};
    if (status != ERROR_MORE_DATA) return ReadFailed(L"RegQueryValueExW", name, status);

    // A longer value: its size first. It may change between the size query
    // and the read: retry then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND) return {StoreStatus::Absent, {}};
        if (status != ERROR_SUCCESS) return ReadFailed(L"RegQueryValueExW", name, status);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ReadFailed(L"RegQueryValueExW (not a string)", name, ERROR_INVALID_DATATYPE);
        if (size > kMaxValueBytes)
            return ReadFailed(L"RegQueryValueExW (too long)", name, ERROR_MORE_DATA);

        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        read = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA) continue;
        if (status == ERROR_FILE_NOT_FOUND) return {StoreStatus::Absent, {}};
        if (status != ERROR_SUCCESS) return ReadFailed(L"RegQueryValueExW", name, status);
        return TextOf(name, type, buffer.data(), read);
    }
    return ReadFailed(L"RegQueryValueExW (value kept changing)", name, ERROR_MORE_DATA);
}

bool RegistrySettingsBackend::Set(std::wstring_view name, std::wstring_view value) {
    UniqueRegKey key;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsRegistryPath, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                                  nullptr);
    if (status != ERROR_SUCCESS) {
        TraceFailure(L"RegCreateKeyExW", KeyName(), status);
        return false;
    }
    const std::wstring valueName(name);
    const std::wstring data(value);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
        TraceFailure(L"RegSetValueExW", SubjectName(name), status);
        return false;
    }
    return true;
}

}  // namespace duomira
