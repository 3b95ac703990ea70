#include "fakes.h"

#include <iconv.h>

#include <cstring>

namespace duomira {

StoreValue MemorySettingsBackend::Get(std::wstring_view name) {
    log.push_back(L"get:" + std::wstring(name));
    if (failReads) return {StoreStatus::Failed, {}};
    auto it = values_.find(name);
    if (it == values_.end()) return {StoreStatus::Absent, {}};
    return {StoreStatus::Found, it->second};
}

bool MemorySettingsBackend::Set(std::wstring_view name, std::wstring_view value) {
    log.push_back(L"set:" + std::wstring(name) + L"=" + std::wstring(value));
    if (failWrites && (failWriteName.empty() || failWriteName == name)) return false;
    values_[std::wstring(name)] = value;
    return true;
}

std::optional<std::wstring> MemorySettingsBackend::Stored(std::wstring_view name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

}  // namespace duomira

namespace duomira::fakes {

namespace {

// Bytes from one iconv encoding to another; nullopt when a character has no
// form in the target.
std::optional<std::string> Convert(const char* to, const char* from, std::string input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string output(input.size() * 4 + 16, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result != 0) return std::nullopt;  // unrepresentable
    output.resize(output.size() - outLeft);
    return output;
}

}  // namespace

std::optional<std::string> EncodeCp932(std::wstring_view text) {
    return Convert("CP932", "WCHAR_T",
                   std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

std::optional<std::wstring> DecodeCp932(std::string_view bytes) {
    const std::optional<std::string> raw = Convert("WCHAR_T", "CP932", std::string(bytes));
    if (!raw) return std::nullopt;
    std::wstring text(raw->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), raw->data(), text.size() * sizeof(wchar_t));
    return text;
}

// The argument splitting of CommandLineToArgvW and the C runtime, which every
// started tool applies to its command line.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> args;
    size_t i = 0;
    // The program name: up to the closing quote, or to the first blank.
    std::wstring program;
    if (i < line.size() && line[i] == L'"') {
        for (++i; i < line.size() && line[i] != L'"'; ++i) program += line[i];
        if (i < line.size()) ++i;
    } else {
        for (; i < line.size() && line[i] != L' ' && line[i] != L'\t'; ++i) program += line[i];
    }
    args.push_back(program);
    for (;;) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
        if (i >= line.size()) break;
        std::wstring arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
            if (i < line.size() && line[i] == L'"') {
                arg.append(slashes / 2, L'\\');
                if (slashes % 2) {
                    arg += L'"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                    arg += L'"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, L'\\');
                if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
                    arg += line[i++];
                }
            }
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace duomira::fakes
