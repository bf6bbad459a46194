// The completion notice on a real screen: a second thread finds the modal
// notice, reads what it shows and closes it the way a user or the system
// would, while the test's main thread sits in the notice's modal loop.

#include "app/AppState.h"
#include "app/CaptureRun.h"
#include "app/Settings.h"
#include "output/Notice.h"
#include "output/NoticeLayout.h"
#include "support/ScreenPattern.h"
#include "support/TestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace {

const int RegionWidth = 200;
const int RegionHeight = 90;

// The centred region CaptureRun copies behind the notice: (20, 115) on a
// 240 x 320 screen, (60, 75) on 320 x 240.
POINT RegionOrigin()
{
    return {(GetSystemMetrics(SM_CXSCREEN) - RegionWidth) / 2,
            (GetSystemMetrics(SM_CYSCREEN) - RegionHeight) / 2};
}

// The whole screen as 0x00RRGGBB pixels, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Screenshot TakeScreenshot()
{
    Screenshot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    shot.pixels = ScreenPixels(RECT{0, 0, shot.width, shot.height});
    return shot;
}

DWORD Dimmed(DWORD colour)
{
    DWORD result = 0;
    for (int shift = 0; shift < 24; shift += 8)
        result |= (((colour >> shift & 0xFF) >> 1) + 12) << shift;
    return result;
}

// NoticeBackground's pixel as 0x00RRGGBB.
DWORD BackgroundAt(int x, int y)
{
    const BYTE* pixel = NoticeBackground.bits +
                        static_cast<size_t>(NoticeBackground.height - 1 - y) *
                            NoticeBackground.RowPitch() +
                        x * 3;
    return static_cast<DWORD>(pixel[2]) << 16 | pixel[1] << 8 | pixel[0];
}

// What CaptureRun does before it shows the notice.
void PrepareNotice(const WCHAR* path, int autoClose)
{
    POINT region = RegionOrigin();
    HDC screen = GetDC(nullptr);
    NoticeBackground.CaptureFrom(screen, region.x, region.y, region.x + RegionWidth,
                                 region.y + RegionHeight);
    ReleaseDC(nullptr, screen);
    NoticeBackground.Dim(25);
    lstrcpynW(OutputPath, path, MAX_PATH);
    AppSettings.AutoClose = autoClose;
}

struct FindState {
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    WCHAR className[32];
    GetClassNameW(window, className, 32);
    if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<FindState*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForNotice(DWORD thread, DWORD timeout)
{
    DWORD start = GetTickCount();
    do {
        FindState state = {nullptr};
        EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&state));
        if (state.found)
            return state.found;
        Sleep(20);
    } while (GetTickCount() - start < timeout);
    return nullptr;
}

// Gone from the screen. Hiding a framed window waits up to two seconds
// for a window manager that Xvfb does not have, so the window itself
// outlives its closing by that long.
bool IsShown(HWND notice)
{
    return IsWindow(notice) && IsWindowVisible(notice);
}

std::string ButtonText(HWND notice)
{
    WCHAR text[64] = {};
    GetWindowTextW(GetDlgItem(notice, NoticeButtonId), text, 64);
    return Utf8(text);
}

// A tap on the button: down and up inside it.
void TapButton(HWND notice)
{
    HWND button = GetDlgItem(notice, NoticeButtonId);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
}

// Runs `script` on a second thread once the notice is up; `run` shows the
// notice on this thread and gives its result.
struct Driver {
    DWORD owner;
    std::function<void(HWND)> script;
    bool found;
};

DWORD WINAPI DriverThread(void* param)
{
    auto* driver = static_cast<Driver*>(param);
    HWND notice = WaitForNotice(driver->owner, 5000);
    driver->found = notice != nullptr;
    if (notice) {
        Sleep(300);  // let it paint
        driver->script(notice);
    }
    // Never leave a test hanging in the modal loop.
    DWORD start = GetTickCount();
    while (notice && IsWindow(notice) && GetTickCount() - start < 10000)
        Sleep(20);
    if (notice && IsWindow(notice))
        PostMessageW(notice, WM_CLOSE, 0, 0);
    return 0;
}

