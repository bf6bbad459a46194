#include "platform/LauncherReport.h"

#include <stdio.h>
#include <stdlib.h>

#include "platform/HostFiles.h"

namespace {

// Begins the lines meant for the script, not the user.
const char ScriptLine[] = "tavro-report: ";

bool LauncherAsked()
{
    const char* wanted = getenv("TAVRO_REPORT");
    return wanted && wanted[0] == '1' && wanted[1] == 0;
}

// UTF-8 for the terminal; an empty text when it cannot be converted.
void ToUtf8(const WCHAR* text, char* utf8, int capacity)
{
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, capacity, nullptr, nullptr) == 0)
        utf8[0] = 0;
}

void ReportPlace(const char* before, const WCHAR* picture)
{
    char place[4096];
    PlaceOnDisk(picture, place, sizeof place);
    printf("%s%s\n", before, place);
    fflush(stdout);
}

void ReportNotSaved(const WCHAR* folder, const WCHAR* picture)
{
    char folderText[1024];
    char pictureText[1024];
    ToUtf8(folder, folderText, sizeof folderText);
    ToUtf8(picture, pictureText, sizeof pictureText);
    DWORD attributes = GetFileAttributesW(folder);
    if (!picture[0])
        fprintf(stderr, "tavro: no picture was written: the folder name %s is too long\n",
                folderText);
    else if (attributes == INVALID_FILE_ATTRIBUTES)
        fprintf(stderr, "tavro: no picture was written: the folder %s does not exist\n",
                folderText);
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        fprintf(stderr, "tavro: no picture was written: %s is a file, not a folder\n",
                folderText);
    else
        fprintf(stderr, "tavro: no picture was written: %s could not be written\n", pictureText);
    fflush(stderr);
}

}  // namespace

void ReportCapture(const WCHAR* folder, const WCHAR* picture, bool saved)
{
    if (!LauncherAsked())
        return;
    if (saved)
        ReportPlace("", picture);
    else
        ReportNotSaved(folder, picture);
}

void ReportUnreadableFolder(const WCHAR* defaultFolder)
{
    if (!LauncherAsked())
        return;
    char folderText[1024];
    ToUtf8(defaultFolder, folderText, sizeof folderText);
    fprintf(stderr, "tavro: note: the stored Folder setting could not be read (it is not a text, "
                    "or has 260 characters or more), so the picture goes to %s\n", folderText);
    fflush(stderr);
}

void ReportNoNumber()
{
    if (!LauncherAsked())
        return;
    fprintf(stderr, "tavro: no picture was written: another capture held the picture counter "
                    "and did not finish\n");
    fflush(stderr);
}

void ReportWriting(const WCHAR* picture)
{
    if (!LauncherAsked())
        return;
    char before[32];
    wsprintfA(before, "%swriting ", ScriptLine);
    ReportPlace(before, picture);
}

void ReportEnd(int exitCode)
{
    if (!LauncherAsked())
        return;
    printf("%sended %d\n", ScriptLine, exitCode);
    fflush(stdout);
}
