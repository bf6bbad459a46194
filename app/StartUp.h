// Process entry: chooses the mode from the command line.
#pragma once

#include <windows.h>

// The body of the program's WinMain; its result is the exit code.
int TavroWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                 int showCommand);

// "-config", in any letter case, as the whole command line.
bool IsConfigCommand(const WCHAR* commandLine);

// The command-line delay in seconds: a leading decimal number from 0 to
// 360000; anything else gives 0.
int CommandLineDelay(const WCHAR* commandLine);
