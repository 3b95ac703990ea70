// The arguments of a start, split the way the system splits a command line,
// and whether they name several items picked together.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace duomira {

// The arguments in the text that follows the program's name, split as
// CommandLineToArgvW splits them: blanks separate arguments outside quotes,
// backslashes escape a quote only, and a run of quotes toggles quoting with
// every third one taken literally.
std::vector<std::wstring> SplitArguments(std::wstring_view argumentText);

// A fully qualified path: a drive letter with ":\", or "\\server\share".
bool IsAbsolutePath(std::wstring_view path);

// The items of a start that picks several at once (a 「送る」 menu, or items
// dropped onto the program): the argument text splits into two or more
// arguments that are each an absolute path. No single path reads that way,
// since ':' can't stand inside a file name. Empty for every other start,
// which is one pick whose path is the whole argument text.
std::vector<std::wstring> SeveralPaths(std::wstring_view argumentText);

}  // namespace duomira