template <typename Run>
auto DriveNotice(std::function<void(HWND)> script, Run run, bool& found) -> decltype(run())
{
    Driver driver = {GetCurrentThreadId(), std::move(script), false};
    HANDLE thread = CreateThread(nullptr, 0, DriverThread, &driver, 0, nullptr);
    auto result = run();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    found = driver.found;
    return result;
}

INT_PTR DriveNoticeDialog(std::function<void(HWND)> script, bool& found)
{
    return DriveNotice(std::move(script), [] { return RunNoticeDialog(); }, found);
}

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override { AutoCloseCountdown = NoticeCountdownStart; }
};

// Whether the screen shows the notice's button where its top left corner
// belongs: its dark green outline.
bool ButtonShownAt(int x, int y)
{
    return ScreenPixels(RECT{x, y, x + 1, y + 1})[0] == 0x1F551F;
}

// Counts this process's live GDI objects. Wine's GetGuiResources is a stub
// that answers 0, but Wine takes a handle whose upper word is zero as "the
// object in that slot, whatever its generation", so asking GetObjectType
// about every slot finds each live object exactly once.
int CountGdiObjects()
{
    int count = 0;
    for (UINT slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(slot))) != 0)
            ++count;
    return count;
}

}  // namespace

TEST_F(NoticeTest, ShowsTheDarkenedRegionTheTextAndTheButton)
{
    ScreenPattern pattern;
    PrepareNotice(L"\\Temp\\screen00.bmp", 0);
    // The background is the darkened copy of the very region behind it.
    POINT region = RegionOrigin();
    for (int y = 0; y < RegionHeight; ++y)
        for (int x = 0; x < RegionWidth; ++x)
            ASSERT_EQ(Dimmed(pattern.Colour(region.x + x, region.y + y)), BackgroundAt(x, y))
                << x << "," << y;

    std::string text, textLater;
    bool stillOpen = false;
    Screenshot shot;
    bool found = false;
    INT_PTR result = DriveNoticeDialog(
        [&](HWND notice) {
            text = ButtonText(notice);
            shot = TakeScreenshot();
            // Without AutoClose it waits for a tap, past the countdown's time.
            Sleep(6500);
            stillOpen = IsWindowVisible(notice) != FALSE;
            textLater = ButtonText(notice);
            TapButton(notice);
        },
        found);
    ASSERT_TRUE(found);
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ("OK", text);
    EXPECT_EQ("OK", textLater);

    // The button face: bitmap 300 over the whole 80 x 20 button, outline
    // included, at (60, 60) of the pane.
    RECT button = {region.x + 60, region.y + 60, region.x + 140, region.y + 80};
    EXPECT_EQ(0x1F551Fu, shot.At(button.left, button.top));
    EXPECT_EQ(0x1F551Fu, shot.At(button.right - 1, button.bottom - 1));
    EXPECT_EQ(0xFFCE82u, shot.At(button.left + 1, button.top + 1));
    EXPECT_EQ(0xC45C00u, shot.At(button.left + 1, button.bottom - 2));
    EXPECT_EQ(0xFFFFFFu, shot.At(button.left + 4, button.top + 4));
    // Its text: dark on the white face.
    int dark = 0;
    for (int y = button.top + 3; y < button.bottom - 3; ++y)
        for (int x = button.left + 3; x < button.right - 3; ++x)
            dark += shot.At(x, y) == 0x000000;
    EXPECT_GT(dark, 20);
}

