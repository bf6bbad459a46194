#include <windows.h>

#include "app/StartUp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                    int showCommand)
{
    return TavroWinMain(instance, previousInstance, commandLine, showCommand);
}
