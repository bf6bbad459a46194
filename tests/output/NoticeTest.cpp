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
    if (notice)
        driver->script(notice);
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

// The countdown steps this often in these tests: the notice counts down
// as it does in the program, in a fraction of the time.
const UINT ShortStep = 50;

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AutoCloseCountdown = NoticeCountdownStart;
        SetNoticeTimerPeriod(ShortStep);
    }
    void TearDown() override { SetNoticeTimerPeriod(NoticeCountdownStep); }
};

// The countdown's ticks as the notice's thread takes them from its queue,
// each with the button's text just before the tick is handled. The log
// is filled on the thread that made it, and read there once the notice
// has ended.
class TickLog {
public:
    struct Tick {
        DWORD time;
        HWND window;
        UINT_PTR id;
        std::string textBefore;
    };

    TickLog()
    {
        current_ = this;
        hook_ = SetWindowsHookExW(WH_GETMESSAGE, Record, nullptr, GetCurrentThreadId());
        EXPECT_NE(nullptr, hook_);
    }
    ~TickLog()
    {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    TickLog(const TickLog&) = delete;
    TickLog& operator=(const TickLog&) = delete;

    std::vector<Tick> ticks;

private:
    static LRESULT CALLBACK Record(int code, WPARAM removal, LPARAM message)
    {
        const MSG* taken = reinterpret_cast<const MSG*>(message);
        if (code == HC_ACTION && removal == PM_REMOVE && taken->message == WM_TIMER && current_)
            current_->ticks.push_back(
                {GetTickCount(), taken->hwnd, taken->wParam, ButtonText(taken->hwnd)});
        return CallNextHookEx(nullptr, code, removal, message);
    }

    static TickLog* current_;
    HHOOK hook_;
};

TickLog* TickLog::current_ = nullptr;

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
    bool stillOpen = false, painted = false;
    Screenshot shot;
    bool found = false;
    TickLog log;
    INT_PTR result = DriveNoticeDialog(
        [&](HWND notice) {
            text = ButtonText(notice);
            painted = WaitUntilNoticePainted();
            shot = TakeScreenshot();
            // Without AutoClose it waits for a tap, well past the time its
            // countdown would take.
            Sleep(2 * NoticeCountdownStart * ShortStep);
            stillOpen = IsWindowVisible(notice) != FALSE;
            textLater = ButtonText(notice);
            TapButton(notice);
        },
        found);
    ASSERT_TRUE(found);
    EXPECT_TRUE(painted);
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ("OK", text);
    EXPECT_EQ("OK", textLater);
    EXPECT_TRUE(log.ticks.empty()) << "the countdown ran";

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
            WaitUntilNoticePainted();
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

// Unless a test sets another step, as the program never does, the
// countdown steps once a second.
TEST(NoticeCountdown, StepsOnceASecondInTheProgram)
{
    EXPECT_EQ(1000u, NoticeTimerPeriod());
}

// In 50 ms steps, each seen as the notice's thread takes it.
TEST_F(NoticeTest, AutoCloseCountsDownAndCloses)
{
    PrepareNotice(L"\\Temp\\screen01.bmp", 1);
    bool found = false;
    TickLog log;
    const DWORD start = GetTickCount();
    bool shown = DriveNotice([](HWND) {}, [] { return ShowCompletionNotice(); }, found);
    const DWORD closedAfter = GetTickCount() - start;
    ASSERT_TRUE(found);
    EXPECT_TRUE(shown);
    EXPECT_EQ(0, AutoCloseCountdown);

    // "OK" until the first tick, then a second less at each; the sixth
    // closes the notice.
    std::vector<std::string> texts;
    for (const TickLog::Tick& tick : log.ticks) {
        texts.push_back(tick.textBefore);
        EXPECT_EQ(static_cast<UINT_PTR>(NoticeButtonId), tick.id);
        EXPECT_EQ(log.ticks[0].window, tick.window);
    }
    std::vector<std::string> expected = {"OK", "OK (5)", "OK (4)", "OK (3)", "OK (2)", "OK (1)"};
    EXPECT_EQ(expected, texts);
    for (size_t i = 1; i < log.ticks.size(); ++i)
        EXPECT_GE(log.ticks[i].time - log.ticks[i - 1].time, ShortStep * 4 / 5) << texts[i];
    EXPECT_GE(closedAfter, NoticeCountdownStart * ShortStep * 4 / 5);
    EXPECT_LT(closedAfter, NoticeCountdownStart * ShortStep + 3000);
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
                            SendMessageW(notice, WM_COMMAND, 3, 0);
                            afterOther = IsWindowVisible(notice) ? "open" : "closed";
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
    bool found = false;
    TickLog log;
    INT_PTR result = DriveNoticeDialog([](HWND) {}, found);
    ASSERT_TRUE(found);
    EXPECT_EQ(IDOK, result);
    ASSERT_EQ(1u, log.ticks.size());
    EXPECT_EQ("OK", log.ticks[0].textBefore);
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
    RedrawWindow(notice, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPendingMessages();
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
            buttonShown = WaitUntilNoticePainted();
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