// What the user sees, whatever frame the platform or a window manager
// draws around the notice: at every pixel of the copied region but its
// outermost ring, the pane shows the darkened copy of the very pixel
// beneath it, but where the text and the button are; the button ends 10
// pixels above the pane's bottom.
TEST_F(NoticeTest, ThePaneLiesExactlyOverTheRegionItCopied)
{
    ScreenPattern pattern(ScreenPattern::Default, ScreenPattern::Below);
    PrepareNotice(L"\\Temp\\screen05.bmp", 0);
    POINT region = RegionOrigin();
    Screenshot shot;
    bool found = false;
    DriveNoticeDialog(
        [&](HWND notice) {
            // A window manager maps the notice a moment after it exists.
            DWORD start = GetTickCount();
            while (!ButtonShownAt(region.x + 60, region.y + 60) && GetTickCount() - start < 3000)
                Sleep(50);
            Sleep(100);
            shot = TakeScreenshot();
            TapButton(notice);
        },
        found);
    ASSERT_TRUE(found);

    const RECT text = {3, 3, RegionWidth - 3, RegionHeight - 30};
    const RECT button = {60, 60, 140, 80};
    int wrong = 0;
    std::string first;
    for (int y = 1; y < RegionHeight - 1; ++y) {
        for (int x = 1; x < RegionWidth - 1; ++x) {
            POINT at = {x, y};
            if (PtInRect(&text, at) || PtInRect(&button, at))
                continue;
            DWORD beneath = pattern.Colour(region.x + x, region.y + y);
            DWORD shown = shot.At(region.x + x, region.y + y);
            if (shown != Dimmed(beneath) && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y);
        }
    }
    EXPECT_EQ(0, wrong) << "first at " << first << " of the region at " << region.x << ","
                        << region.y;

    // The button's outline from (60, 60) to (139, 79): 10 pixels above the
    // pane's bottom, and the pane right below it.
    EXPECT_EQ(0x1F551Fu, shot.At(region.x + 60, region.y + 60));
    EXPECT_EQ(0x1F551Fu, shot.At(region.x + 139, region.y + 79));
    EXPECT_EQ(Dimmed(pattern.Colour(region.x + 139, region.y + 80)),
              shot.At(region.x + 139, region.y + 80));
    EXPECT_EQ(Dimmed(pattern.Colour(region.x + 59, region.y + 60)),
              shot.At(region.x + 59, region.y + 60));

    // White text above the button: the darkened pane never gets that bright.
    int white = 0;
    for (int y = text.top; y < text.bottom; ++y)
        for (int x = text.left; x < text.right; ++x)
            white += shot.At(region.x + x, region.y + y) == 0xFFFFFF;
    EXPECT_GT(white, 100);
}

TEST_F(NoticeTest, AutoCloseCountsDownAndCloses)
{
    PrepareNotice(L"\\Temp\\screen01.bmp", 1);
    std::vector<std::string> texts;
    std::vector<DWORD> times;
    DWORD closedAfter = 0;
    bool found = false;
    bool shown = DriveNotice(
        [&](HWND notice) {
            DWORD start = GetTickCount() - 300;  // the driver waited 300 ms
            while (IsShown(notice) && GetTickCount() - start < 9000) {
                std::string text = ButtonText(notice);
                if (IsWindow(notice) && !text.empty() && (texts.empty() || texts.back() != text)) {
                    texts.push_back(text);
                    times.push_back(GetTickCount() - start);
                }
                Sleep(20);
            }
            closedAfter = GetTickCount() - start;
        },
        [] { return ShowCompletionNotice(); }, found);
    ASSERT_TRUE(found);
    EXPECT_TRUE(shown);
    std::vector<std::string> expected = {"OK", "OK (5)", "OK (4)", "OK (3)", "OK (2)", "OK (1)"};
    EXPECT_EQ(expected, texts);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GT(times[i], 1000 * i - 400) << texts[i];
        EXPECT_LT(times[i], 1000 * i + 900) << texts[i];
    }
    EXPECT_GT(closedAfter, 5600u);
    EXPECT_LT(closedAfter, 8000u);
    EXPECT_EQ(0, AutoCloseCountdown);
}

TEST_F(NoticeTest, ResultsOfEachWayOut)
{
    PrepareNotice(L"\\Temp\\screen02.bmp", 0);
    bool found = false;
    EXPECT_EQ(IDCANCEL, DriveNoticeDialog(
                            [](HWND notice) { PostMessageW(notice, WM_COMMAND, IDCANCEL, 0); },
                            found));
    EXPECT_TRUE(found);
    EXPECT_EQ(16, DriveNoticeDialog([](HWND notice) { PostMessageW(notice, WM_CLOSE, 0, 0); },
                                    found));
    EXPECT_TRUE(found);
    // Other commands leave it open.
    std::string afterOther;
    EXPECT_EQ(IDOK, DriveNoticeDialog(
                        [&](HWND notice) {
                            PostMessageW(notice, WM_COMMAND, 3, 0);
                            Sleep(200);
                            afterOther = IsWindow(notice) ? "open" : "closed";
                            TapButton(notice);
                        },
                        found));
    EXPECT_EQ("open", afterOther);

    EXPECT_FALSE(DriveNotice([](HWND notice) { PostMessageW(notice, WM_CLOSE, 0, 0); },
                             [] { return ShowCompletionNotice(); }, found));
    EXPECT_TRUE(DriveNotice([](HWND notice) { TapButton(notice); },
                            [] { return ShowCompletionNotice(); }, found));
}

