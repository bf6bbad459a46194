#include "app/CaptureRun.h"

#include "app/AppState.h"
#include "app/CounterLock.h"
#include "app/Settings.h"
#include "output/BmpWriter.h"
#include "output/FileCommit.h"
#include "output/JpegWriter.h"
#include "output/Notice.h"
#include "output/Scaler.h"
#include "platform/LauncherReport.h"

namespace {

const int NoticeWidth = 200;
const int NoticeHeight = 90;
const unsigned int NoticeDimLevel = 25;
const int CounterWrap = 100;
const int SoundResourceId = 150;
const DWORD MillisecondsPerSecond = 1000;

void SleepFor(DWORD milliseconds)
{
    Sleep(milliseconds);
}

DelayWait WaitFor = SleepFor;

// A stored delay outside the range the command line accepts is ignored,
// like a bad command-line delay: no overflow of the milliseconds, no wait
// of years.
void WaitForDelay()
{
    int delay = AppSettings.Delay;
    if (delay > 0 && delay <= MaxDelaySeconds)
        WaitFor(static_cast<DWORD>(delay) * MillisecondsPerSecond);
}

void CaptureNoticeBackground(HDC screen, int screenWidth, int screenHeight)
{
    int left = (screenWidth - NoticeWidth) / 2;
    int top = (screenHeight - NoticeHeight) / 2;
    NoticeBackground.CaptureFrom(screen, left, top, left + NoticeWidth, top + NoticeHeight);
    NoticeBackground.Dim(NoticeDimLevel);
}

bool WritePicture(const DibImage& picture)
{
    if (!OutputPath[0] || !picture.bits)
        return false;
    // What captures killed while writing left: under the counter's lock no
    // other capture is writing, so every scratch file here is a dead one.
    RemoveDeadScratchFiles(OutputPath);
    ReportWriting(OutputPath);
    if (AppSettings.FileType != 0)
        return WriteJpegFile(OutputPath, AppSettings.Quality, picture) == 1;
    return WriteBmpFile(picture);
}

void PlayDoneSound()
{
    PlaySoundW(MAKEINTRESOURCEW(SoundResourceId), GetModuleHandleW(nullptr),
               SND_RESOURCE | SND_ASYNC);
}

}  // namespace

void SetDelayWait(DelayWait wait)
{
    WaitFor = wait ? wait : SleepFor;
}

int NextCounter(int counter)
{
    return static_cast<int>((static_cast<long long>(counter) + 1) % CounterWrap);
}

PictureSize PlanPictureSize(int screenWidth, int screenHeight, int targetWidth, int targetHeight)
{
    int w = targetWidth;
    int h = targetHeight;
    bool screenLandscape = screenWidth > screenHeight;
    bool targetLandscape = w > h;
    if (screenLandscape != targetLandscape) {
        w = targetHeight;
        h = targetWidth;
    }
    if (w > screenWidth)
        w = screenWidth;
    if (h > screenHeight)
        h = screenHeight;
    bool reduce = screenWidth > w || screenHeight > h;
    if (!reduce || !CanScaleImages(screenWidth, screenHeight, w, h))
        return {screenWidth, screenHeight, false};
    return {w, h, true};
}

int CaptureRun()
{
    SetSettingDefaults();
    AppSettings.Counter = 0;
    int screenWidth = AppSettings.Width;
    int screenHeight = AppSettings.Height;
    LoadSettings();

    WaitForDelay();

    DibImage capture;
    HDC screen = GetDC(nullptr);
    if (screen) {
        capture.CaptureFrom(screen, 0, 0, screenWidth, screenHeight);
        if (AppSettings.Progress != 0)
            CaptureNoticeBackground(screen, screenWidth, screenHeight);
        ReleaseDC(nullptr, screen);
    }

    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ShowCursor(TRUE);

    {
        DibImage scaled;
        const DibImage* picture = &capture;
        PictureSize size =
            PlanPictureSize(screenWidth, screenHeight, AppSettings.Width, AppSettings.Height);
        // Without room for the reduced picture the capture is saved as it is.
        if (size.scaled && capture.bits && scaled.Create(size.width, size.height) &&
            ScaleImage(capture, scaled))
            picture = &scaled;
        {
            // From choosing the number to storing the next one, no other
            // capture may take a number; the number is read afresh, as
            // others may have moved it during the delay and the copy.
            CounterLock lock;
            if (lock.Held()) {
                ReloadCounter();
                if (StoredFolderUnreadable)
                    ReportUnreadableFolder(AppSettings.Folder);
                BuildOutputPath();
                // The next number is stored, and recorded on the disk,
                // before the picture can take its name: a run killed in
                // between leaves a number unused, never a picture under a
                // number that is taken again.
                AppSettings.Counter = NextCounter(AppSettings.Counter);
                SaveSettings(true);
                RecordStoredCounter();
                bool saved = WritePicture(*picture);
                SetCursor(nullptr);
                ReportCapture(AppSettings.Folder, OutputPath, saved);
            } else {
                // A capture that hangs holding the lock: no number can be
                // taken safely, so no picture is written and none is named.
                SetCursor(nullptr);
                OutputPath[0] = 0;
                ReportNoNumber();
            }
        }

        if (AppSettings.PlaySound != 0)
            PlayDoneSound();
        if (AppSettings.Progress != 0 && NoticeBackground.bits)
            ShowCompletionNotice();
    }
    return 0;
}
