// Resource identifiers (shared by the resource script and the program).
#pragma once

#define IDI_DUOMIRA 1       // the program's icon: main window, Image1, the exe
#define IDI_PATH_DIALOG 2   // the tool path dialog's own icon
