#include "fakes.h"

#include <iconv.h>

#include <cstring>

#include "launch/command_line.h"
#include "launch/compare_command.h"

namespace duomira {

StoreValue MemorySettingsBackend::Get(std::wstring_view name) {
    log.push_back(L"get:" + std::wstring(name));
    if (failReads || (!failReadName.empty() && name == failReadName)) return {StoreStatus::Failed, {}};
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

// The program name up to its closing quote or first blank, then the
// arguments as the product splits them (checked against CommandLineToArgvW
// itself under Wine).
std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    const std::wstring_view arguments = ArgumentText(line);
    std::wstring_view program = line.substr(0, line.size() - arguments.size());
    while (!program.empty() && (program.back() == L' ' || program.back() == L'\t')) {
        program.remove_suffix(1);
    }
    if (!program.empty() && program.front() == L'"') {
        program.remove_prefix(1);
        if (!program.empty() && program.back() == L'"') program.remove_suffix(1);
    }
    std::vector<std::wstring> args{std::wstring(program)};
    for (auto& arg : SplitArguments(arguments)) args.push_back(std::move(arg));
    return args;
}

}  // namespace duomira::fakes
