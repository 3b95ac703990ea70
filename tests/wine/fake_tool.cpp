// fake_tool.exe: stands in for a comparison tool. Each start appends one
// record to the UTF-8 log named by DUOMIRA_FAKE_LOG: its exact command line,
// its working directory and its arguments as CommandLineToArgvW splits them
// (format and parser: driver.h, ReadFakeLog). Always exits 0; without
// DUOMIRA_FAKE_LOG it only exits.
#include "fake_log.h"

int wmain() {
    duomira::fake::LogStart();
    return 0;
}