TEST_F(NoticeTest, ASpentCountdownClosesAtTheFirstTick)
{
    PrepareNotice(L"\\Temp\\screen03.bmp", 1);
    AutoCloseCountdown = 1;
    DWORD closedAfter = 0;
    bool found = false;
    INT_PTR result = DriveNoticeDialog(
        [&](HWND notice) {
            DWORD start = GetTickCount() - 300;
            while (IsShown(notice) && GetTickCount() - start < 5000)
                Sleep(20);
            closedAfter = GetTickCount() - start;
        },
        found);
    ASSERT_TRUE(found);
    EXPECT_EQ(IDOK, result);
    EXPECT_LT(closedAfter, 2000u);
}

TEST_F(NoticeTest, PaintingAThousandTimesLeavesNoGdiObjectBehind)
{
    // The count sees one object come and go.
    int before = CountGdiObjects();
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_EQ(before + 1, CountGdiObjects());
    DeleteObject(pen);
    EXPECT_EQ(before, CountGdiObjects());

    PrepareNotice(L"\\Temp\\screen04.bmp", 0);
    std::vector<BYTE> block(NoticeTemplateSize, 0);
    WriteNoticeTemplate(block.data());
    HWND notice = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(block.data()),
                                             nullptr, NoticeDialogProc, 0);
    ASSERT_NE(nullptr, notice);
    ShowWindow(notice, SW_SHOW);
    PumpMessages(200);
    HWND button = GetDlgItem(notice, NoticeButtonId);
    ASSERT_NE(nullptr, button);

    int start = CountGdiObjects();
    for (int i = 0; i < 1000; ++i) {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.CtlID = NoticeButtonId;
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = button;
        item.hDC = GetDC(button);
        GetClientRect(button, &item.rcItem);
        NoticeDialogProc(notice, WM_DRAWITEM, NoticeButtonId, reinterpret_cast<LPARAM>(&item));
        ReleaseDC(button, item.hDC);
        RedrawWindow(notice, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    EXPECT_EQ(start, CountGdiObjects());

    // An id of 0 draws nothing.
    HDC dc = GetDC(button);
    RECT rect = {0, 0, 80, 20};
    DrawBitmapResource(0, dc, rect);
    ReleaseDC(button, dc);
    EXPECT_EQ(start, CountGdiObjects());
    DestroyWindow(notice);
}

TEST_F(NoticeTest, CaptureRunEndsWithTheNoticeOverTheScreen)
{
    ScreenPattern pattern;
    ScratchFolder folder;
    ClearSettingsKey();
    WriteRawSetting(L"Folder", REG_SZ, folder.Path(),
                    static_cast<DWORD>((lstrlenW(folder.Path()) + 1) * sizeof(WCHAR)));
    WriteDwordSetting(L"Progress", 1);
    WriteDwordSetting(L"PlaySound", 1);
    AppSettings.Delay = 0;
    AppSettings.AutoClose = 0;

    POINT region = RegionOrigin();
    bool buttonShown = false;
    bool found = false;
    DWORD started = GetTickCount();
    int result = DriveNotice(
        [&](HWND notice) {
            buttonShown = ButtonShownAt(region.x + 60, region.y + 60);
            TapButton(notice);
        },
        [] { return CaptureRun(); }, found);
    ClearSettingsKey();
    EXPECT_EQ(0, result);
    ASSERT_TRUE(found);
    EXPECT_TRUE(buttonShown);
    // The sound neither failed the run nor held it up.
    EXPECT_LT(GetTickCount() - started, 5000u);
    EXPECT_TRUE(FileExists(W(folder.Join("screen00.bmp"))));
    EXPECT_EQ(U16(W(folder.Join("screen00.bmp"))), U16(OutputPath));
    for (int y = 0; y < RegionHeight; y += 7)
        for (int x = 0; x < RegionWidth; x += 9)
            ASSERT_EQ(Dimmed(pattern.Colour(region.x + x, region.y + y)), BackgroundAt(x, y));
}
