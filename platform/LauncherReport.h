// What the program tells the script that started it. ./tavro sets
// TAVRO_REPORT=1 and then needs no Wine process of its own to learn where
// the picture went. Started any other way (a shortcut, a key binding, a
// test) the program says nothing, as on the handheld.
//
// Besides what the user reads, two lines for the script alone, each
// "tavro-report: " and a word: "writing PLACE" before a picture is
// written, and "ended CODE" as the very last thing the program does. A run
// that did not say it ended was ended by a fault or a signal, and the
// script names the picture it was writing.
#pragma once

#include <windows.h>

// On standard output, the Unix path of the picture just saved; or, when
// none was saved, a line on standard error saying so and why.
void ReportCapture(const WCHAR* folder, const WCHAR* picture, bool saved);

// The stored folder setting could not be read (not a text, or too long
// for a folder name), so the picture went to the default folder instead.
void ReportUnreadableFolder(const WCHAR* defaultFolder);

// No picture was taken because another capture held the picture counter
// without finishing.
void ReportNoNumber();

// The picture about to be written, before anything of it is.
void ReportWriting(const WCHAR* picture);

// The program's own end, with its exit code.
void ReportEnd(int exitCode);
