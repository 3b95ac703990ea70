#include "platform/trace_win.h"

#include <string>

namespace duomira {

void TraceFailure(std::wstring_view step, std::wstring_view subject, DWORD error) {
    std::wstring line = L"Duomira: ";
    line += step;
    line += L" failed for ";
    line += subject;
    line += L": error ";
    line += std::to_wstring(error);
    line += L"\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace duomira
