#include "fakes.h"

#include <iconv.h>

#include <cerrno>

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

}  // namespace duomira::fakes
