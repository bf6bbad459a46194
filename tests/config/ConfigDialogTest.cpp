#include "config/ConfigDialog.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CounterLock.h"
#include "app/CounterRecord.h"
#include "app/Settings.h"
#include "app/StartUp.h"
#include "config/ConfigItems.h"
#include "config/Shortcuts.h"
#include "config/DialogDriver.h"
#include "optiontree/OptionTree.h"
#include "platform/AygShell.h"
#include "res/resource.h"
#include "support/LockHolder.h"
#include "support/ProgramRuns.h"
#include "support/TestSupport.h"

namespace {

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// The key the system turns into a hot-key message for the tree.
void PressNavKey(HWND tree, UINT vk)
{
    int id = vk == VK_UP ? NavKeyUpId : NavKeyDownId;
    SendMessageW(tree, WM_HOTKEY, id, MAKELPARAM(0, vk));
}

// Makes the row with this id current with the Up and Down keys: up to the
// first row (from no current row the first key selects it), then down.
void SelectRow(HWND tree, int id)
{
    for (int i = 0; i < ConfigItemCount; ++i)
        PressNavKey(tree, VK_UP);
    for (int row = 0; row < ConfigItemCount && ConfigItems[row].id != id; ++row)
        PressNavKey(tree, VK_DOWN);
}

// Types text into the editor as a keyboard does, over its selection.
void Type(HWND editor, const char* text)
{
    std::u16string typed = Utf16(text);
    for (char16_t c : typed)
        PostMessageW(editor, WM_CHAR, c, 1);
}

void Tap(HWND window, const RECT& area)
{
    PostTap(window, (area.left + area.right) / 2, (area.top + area.bottom) / 2);
}

RECT TabRect(HWND tab, int index)
{
    RECT rect = {};
    SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

RECT ChildRect(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::u16string FolderSetting()
{
    DWORD type = 0;
    std::vector<unsigned char> data;
    if (!ReadRawSetting(L"Folder", type, data) || data.size() < 2)
        return u"";
    return std::u16string(reinterpret_cast<const char16_t*>(data.data()));
}

std::string ClassOf(HWND window)
{
    WCHAR name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

}  // namespace

// ---- Set-up ----

TEST_F(ConfigDialogTest, RowsHoldTheDefaultsWhenNothingIsStored)
{
    bool treeHasItsState = false;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        treeHasItsState = OptionTreeStateOf(TreeOf(dialog)) != nullptr;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(2, code);
    EXPECT_TRUE(treeHasItsState);

    const char* labels[ConfigItemCount] = {"Каталог",         "Задержка, сек",  "Ширина картинки",
                                           "Высота картинки", "Сохранять в jpg", "Качество Jpg",
                                           "Проиграть звук",  "Уведомление",    "Автозакрытие"};
    const int ids[ConfigItemCount] = {1, 9, 2, 3, 4, 5, 6, 7, 8};
    const unsigned kinds[ConfigItemCount] = {Text,  Number, Number, Number, Check,
                                             Number, Check, Check,  Check};
    for (int i = 0; i < ConfigItemCount; ++i) {
        EXPECT_EQ(labels[i], Utf8(ConfigItems[i].label)) << i;
        EXPECT_EQ(ids[i], ConfigItems[i].id) << i;
        EXPECT_EQ(kinds[i], ConfigItems[i].kind) << i;
        EXPECT_EQ(0, ConfigItems[i].level) << i;
        EXPECT_EQ(0, ConfigItems[i].choiceCount) << i;
        EXPECT_EQ(1, ConfigItems[i].visible) << i;  // the tree shows all nine
    }
    EXPECT_EQ("\\Temp", Utf8(ItemText(*FindConfigItem(RowFolder))));
    EXPECT_TRUE(AppSettings.Folder == ItemText(*FindConfigItem(RowFolder)));
    EXPECT_EQ(0, ItemNumber(*FindConfigItem(RowDelay)));
    EXPECT_EQ(ScreenWidth(), ItemNumber(*FindConfigItem(RowWidth)));
    EXPECT_EQ(ScreenHeight(), ItemNumber(*FindConfigItem(RowHeight)));
    EXPECT_FALSE(ItemFlag(*FindConfigItem(RowFileType)));
    EXPECT_EQ(100, ItemNumber(*FindConfigItem(RowQuality)));
    EXPECT_FALSE(ItemFlag(*FindConfigItem(RowPlaySound)));
    EXPECT_FALSE(ItemFlag(*FindConfigItem(RowProgress)));
    EXPECT_FALSE(ItemFlag(*FindConfigItem(RowAutoClose)));
    EXPECT_TRUE(SettingsValueNames().empty());  // Cancel
}

TEST_F(ConfigDialogTest, RowsHoldTheStoredSettings)
{
    const WCHAR folder[] = L"\\Storage Card\\Shots";
    WriteRawSetting(L"Folder", REG_SZ, folder, sizeof folder);
    WriteDwordSetting(L"Delay", 12);
    WriteDwordSetting(L"Width", 120);
    WriteDwordSetting(L"Height", 160);
    WriteDwordSetting(L"FileType", 1);
    WriteDwordSetting(L"Quality", 75);
    WriteDwordSetting(L"PlaySound", 1);
    WriteDwordSetting(L"AutoClose", 1);
    RunConfigDialogDriven([](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ("\\Storage Card\\Shots", Utf8(ItemText(*FindConfigItem(RowFolder))));
    EXPECT_EQ(12, ItemNumber(*FindConfigItem(RowDelay)));
    EXPECT_EQ(120, ItemNumber(*FindConfigItem(RowWidth)));
    EXPECT_EQ(160, ItemNumber(*FindConfigItem(RowHeight)));
    EXPECT_TRUE(ItemFlag(*FindConfigItem(RowFileType)));
    EXPECT_EQ(75, ItemNumber(*FindConfigItem(RowQuality)));
    EXPECT_TRUE(ItemFlag(*FindConfigItem(RowPlaySound)));
    EXPECT_FALSE(ItemFlag(*FindConfigItem(RowProgress)));
    EXPECT_TRUE(ItemFlag(*FindConfigItem(RowAutoClose)));
}

TEST_F(ConfigDialogTest, PagesFillTheScreenBetweenTitleAndSoftKeys)
{
    RECT window = {}, client = {}, tab = {}, display = {}, tree = {}, about = {}, icon = {},
         bar = {};
    bool treeShown = false, aboutShown = true, iconShown = true;
    int selected = -1;
    std::string aboutText, barOwnerClass;
    RunConfigDialogDriven([&](HWND dialog) {
        GetWindowRect(dialog, &window);
        GetClientRect(dialog, &client);
        HWND tabWindow = TabOf(dialog);
        tab = ChildRect(tabWindow);
        GetClientRect(tabWindow, &display);
        SendMessageW(tabWindow, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
        selected = static_cast<int>(SendMessageW(tabWindow, TCM_GETCURSEL, 0, 0));
        tree = ChildRect(TreeOf(dialog));
        about = ChildRect(AboutTextOf(dialog));
        icon = ChildRect(GetDlgItem(dialog, IDC_CONFIG_ICON));
        GetWindowRect(MenuBarOf(dialog), &bar);
        treeShown = IsWindowVisible(TreeOf(dialog));
        aboutShown = IsWindowVisible(AboutTextOf(dialog));
        iconShown = IsWindowVisible(GetDlgItem(dialog, IDC_CONFIG_ICON));
        aboutText = WindowText(AboutTextOf(dialog));
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });

    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(ScreenWidth(), window.right);
    EXPECT_EQ(bar.top, window.bottom);  // the soft keys below, not over the pages
    EXPECT_EQ(ScreenHeight(), bar.bottom);
    EXPECT_EQ(0, tab.left);
    EXPECT_EQ(0, tab.top);
    EXPECT_EQ(client.right, tab.right);
    EXPECT_EQ(client.bottom, tab.bottom);
    EXPECT_EQ(0, selected);

    EXPECT_EQ(5, tree.left);
    EXPECT_EQ(5, tree.top);
    EXPECT_EQ(display.right, tree.right);  // (D.right - 5) wide from x 5
    EXPECT_EQ(display.bottom, tree.bottom);
    EXPECT_EQ(5, about.left);
    EXPECT_EQ(icon.bottom + 3, about.top);  // 40 with a 32-pixel icon
    EXPECT_EQ(display.right - 5, about.right);
    EXPECT_EQ(display.bottom - 5, about.bottom);
    // The system's icon size: 32 at 96 dpi, 64 at 192; centred whatever it is.
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), icon.right - icon.left);
    EXPECT_EQ((display.right - display.left - (icon.right - icon.left)) / 2, icon.left);
    EXPECT_EQ(5, icon.top);

    EXPECT_TRUE(treeShown);
    EXPECT_FALSE(aboutShown);
    EXPECT_FALSE(iconShown);
    EXPECT_EQ("Tavro ver 1.04\r\n\r\nУстановка\r\nВыбери пункт меню \"Создать ярлыки\", "
              "созданные ярлыки можно назначить на аппаратные кнопки или добавить в лаунчер.",
              aboutText);
}

// ---- Text and marks at every dpi ----

// Part of the screen as 0x00RRGGBB pixels.
struct ScreenArea {
    RECT rect;
    std::vector<DWORD> pixels;
    explicit ScreenArea(const RECT& area) : rect(area), pixels(ScreenPixels(area)) {}
    DWORD At(int x, int y) const
    {
        return pixels[static_cast<size_t>(y - rect.top) * (rect.right - rect.left) +
                      (x - rect.left)];
    }
};

// The boxes around what differs from the background in each band of rows
// of part of an area: one box per band, top to bottom.
std::vector<RECT> InkBands(const ScreenArea& area, const RECT& part, DWORD background)
{
    std::vector<RECT> bands;
    bool inBand = false;
    for (int y = part.top; y < part.bottom; ++y) {
        int left = part.right, right = part.left;
        for (int x = part.left; x < part.right; ++x) {
            if (area.At(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
            }
        }
        if (left >= right) {
            inBand = false;
            continue;
        }
        if (!inBand)
            bands.push_back(RECT{left, y, right, y + 1});
        RECT& band = bands.back();
        band.left = std::min(band.left, static_cast<LONG>(left));
        band.right = std::max(band.right, static_cast<LONG>(right));
        band.bottom = y + 1;
        inBand = true;
    }
    return bands;
}

// What the tree and the soft keys show, measured on the screen.
struct DialogInk {
    int valueX = -1;       // the first underline's ends: the value column
    int valueRight = -1;
    std::vector<RECT> captions;
    RECT firstValue = {};  // the first row's value text
    RECT menuMark = {};    // the "Меню" key's mark
};

DialogInk ReadDialogInk(HWND dialog)
{
    DialogInk ink;
    HWND tree = TreeOf(dialog);
    RECT client;
    GetClientRect(tree, &client);
    MapWindowPoints(tree, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ScreenArea area(client);
    const DWORD white = 0xFFFFFF;

    // The value column's underline: the first long black line, longer
    // than any stroke of a letter.
    const int underlineLength = 40;
    int underline = -1;
    for (int y = client.top; y < client.bottom && underline < 0; ++y) {
        for (int x = client.left; x < client.right;) {
            int start = x;
            while (x < client.right && area.At(x, y) == 0)
                ++x;
            if (x - start > underlineLength) {
                underline = y;
                ink.valueX = start;
                ink.valueRight = x;
                break;
            }
            x = x == start ? x + 1 : x;
        }
    }
    if (underline < 0)
        return ink;
    ink.captions = InkBands(area, RECT{client.left, client.top, ink.valueX - 1, client.bottom},
                            white);
    if (!ink.captions.empty()) {
        std::vector<RECT> value = InkBands(
            area, RECT{ink.valueX, ink.captions[0].top, ink.valueRight, underline}, white);
        if (!value.empty())
            ink.firstValue = value[0];
    }

    // The mark is the rightmost thing on the "Меню" key.
    RECT bar;
    GetWindowRect(MenuBarOf(dialog), &bar);
    RECT key = {(bar.left + bar.right) / 2, bar.top + 1, bar.right, bar.bottom};
    ScreenArea keys(key);
    // The key shades from top to bottom; its label and mark are dark.
    auto dark = [&](int x, int y) {
        DWORD pixel = keys.At(x, y);
        return (pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF) < 3 * 128;
    };
    auto columnHasInk = [&](int x) {
        for (int y = key.top; y < key.bottom; ++y)
            if (dark(x, y))
                return true;
        return false;
    };
    int right = key.right - 1;
    while (right > key.left && !columnHasInk(right))
        --right;
    int left = right;
    while (left > key.left && columnHasInk(left - 1))
        --left;
    for (int y = key.top; y < key.bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (!dark(x, y))
                continue;
            if (ink.menuMark.right == 0)
                ink.menuMark = RECT{left, y, right + 1, y + 1};
            ink.menuMark.bottom = y + 1;
        }
    }
    return ink;
}

int Width(const RECT& box) { return box.right - box.left; }
int Height(const RECT& box) { return box.bottom - box.top; }

// Captions, values and the soft keys' mark grow with the dpi and keep their
// proportions; nothing is clipped or overlaps. The widths of a first run
// are kept in the file TAVRO_DPI_RECORD names (tests/app/on-own-screen
// --dpi), and a run at another dpi is measured against them.
TEST_F(ConfigDialogTest, TextAndMarksGrowWithTheDpi)
{
    DialogInk ink;
    RunConfigDialogDriven([&](HWND dialog) {
        // Painted whole, and holding still.
        const RECT screen = {0, 0, ScreenWidth(), ScreenHeight()};
        std::vector<DWORD> last;
        WaitUntil(
            [&] {
                std::vector<DWORD> now = ScreenPixels(screen);
                bool still = now == last;
                last = now;
                ink = ReadDialogInk(dialog);
                return still && ink.valueX > 0 &&
                       ink.captions.size() == static_cast<size_t>(ConfigItemCount) &&
                       Width(ink.menuMark) > 0;
            },
            3000);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_GT(ink.valueX, 0) << "no value column on the screen";
    ASSERT_EQ(static_cast<size_t>(ConfigItemCount), ink.captions.size())
        << "the captions' rows touch or are missing";
    for (const RECT& caption : ink.captions)
        EXPECT_LT(caption.right, ink.valueX - 4) << "clipped: the caption at y " << caption.top;
    EXPECT_GT(Width(ink.firstValue), 0);
    EXPECT_LE(ink.firstValue.right, ink.valueRight);
    EXPECT_GT(Width(ink.menuMark), 0);

    const char* record = getenv("TAVRO_DPI_RECORD");
    if (!record)
        return;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int measured[5] = {dpi, Width(ink.captions[0]), Width(ink.firstValue), Width(ink.menuMark),
                       Height(ink.menuMark)};
    int first[5] = {};
    FILE* file = fopen(record, "r");
    if (!file) {
        file = fopen(record, "w");
        ASSERT_NE(nullptr, file);
        fprintf(file, "%d %d %d %d %d\n", measured[0], measured[1], measured[2], measured[3],
                measured[4]);
        fclose(file);
        return;
    }
    int read = fscanf(file, "%d %d %d %d %d", &first[0], &first[1], &first[2], &first[3],
                      &first[4]);
    fclose(file);
    ASSERT_EQ(5, read);
    const double scale = static_cast<double>(dpi) / first[0];
    const char* what[5] = {"", "first caption", "first value", "mark's width", "mark's height"};
    for (int i = 1; i < 5; ++i) {
        double ratio = static_cast<double>(measured[i]) / first[i];
        EXPECT_GE(ratio, 0.85 * scale) << what[i] << ": " << first[i] << " at " << first[0]
                                       << " dpi, " << measured[i] << " at " << dpi;
        EXPECT_LE(ratio, 1.15 * scale) << what[i] << ": " << first[i] << " at " << first[0]
                                       << " dpi, " << measured[i] << " at " << dpi;
    }
}

TEST_F(ConfigDialogTest, TabTapsSwitchThePages)
{
    bool afterAbout[3] = {}, afterSettings[3] = {};
    RunConfigDialogDriven([&](HWND dialog) {
        HWND tab = TabOf(dialog), tree = TreeOf(dialog), about = AboutTextOf(dialog);
        HWND icon = GetDlgItem(dialog, IDC_CONFIG_ICON);
        Tap(tab, TabRect(tab, 1));
        WaitUntil([&] { return IsWindowVisible(about); });
        afterAbout[0] = IsWindowVisible(tree);
        afterAbout[1] = IsWindowVisible(about);
        afterAbout[2] = IsWindowVisible(icon);
        Tap(tab, TabRect(tab, 0));
        WaitUntil([&] { return IsWindowVisible(tree); });
        afterSettings[0] = IsWindowVisible(tree);
        afterSettings[1] = IsWindowVisible(about);
        afterSettings[2] = IsWindowVisible(icon);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(afterAbout[0]);
    EXPECT_TRUE(afterAbout[1]);
    EXPECT_TRUE(afterAbout[2]);
    EXPECT_TRUE(afterSettings[0]);
    EXPECT_FALSE(afterSettings[1]);
    EXPECT_FALSE(afterSettings[2]);
}

// ---- OK, Cancel, closing ----

TEST_F(ConfigDialogTest, OkWithoutEditsStoresAllTenAndKeepsTheCounter)
{
    WriteDwordSetting(L"Counter", 42);
    WriteDwordSetting(L"Delay", 3);
    int code = RunConfigDialogDriven([](HWND dialog) {
        // The ok button in the title strip, tapped for real.
        RECT ok = ShellOkButtonRect(dialog);
        ClickScreen(POINT{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2});
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ(1, code);

    EXPECT_EQ(10u, SettingsValueNames().size());
    DWORD type = 0;
    std::vector<unsigned char> folder;
    ASSERT_TRUE(ReadRawSetting(L"Folder", type, folder));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ASSERT_EQ(520u, folder.size());
    EXPECT_EQ(u"\\Temp", FolderSetting());
    EXPECT_EQ(42u, ReadDwordSetting(L"Counter"));
    EXPECT_EQ(3u, ReadDwordSetting(L"Delay"));
    EXPECT_EQ(static_cast<DWORD>(ScreenWidth()), ReadDwordSetting(L"Width"));
    EXPECT_EQ(static_cast<DWORD>(ScreenHeight()), ReadDwordSetting(L"Height"));
    EXPECT_EQ(100u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(0u, ReadDwordSetting(L"FileType"));
    EXPECT_EQ(0u, ReadDwordSetting(L"PlaySound"));
    EXPECT_EQ(0u, ReadDwordSetting(L"Progress"));
    EXPECT_EQ(0u, ReadDwordSetting(L"AutoClose"));
}

// Two captures taken while the dialog is open (real program processes):
// OK stores the counter they left, not the one loaded at opening, so the
// next capture overwrites neither of their pictures.
TEST_F(ConfigDialogTest, OkStoresTheCounterThatCapturesTakenMeanwhileLeft)
{
    ScratchFolder pictures;
    WriteFolderSetting(pictures.Path());
    WriteDwordSetting(L"Counter", 0);
    WriteDwordSetting(L"Quality", 77);
    MainShortcutPresent shortcut;
    DWORD capturesEnded[2] = {STILL_ACTIVE, STILL_ACTIVE};
    int code = RunConfigDialogDriven([&](HWND dialog) {
        std::vector<ProgramRun> captures = StartTogether(TavroProgram(), "", 2);
        WaitForAll(captures, 60000);
        capturesEnded[0] = captures[0].exitCode;
        capturesEnded[1] = captures[1].exitCode;
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, code);
    EXPECT_EQ(0u, capturesEnded[0]);
    EXPECT_EQ(0u, capturesEnded[1]);
    EXPECT_EQ((std::vector<std::string>{"screen00.bmp", "screen01.bmp"}),
              FolderEntries(pictures.Path()));
    EXPECT_EQ(2u, ReadDwordSetting(L"Counter"));
    EXPECT_EQ(10u, SettingsValueNames().size());
    EXPECT_EQ(77u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(U16(pictures.Path()), FolderSetting());
}

// A session that ended before saving its registry left behind a Counter
// that captures had moved on from, as the counter's record knows. OK writes
// the key afresh, which would make that stale number look as if the user
// had set it: it stores the Counter stored last instead, and records the
// state it leaves.
TEST_F(ConfigDialogTest, OkAfterALostSessionStoresTheCounterStoredLast)
{
    WriteDwordSetting(L"Counter", 2);
    CounterState wentBack = {true, 2, true, {0, 0}};
    ASSERT_TRUE(RegistryStore::Instance().KeyWriteTime(SettingsRoot, SettingsPath,
                                                       wentBack.keyWritten));
    const CounterState third = {true, 3, true, {3, 0}}, fourth = {true, 4, true, {4, 0}};
    CounterRecord record = {};
    NoteStoredCounter(record, wentBack, third, 3);
    NoteStoredCounter(record, third, fourth, 4);
    ASSERT_TRUE(SaveCounterRecord(record));

    int code = RunConfigDialogDriven(
        [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); });
    EXPECT_EQ(1, code);
    EXPECT_EQ(4u, ReadDwordSetting(L"Counter"));
    LoadCounterRecord(record);
    EXPECT_EQ(4, record.storedLast);
    EXPECT_EQ(4u, record.count);
}

// A capture hangs holding the lock: after the wait's patience OK still
// stores the user's nine settings, but no counter, which it cannot read
// safely.
TEST_F(ConfigDialogTest, OkWhileACaptureHangsWithTheLockStoresAllButTheCounter)
{
    WriteDwordSetting(L"Width", 120);
    DWORD took = 0;
    int code;
    ShortLockPatience patience;
    {
        LockHolder hung;
        code = RunConfigDialogDriven([&](HWND dialog) {
            DWORD start = GetTickCount();
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            WaitUntil([dialog] { return !IsWindowVisible(dialog); },
                      patience.Patience() + 10000);
            took = GetTickCount() - start;
        });
    }

    EXPECT_EQ(1, code);
    EXPECT_GE(took, patience.Patience() - 100);
    std::vector<std::string> names = SettingsValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"AutoClose", "Delay", "FileType", "Folder", "Height",
                                        "PlaySound", "Progress", "Quality", "Width"}),
              names);
    EXPECT_EQ(120u, ReadDwordSetting(L"Width"));
}

TEST_F(ConfigDialogTest, OkStoresANumberStillOpenInTheEditor)
{
    std::string editorText;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowWidth);
        HWND editor = EditorOf(tree);
        Type(editor, "480");  // over the selected "240"
        WaitUntil([&] { return WindowText(editor) == "480"; });
        editorText = WindowText(editor);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, code);
    EXPECT_EQ("480", editorText);
    EXPECT_EQ(480u, ReadDwordSetting(L"Width"));
    EXPECT_EQ(static_cast<DWORD>(ScreenHeight()), ReadDwordSetting(L"Height"));
}

TEST_F(ConfigDialogTest, ChecksAreStoredAsExactlyZeroOrOne)
{
    // Any non-zero stored value shows as a tick, even one whose low byte is 0.
    WriteDwordSetting(L"FileType", 2);
    WriteDwordSetting(L"PlaySound", 5);
    WriteDwordSetting(L"Progress", 0x100);
    int code = RunConfigDialogDriven([](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowAutoClose);  // the last row
        PostKey(tree, VK_SPACE);         // ticks it
        WaitUntil([] { return ItemFlag(*FindConfigItem(RowAutoClose)); });
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, code);
    EXPECT_EQ(1u, ReadDwordSetting(L"FileType"));
    EXPECT_EQ(1u, ReadDwordSetting(L"PlaySound"));
    EXPECT_EQ(1u, ReadDwordSetting(L"Progress"));
    EXPECT_EQ(1u, ReadDwordSetting(L"AutoClose"));
}

TEST_F(ConfigDialogTest, UntickingJpgStoresBmp)
{
    WriteDwordSetting(L"FileType", 1);
    RunConfigDialogDriven([](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowFileType);
        PostKey(tree, VK_SPACE);
        WaitUntil([] { return !ItemFlag(*FindConfigItem(RowFileType)); });
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(0u, ReadDwordSetting(L"FileType"));
}

TEST_F(ConfigDialogTest, OkStoresAnEditedFolder)
{
    RunConfigDialogDriven([](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowFolder);
        HWND editor = EditorOf(tree);
        Type(editor, "\\My Documents\\Снимки");
        WaitUntil([&] { return WindowText(editor) == "\\My Documents\\Снимки"; });
        PressNavKey(tree, VK_DOWN);  // leaving the row stores it in the row
        WaitUntil([] { return FindConfigItem(RowFolder)->changed != 0; });
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(Utf16("\\My Documents\\Снимки"), FolderSetting());
    EXPECT_EQ(Utf16("\\My Documents\\Снимки"), U16(AppSettings.Folder));
    DWORD type = 0;
    std::vector<unsigned char> folder;
    ASSERT_TRUE(ReadRawSetting(L"Folder", type, folder));
    EXPECT_EQ(520u, folder.size());
}

TEST_F(ConfigDialogTest, AFolderLongerThanTheSettingHoldsIsRefusedWhole)
{
    const WCHAR stored[] = L"\\Storage Card";
    WriteRawSetting(L"Folder", REG_SZ, stored, sizeof stored);
    std::u16string tooLong = u"\\" + std::u16string(259, u'a');  // 260 characters
    RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowFolder);
        SendMessageW(EditorOf(tree), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(tooLong)));
        SelectRow(tree, RowQuality);
        Type(EditorOf(tree), "50");
        WaitUntil([&] { return WindowText(EditorOf(tree)) == "50"; });
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    // Neither cut nor written past: the stored folder stays, the rest is saved.
    EXPECT_EQ(u"\\Storage Card", FolderSetting());
    EXPECT_EQ(u"\\Storage Card", U16(AppSettings.Folder));
    EXPECT_EQ(50u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(10u, SettingsValueNames().size());
}

TEST_F(ConfigDialogTest, AFolderOfExactly259CharactersIsTaken)
{
    std::u16string longest = u"\\" + std::u16string(258, u'b');
    RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowFolder);
        SendMessageW(EditorOf(tree), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(longest)));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(longest, FolderSetting());
}

TEST_F(ConfigDialogTest, CancelAfterEditsStoresNothing)
{
    int code = RunConfigDialogDriven([](HWND dialog) {
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowDelay);
        Type(EditorOf(tree), "9");
        SelectRow(tree, RowPlaySound);
        PostKey(tree, VK_SPACE);
        WaitUntil([] { return ItemFlag(*FindConfigItem(RowPlaySound)); });
        ClickMenuBarKey(dialog, 0);  // "Отмена", tapped for real
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ(2, code);
    EXPECT_TRUE(SettingsValueNames().empty());
    EXPECT_EQ(0, AppSettings.PlaySound);
}

TEST_F(ConfigDialogTest, ClosingGivesSixteenStoresNothingAndTakesTheMenuBarFirst)
{
    bool barGoneBeforeTheDialog = false;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        HWND bar = MenuBarOf(dialog);
        HWND tree = TreeOf(dialog);
        SelectRow(tree, RowQuality);
        Type(EditorOf(tree), "10");
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        barGoneBeforeTheDialog = bar && !IsWindow(bar) && IsWindow(dialog);
    });
    EXPECT_EQ(16, code);
    EXPECT_TRUE(barGoneBeforeTheDialog);
    EXPECT_TRUE(SettingsValueNames().empty());
}

// ---- Hot keys ----

TEST_F(ConfigDialogTest, NavKeysAreHeldOnlyWhileTheDialogIsActiveAndNoMenuIsOpen)
{
    bool whileActive = false, whileInactive = true, activeAgain = false, whileMenu = true,
         afterMenu = false, menuOpened = false, stillForeground = false;
    RunConfigDialogDriven([&](HWND dialog) {
        whileActive = HotKeyHeld(VK_UP) && HotKeyHeld(VK_DOWN);
        SendMessageW(dialog, WM_ACTIVATE, WA_INACTIVE, 0);
        whileInactive = HotKeyHeld(VK_UP) || HotKeyHeld(VK_DOWN);
        SendMessageW(dialog, WM_ACTIVATE, WA_CLICKACTIVE, 0);
        activeAgain = HotKeyHeld(VK_UP) && HotKeyHeld(VK_DOWN);

        ClickMenuBarKey(dialog, 1);  // "Меню", tapped for real
        HWND menu = WaitForWindow(FindOpenMenu);
        menuOpened = menu != nullptr;
        // Let go as the menu loop begins, before the menu is shown.
        whileMenu = HotKeyHeld(VK_UP) || HotKeyHeld(VK_DOWN);
        if (menu)
            PostKey(menu, VK_ESCAPE);
        WaitUntil([] { return !FindOpenMenu(); });
        afterMenu = WaitUntil([] { return HotKeyHeld(VK_UP) && HotKeyHeld(VK_DOWN); });
        // The soft keys never take the activation from the dialog.
        stillForeground = GetForegroundWindow() == dialog;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(whileActive);
    EXPECT_FALSE(whileInactive);
    EXPECT_TRUE(activeAgain);
    EXPECT_TRUE(menuOpened);
    EXPECT_FALSE(whileMenu);
    EXPECT_TRUE(afterMenu);
    EXPECT_TRUE(stillForeground);
    // The dialog gave them back when it ended.
    EXPECT_FALSE(HotKeyHeld(VK_UP));
    EXPECT_FALSE(HotKeyHeld(VK_DOWN));
}

TEST_F(ConfigDialogTest, RealDownKeyMovesThroughTheRows)
{
    std::string editorText;
    RunConfigDialogDriven([&](HWND dialog) {
        SetForegroundWindow(dialog);
        system("xdotool key Down Down Down");
        HWND tree = TreeOf(dialog);
        WaitUntil([&] { return EditorOf(tree) && WindowText(EditorOf(tree)) == "240" &&
                               IsWindowVisible(EditorOf(tree)); });
        editorText = WindowText(EditorOf(tree));
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(std::to_string(ScreenWidth()), editorText);  // the third row: the width
}

// ---- Relayout ----

TEST_F(ConfigDialogTest, PagesFollowWhenTheDialogChangesSize)
{
    RECT client = {}, tab = {}, display = {}, tree = {}, about = {}, icon = {};
    RunConfigDialogDriven([&](HWND dialog) {
        SetWindowPos(dialog, nullptr, 0, 0, 320, 200, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        GetClientRect(dialog, &client);
        HWND tabWindow = TabOf(dialog);
        tab = ChildRect(tabWindow);
        GetClientRect(tabWindow, &display);
        SendMessageW(tabWindow, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
        tree = ChildRect(TreeOf(dialog));
        about = ChildRect(AboutTextOf(dialog));
        icon = ChildRect(GetDlgItem(dialog, IDC_CONFIG_ICON));
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(client.right, tab.right);
    EXPECT_EQ(client.bottom, tab.bottom);
    EXPECT_EQ(display.right, tree.right);
    EXPECT_EQ(display.bottom, tree.bottom);
    EXPECT_EQ(display.right - 5, about.right);
    EXPECT_EQ(display.bottom - 5, about.bottom);
    EXPECT_EQ((display.right - display.left - (icon.right - icon.left)) / 2, icon.left);
}

TEST_F(ConfigDialogTest, AChangeOfScreenSizeLaysTheDialogOutAgain)
{
    RECT window = {}, client = {}, tab = {}, bar = {};
    RunConfigDialogDriven([&](HWND dialog) {
        SetWindowPos(dialog, nullptr, 30, 30, 150, 150, SWP_NOZORDER | SWP_NOACTIVATE);
        // What the system sends every top-level window when the screen changes.
        SendMessageW(dialog, WM_DISPLAYCHANGE, 24, MAKELPARAM(ScreenWidth(), ScreenHeight()));
        SendMessageW(MenuBarOf(dialog), WM_DISPLAYCHANGE, 24,
                     MAKELPARAM(ScreenWidth(), ScreenHeight()));
        GetWindowRect(dialog, &window);
        GetClientRect(dialog, &client);
        tab = ChildRect(TabOf(dialog));
        GetWindowRect(MenuBarOf(dialog), &bar);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(ScreenWidth(), window.right);
    EXPECT_EQ(bar.top, window.bottom);
    EXPECT_EQ(ScreenHeight(), bar.bottom);
    EXPECT_EQ(client.right, tab.right);
    EXPECT_EQ(client.bottom, tab.bottom);
}

// ---- Shortcuts ----

namespace {

// Picks "Создать ярлыки" from the soft-key menu.
bool ChooseCreateShortcuts(HWND dialog)
{
    TapMenuBarKey(dialog, 1);
    HWND menu = WaitForWindow(FindOpenMenu);
    if (!menu)
        return false;
    PostKey(menu, VK_DOWN);
    PostKey(menu, VK_RETURN);
    return WaitUntil([] { return !FindOpenMenu(); });
}

}  // namespace

TEST_F(ConfigDialogTest, CreateShortcutsTellsOnceAndThenDoesNothingVisible)
{
    RemoveShortcuts();
    std::string boxText, boxCaption;
    RECT boxRect = {}, buttonRect = {}, textRect = {};
    bool secondBox = true, stillOpen = false, linksMade = false;
    RunConfigDialogDriven([&](HWND dialog) {
        ASSERT_TRUE(ChooseCreateShortcuts(dialog));
        HWND box = WaitForWindow([dialog] { return FindMessageBox(dialog); });
        ASSERT_NE(nullptr, box);
        boxCaption = WindowText(box);
        // Fitted to the screen: inside it, text above the button, nothing cut.
        WaitUntil([box] {
            RECT r;
            GetWindowRect(box, &r);
            return r.right - r.left <= GetSystemMetrics(SM_CXSCREEN);
        });
        GetWindowRect(box, &boxRect);
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (ClassOf(child) == "Button")
                GetWindowRect(child, &buttonRect);
            else if (WindowText(child).size() > 10)
                GetWindowRect(child, &textRect);
        }
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (ClassOf(child) == "Static" && !WindowText(child).empty())
                boxText = WindowText(child);
        linksMade = FileExists(W(ProgramsPath("\\Tavro.lnk"))) &&
                    FileExists(W(ProgramsPath("\\Tavro Config.lnk")));
        SendMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntil([box] { return !IsWindow(box); });

        ASSERT_TRUE(ChooseCreateShortcuts(dialog));
        // The pick is handled on the dialog's thread, at once, before that
        // thread answers what is sent to it later: a box would be up then.
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer);
        secondBox = FindMessageBox(dialog) != nullptr;
        stillOpen = IsWindowVisible(dialog);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    RemoveShortcuts();
    EXPECT_TRUE(linksMade);
    EXPECT_EQ("Tavro", boxCaption);
    EXPECT_EQ("Ярлыки созданы.\r\nПовесьте Tavro.lnk на аппаратную кнопку.", boxText);
    EXPECT_FALSE(secondBox);
    EXPECT_TRUE(stillOpen);
    EXPECT_GE(boxRect.left, 0);
    EXPECT_GE(boxRect.top, 0);
    EXPECT_LE(boxRect.right, ScreenWidth());
    EXPECT_LE(boxRect.bottom, ScreenHeight());
    EXPECT_LE(textRect.right, boxRect.right);
    EXPECT_GE(buttonRect.top, textRect.bottom);
    EXPECT_LE(buttonRect.bottom, boxRect.bottom);
    EXPECT_NEAR((boxRect.left + boxRect.right) / 2, (buttonRect.left + buttonRect.right) / 2, 2);
}

// ---- The first-start rule ----

TEST_F(ConfigDialogTest, WithoutTheMainShortcutEveryCommandLineConfigures)
{
    RemoveShortcuts();
    for (const char* line : {"", "5", "-config", "-CONFIG", "letters"}) {
        ResetSettingsInMemory();
        std::u16string commandLine = Utf16(line);
        bool dialogShown = false;
        int code = RunDriven(
            [&] {
                return TavroWinMain(GetModuleHandleW(nullptr), nullptr,
                                    const_cast<WCHAR*>(W(commandLine)), SW_SHOWNORMAL);
            },
            FindConfigDialog,
            [](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); }, &dialogShown);
        EXPECT_TRUE(dialogShown) << line;
        EXPECT_EQ(16, code) << line;
    }
    // The start-up check only looks.
    EXPECT_FALSE(FileExists(W(ProgramsPath("\\Tavro.lnk"))));
    EXPECT_TRUE(SettingsValueNames().empty());
}

TEST_F(ConfigDialogTest, WithTheMainShortcutOnlyDashConfigConfigures)
{
    RemoveShortcuts();
    CreateShortcuts(false);
    ASSERT_TRUE(FileExists(W(ProgramsPath("\\Tavro.lnk"))));
    bool dialogShown = false;
    std::u16string commandLine = u"-config";
    int code = RunDriven(
        [&] {
            return TavroWinMain(GetModuleHandleW(nullptr), nullptr,
                                const_cast<WCHAR*>(W(commandLine)), SW_SHOWNORMAL);
        },
        FindConfigDialog, [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); },
        &dialogShown);
    RemoveShortcuts();
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(1, code);
}
