#include <windows.h>

#include "app/StartUp.h"
#include "platform/ExitActions.h"
#include "platform/LauncherReport.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                    int showCommand)
{
    int result = TavroWinMain(instance, previousInstance, commandLine, showCommand);
    RunExitActionsNow();
    ReportEnd(result);
    return result;
}
