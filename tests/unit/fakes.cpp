#include "fakes.h"

#include <iconv.h>

#include <cerrno>

#include "launch/command_line.h"
#include "launch/compare_command.h"

namespace duomira::fakes {

std::optional<std::string> EncodeCp932(std::wstring_view text) {
    iconv_t cd = iconv_open("CP932", "WCHAR_T");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::wstring input(text);
    std::string output(text.size() * 2 + 16, '\0');
    char* in = reinterpret_cast<char*>(input.data());
    size_t inLeft = input.size() * sizeof(wchar_t);
    char* out = output.data();
    size_t outLeft = output.size();
    const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || result != 0) return std::nullopt;  // unrepresentable
    output.resize(output.size() - outLeft);
    return output;
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
