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

bool IsConfigCommand(const WCHAR* commandLine)
{
    // Shortcuts and users on this platform treat switches case-blind.
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, commandLine, -1, L"-config", -1) ==
           CSTR_EQUAL;
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
