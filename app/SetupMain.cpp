// tavro-setup: what a handheld's installer does for Tavro, and the answers
// the launcher needs from the program's own rules before it starts it.
//
//   tavro-setup
//       Places both launch shortcuts in the Start menu's Programs folder and
//       creates the default picture folder, as a handheld comes with \Temp.
//       Exit code 0 when the main shortcut is in place afterwards, 1 if not.
//   tavro-setup --mode [ARGUMENTS...]
//       Prints what the program started with ARGUMENTS would do: "configure",
//       or "capture" followed by " notice-waits" when the completion notice
//       would stay until it is tapped. Changes nothing.
//   tavro-setup --keep-session
//       Holds the Wine session's desktop until it is ended with the session;
//       prints "kept" once the desktop runs.
#include <stdio.h>
#include <windows.h>

#include "app/Settings.h"
#include "app/StartUp.h"
#include "config/Shortcuts.h"
#include "platform/ExitActions.h"
#include "platform/WideCrt.h"

namespace {

const WCHAR ProgramFileName[] = L"tavro.exe";
const WCHAR ModeQuestion[] = L"--mode";
const WCHAR KeepSessionRequest[] = L"--keep-session";

// The program sits in the same folder as this setup program.
bool ProgramBesideSetup(WCHAR (&program)[MAX_PATH])
{
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    WCHAR* nameStart = program;
    for (WCHAR* c = program; *c; ++c)
        if (*c == L'\\' || *c == L'/')
            nameStart = c + 1;
    *nameStart = 0;
    return WideAppend(program, MAX_PATH, ProgramFileName);
}

bool IsBlank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

// Skips one argument and the blanks after it, the way the runtime finds
// the command line it hands to WinMain: quotes group blanks, and a quote
// preceded by an odd number of backslashes is a plain character.
const WCHAR* SkipArgument(const WCHAR* line)
{
    bool quoted = false;
    int backslashes = 0;
    for (; *line && (quoted || !IsBlank(*line)); ++line) {
        if (*line == L'\\') {
            ++backslashes;
            continue;
        }
        if (*line == L'"' && backslashes % 2 == 0)
            quoted = !quoted;
        backslashes = 0;
    }
    while (IsBlank(*line))
        ++line;
    return line;
}

// True when the argument from `argument` up to `next` (blanks after it
// included) is exactly `word`.
bool ArgumentIs(const WCHAR* argument, const WCHAR* next, const WCHAR* word)
{
    while (next > argument && IsBlank(next[-1]))
        --next;
    return CompareStringW(LOCALE_INVARIANT, 0, argument, static_cast<int>(next - argument), word,
                          -1) == CSTR_EQUAL;
}

bool NoticeWaitsForTap()
{
    RegistryStore& store = RegistryStore::Instance();
    return store.ReadDword(SettingsRoot, SettingsPath, L"Progress") != 0 &&
           store.ReadDword(SettingsRoot, SettingsPath, L"AutoClose") == 0;
}

int AnswerMode(const WCHAR* programArguments)
{
    if (CreateShortcuts(true) || IsConfigCommand(programArguments))
        puts("configure");
    else
        puts(NoticeWaitsForTap() ? "capture notice-waits" : "capture");
    return 0;
}

// Wine ends a desktop a moment after its last program has gone, and the
// next program starts it again: that costs the program the desktop's start,
// and the desktop keeps that program's standard output open for as long as
// it runs, so a caller reading the output would wait for it. A program that
// stays keeps the desktop that the session's first program started.
//
// It also answers for the X server: asking for the cursor gives this thread
// a connection of its own, which the message wait below watches, so the
// process ends (Xlib ends it) once the server has gone. While it runs, the
// session's server is the one it started on, and a launcher need not ask.
int KeepSession()
{
    GetDesktopWindow();
    POINT cursor;
    GetCursorPos(&cursor);
    // The desktop runs now: a program started after this line finds it and
    // starts none of its own.
    puts("kept");
    fflush(stdout);
    for (;;) {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

int Install()
{
    WCHAR program[MAX_PATH];
    if (!ProgramBesideSetup(program))
        return 1;
    CreateShortcutsFor(program, false);
    SetSettingDefaults();
    CreateDirectoryW(AppSettings.Folder, nullptr);
    return CreateShortcutsFor(program, true) ? 1 : 0;
}

int Run()
{
    const WCHAR* arguments = SkipArgument(GetCommandLineW());
    const WCHAR* programArguments = SkipArgument(arguments);
    if (ArgumentIs(arguments, programArguments, ModeQuestion))
        return AnswerMode(programArguments);
    if (ArgumentIs(arguments, programArguments, KeepSessionRequest))
        return KeepSession();
    return Install();
}

}  // namespace

int main()
{
    int result = Run();
    RunExitActionsNow();
    return result;
}
