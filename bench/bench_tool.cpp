// bench_tool.exe: the comparison tool of the benchmark. A GUI program, like
// the real tools, that does nothing but tell the benchmark it has started:
// it sets the named event given by DUOMIRA_BENCH_EVENT, then exits.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t name[256];
    const DWORD length = GetEnvironmentVariableW(L"DUOMIRA_BENCH_EVENT", name, 256);
    if (length == 0 || length >= 256) return 1;
    HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    if (!started) return 1;
    SetEvent(started);
    CloseHandle(started);
    return 0;
}
