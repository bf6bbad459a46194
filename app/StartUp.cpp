#include "app/StartUp.h"

#include <commctrl.h>

#include "app/AppState.h"
#include "app/CaptureRun.h"
#include "app/Settings.h"
#include "config/ConfigDialog.h"
#include "config/Shortcuts.h"
#include "platform/AygShell.h"
#include "platform/WideCrt.h"

namespace {

int RunConfigurationMode()
{
    InitCommonControls();
    SHInitExtraControls();
    return RunConfigDialog();
}

}  // namespace

// Shortcuts and users on this platform treat switches case-blind. The
// switch is plain ASCII, so folding ASCII letters is all it takes: no
// language's sorting rules, which the system would look up in the registry
// on every capture, and no character that such rules pass over.
bool IsConfigCommand(const WCHAR* commandLine)
{
    const WCHAR* expected = L"-config";
    for (; *commandLine && *expected; ++commandLine, ++expected) {
        WCHAR c = *commandLine;
        if (c >= L'A' && c <= L'Z')
            c = static_cast<WCHAR>(c - L'A' + L'a');
        if (c != *expected)
            return false;
    }
    return *commandLine == 0 && *expected == 0;
}

int CommandLineDelay(const WCHAR* commandLine)
{
    long seconds = _wtol(commandLine);
    if (seconds < 0 || seconds > MaxDelaySeconds)
        return 0;
    return static_cast<int>(seconds);
}

int TavroWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    AppInstance = instance;
    const WCHAR* line = commandLine ? commandLine : L"";

    // The first start, before the shortcuts exist, always configures.
    if (CreateShortcuts(true) || IsConfigCommand(line))
        return RunConfigurationMode();

    if (WideLength(line) != 0)
        AppSettings.Delay = CommandLineDelay(line);
    return CaptureRun();
}
