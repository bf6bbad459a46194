// The Windows program beside the winelib one: both built from the same
// sources, so the same screen must give the same files, byte for byte; and
// the Windows program as a user meets it, through its own shortcuts and
// its settings dialog under real keys and taps. The tests that run either program
// alone run against this one too (TAVRO_TARGET=windows, see
// tests/CMakeLists.txt).
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/ConfigItems.h"
#include "config/DialogDriver.h"
#include "output/PictureFiles.h"
#include "res/resource.h"
#include "support/ProgramRuns.h"
#include "support/ScreenPattern.h"
#include "support/ShellLinkReader.h"
#include "support/TestSupport.h"

namespace {

const DWORD RunTimeoutMs = 60000;

// Fine detail in all three colours, so that a reduction and the JPEG
// coder both have work at every pixel.
DWORD Detail(int x, int y)
{
    DWORD red = (x * 37 + y * 11) & 0xFF;
    DWORD green = ((x ^ y) * 5) & 0xFF;
    DWORD blue = (x * y + (x >> 3) * 29) & 0xFF;
    return red << 16 | green << 8 | blue;
}

// One capture by program with the settings given; the file it wrote.
std::vector<unsigned char> CaptureBy(const std::u16string& program, DWORD fileType,
                                     DWORD quality, DWORD width, DWORD height)
{
    ScratchFolder pictures;
    ClearSettingsKey();
    WriteFolderSetting(pictures.Path());
    WriteDwordSetting(L"FileType", fileType);
    WriteDwordSetting(L"Quality", quality);
    if (width)
        WriteDwordSetting(L"Width", width);
    if (height)
        WriteDwordSetting(L"Height", height);
    std::vector<ProgramRun> runs = StartTogether(program, "", 1);
    WaitForAll(runs, RunTimeoutMs);
    EXPECT_EQ(0u, runs[0].exitCode) << Utf8(W(program));
    std::u16string name = pictures.Join(fileType ? "screen00.jpg" : "screen00.bmp");
    return ReadWholeFile(W(name));
}

bool SamePath(const std::u16string& a, const std::u16string& b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, W(a), -1, W(b), -1) == CSTR_EQUAL;
}

std::u16string ImageOf(DWORD processId)
{
    WCHAR image[MAX_PATH] = {};
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return u"";
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, image, &size))
        image[0] = 0;
    CloseHandle(process);
    return U16(image);
}

// The processes now running whose image is program.
std::vector<DWORD> ProcessesOf(const std::u16string& program)
{
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID != GetCurrentProcessId() &&
            SamePath(ImageOf(entry.th32ProcessID), program))
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

struct DialogSearch {
    const std::vector<DWORD>* processes;
    HWND dialog;
};

BOOL CALLBACK ConsiderDialog(HWND window, LPARAM data)
{
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    WCHAR windowClass[16] = {};
    GetClassNameW(window, windowClass, 16);
    for (DWORD process : *search.processes)
        if (owner == process && IsWindowVisible(window) &&
            lstrcmpW(windowClass, L"#32770") == 0 && !GetWindow(window, GW_OWNER)) {
            search.dialog = window;
            return FALSE;
        }
    return TRUE;
}

// The visible dialog window of one of the processes, or null.
HWND DialogOf(const std::vector<DWORD>& processes)
{
    DialogSearch search = {&processes, nullptr};
    EnumWindows(ConsiderDialog, reinterpret_cast<LPARAM>(&search));
    return search.dialog;
}

HWND WaitForDialogOf(const std::vector<DWORD>& processes)
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = DialogOf(processes)) != nullptr; }, 30000);
    return dialog;
}

// Opens a link as the shell does.
bool OpenLink(const std::u16string& link)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = W(link);
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

struct SoftKeySearch {
    DWORD process;
    HWND dialog;
    HWND bar;
};

BOOL CALLBACK ConsiderSoftKeyBar(HWND window, LPARAM data)
{
    SoftKeySearch& search = *reinterpret_cast<SoftKeySearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.process || window == search.dialog || !IsWindowVisible(window))
        return TRUE;
    search.bar = window;
    return FALSE;
}

// The screen point of the left soft key of the dialog of another process:
// the middle of the left half of that process's other visible window, the
// soft-key bar. (The driver's own search, made for dialogs of the test's
// own, does not find it.)
POINT LeftSoftKeyOf(DWORD process, HWND dialog)
{
    SoftKeySearch search = {process, dialog, nullptr};
    EnumWindows(ConsiderSoftKeyBar, reinterpret_cast<LPARAM>(&search));
    RECT bar = {};
    GetWindowRect(search.bar, &bar);
    POINT key = {bar.left + (bar.right - bar.left) / 4, (bar.top + bar.bottom) / 2};
    return key;
}

int RowIndex(int id)
{
    return static_cast<int>(FindConfigItem(id) - ConfigItems);
}

// What the dialog of another process shows of its current row, once the
// focus has gone where that row puts it: "tree" for a row without an
// editor, or the text of the row's open editor; "" meanwhile.
std::string CurrentRowShownBy(HWND dialog)
{
    HWND tree = TreeOf(dialog);
    HWND editor = tree ? EditorOf(tree) : nullptr;
    HWND focus = FocusOfThread(dialog);
    if (focus && focus == tree)
        return "tree";
    if (!focus || focus != editor || !IsWindowVisible(editor))
        return "";
    WCHAR text[64] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(editor, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        5000, &length);
    return "editor " + Utf8(text);
}

// Presses key `times` times, one at a time: a key that opens or closes a
// row's editor moves the focus, which the next key must already find. Each
// key must reach a row that shows otherwise than the one before (the rows
// from the folder to the JPEG switch all do); false when one did not.
bool PressKeyTimes(HWND dialog, const char* key, int times)
{
    for (int i = 0; i < times; ++i) {
        const std::string before = CurrentRowShownBy(dialog);
        PressKeys(key);
        if (!WaitUntil([&] {
                std::string now = CurrentRowShownBy(dialog);
                return !now.empty() && now != before;
            }))
            return false;
    }
    return true;
}

}  // namespace

TEST(BothPrograms, TheSameScreenGivesTheSameFiles)
{
    MainShortcutPresent shortcut;
    ScreenPattern screen(Detail);
    struct Case {
        const char* what;
        DWORD fileType, quality, width, height;
    };
    const Case cases[] = {
        {"BMP", 0, 100, 0, 0},          {"reduced BMP", 0, 100, 101, 133},
        {"JPEG 50", 1, 50, 0, 0},       {"JPEG 90", 1, 90, 0, 0},
        {"JPEG 100", 1, 100, 0, 0},     {"reduced JPEG 90", 1, 90, 150, 97},
    };
    ScratchFolder reference;
    std::vector<BYTE> pixels;
    for (int y = 0; y < screen.Height(); ++y)
        for (int x = 0; x < screen.Width(); ++x) {
            DWORD colour = Detail(x, y);
            pixels.push_back(static_cast<BYTE>(colour >> 16));
            pixels.push_back(static_cast<BYTE>(colour >> 8));
            pixels.push_back(static_cast<BYTE>(colour));
        }
    for (const Case& c : cases) {
        std::vector<unsigned char> linux =
            CaptureBy(LinuxTavroProgram(), c.fileType, c.quality, c.width, c.height);
        std::vector<unsigned char> windows =
            CaptureBy(WindowsTavroProgram(), c.fileType, c.quality, c.width, c.height);
        EXPECT_FALSE(linux.empty()) << c.what;
        EXPECT_TRUE(linux == windows) << c.what << ": the winelib program wrote " << linux.size()
                                      << " bytes, the Windows one " << windows.size()
                                      << " other ones";
        // And what libjpeg's own cjpeg makes of the screen's pixels.
        if (c.fileType && !c.width)
            EXPECT_TRUE(windows == CjpegBytes(reference, screen.Width(), screen.Height(),
                                              pixels, static_cast<int>(c.quality)))
                << c.what << ": not cjpeg's file";
    }
    ClearSettingsKey();
}

std::vector<unsigned char> ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name)
{
    HRSRC found =
        FindResourceExW(module, type, name, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    if (!bytes)
        return {};
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(module, found));
}

// windres writes a control of the predefined class "STATIC" with the
// class's name, where wrc (and Microsoft's rc) write its atom; Windows
// treats both alike. The atom in place of the name.
std::vector<unsigned char> WithStaticAtom(std::vector<unsigned char> bytes)
{
    const unsigned char name[] = {'S', 0, 'T', 0, 'A', 0, 'T', 0, 'I', 0, 'C', 0, 0, 0};
    const unsigned char atom[] = {0xFF, 0xFF, 0x82, 0x00};
    auto at = std::search(bytes.begin(), bytes.end(), name, name + sizeof name);
    if (at != bytes.end()) {
        at = bytes.erase(at, at + sizeof name);
        bytes.insert(at, atom, atom + sizeof atom);
    }
    return bytes;
}

// The Windows program's resources come from the same UTF-8 script through
// another compiler, windres: the same bytes as this program's, which wrc
// made (the Russian texts above all).
TEST(BothPrograms, TheSameResources)
{
    HMODULE windows =
        LoadLibraryExW(W(WindowsTavroProgram()), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, windows);
    HMODULE self = GetModuleHandleW(nullptr);
    struct Resource {
        LPCWSTR type;
        LPCWSTR name;
    };
    const Resource resources[] = {
        {RT_DIALOG, MAKEINTRESOURCEW(106)},     {RT_MENU, MAKEINTRESOURCEW(111)},
        {RT_RCDATA, MAKEINTRESOURCEW(111)},     {RT_STRING, MAKEINTRESOURCEW(200 / 16 + 1)},
        {RT_BITMAP, MAKEINTRESOURCEW(300)},     {L"WAVE", MAKEINTRESOURCEW(150)},
        {L"CEUX", L"HI_RES_AWARE"},
    };
    for (const Resource& resource : resources) {
        std::vector<unsigned char> mine = ResourceBytes(self, resource.type, resource.name);
        EXPECT_FALSE(mine.empty());
        EXPECT_TRUE(mine == WithStaticAtom(ResourceBytes(windows, resource.type, resource.name)))
            << "resource " << (IS_INTRESOURCE(resource.name) ? LOWORD(resource.name) : 0)
            << " of type " << (IS_INTRESOURCE(resource.type) ? LOWORD(resource.type) : 0);
    }
    FreeLibrary(windows);
}

// The completion notice over the darkened screen, as each program shows
// it for the same picture name: the same pixels.
TEST(BothPrograms, TheNoticeLooksTheSame)
{
    MainShortcutPresent shortcut;
    ScreenPattern screen(Detail);
    ScratchFolder pictures;
    const RECT whole = {0, 0, screen.Width(), screen.Height()};
    std::vector<DWORD> shown[2];
    const std::u16string programs[2] = {LinuxTavroProgram(), WindowsTavroProgram()};
    for (int i = 0; i < 2; ++i) {
        ClearSettingsKey();
        WriteFolderSetting(pictures.Path());
        WriteDwordSetting(L"Progress", 1);
        DeleteFileW(W(pictures.Join("screen00.bmp")));
        // The pattern repaints what the last notice covered.
        EXPECT_TRUE(PumpMessagesUntil([&] { return screen.Shown(); }, 3000));
        std::vector<ProgramRun> runs = StartTogether(programs[i], "", 1);
        HWND notice = WaitForDialogOf({GetProcessId(runs[0].process)});
        EXPECT_NE(nullptr, notice) << Utf8(W(programs[i]));
        EXPECT_TRUE(WaitUntilNoticePainted());
        shown[i] = ScreenPixels(whole);
        // Most of the notice's 200 x 90 pixels cover the pattern.
        int covered = 0;
        for (size_t k = 0; k < shown[i].size(); ++k)
            covered += (shown[i][k] & 0xFFFFFF) !=
                       screen.Colour(static_cast<int>(k % screen.Width()),
                                     static_cast<int>(k / screen.Width()));
        EXPECT_GT(covered, 10000) << Utf8(W(programs[i]));
        if (notice)
            PostMessageW(notice, WM_COMMAND, IDOK, 0);
        WaitForAll(runs, RunTimeoutMs);
        EXPECT_EQ(0u, runs[0].exitCode);
    }
    EXPECT_FALSE(shown[0].empty());
    EXPECT_TRUE(shown[0] == shown[1]) << "the notices differ on the screen";
    ClearSettingsKey();
}

TEST(WindowsProgram, ItsShortcutsStartItInBothModes)
{
    const std::u16string program = WindowsTavroProgram();
    ScratchFolder pictures;
    RemoveShortcuts();
    ClearSettingsKey();
    WriteFolderSetting(pictures.Path());

    // Without the main shortcut it configures; its menu command makes the
    // shortcuts, and tells so in a box, which Return closes.
    std::vector<ProgramRun> runs = StartTogether(program, "", 1);
    HWND dialog = WaitForDialogOf({GetProcessId(runs[0].process)});
    ASSERT_NE(nullptr, dialog);
    PostMessageW(dialog, WM_COMMAND, IDC_CREATE_SHORTCUTS, 0);
    EXPECT_TRUE(WaitUntil([] { return FileExists(W(ProgramsPath("\\Tavro.lnk"))); }, 20000));
    EXPECT_TRUE(WaitUntil([dialog] { return GetForegroundWindow() != dialog; }));
    HWND box = GetForegroundWindow();
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([dialog] { return GetForegroundWindow() == dialog; }));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitForAll(runs, RunTimeoutMs);
    EXPECT_EQ(2u, runs[0].exitCode);

    const std::u16string mainLink = ProgramsPath("\\Tavro.lnk");
    const std::u16string configLink = ProgramsPath("\\Tavro Config.lnk");
    EXPECT_TRUE(SamePath(Utf16(ReadShellLink(W(mainLink)).path.c_str()), program));
    EXPECT_TRUE(SamePath(Utf16(ReadShellLink(W(configLink)).path.c_str()), program));

    // The main shortcut: a capture, by the Windows program (its notice
    // keeps it running until it is seen).
    WriteDwordSetting(L"Progress", 1);
    ASSERT_TRUE(OpenLink(mainLink));
    std::vector<DWORD> capturing;
    EXPECT_TRUE(WaitUntil([&] { return !(capturing = ProcessesOf(program)).empty(); }, 20000));
    HWND notice = WaitForDialogOf(capturing);
    EXPECT_NE(nullptr, notice);
    if (notice)
        PostMessageW(notice, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessesOf(program).empty(); }, 30000));
    EXPECT_EQ(std::vector<std::string>{"screen00.bmp"}, FolderEntries(pictures.Path()));

    // The configuration shortcut: the Windows program's dialog.
    ASSERT_TRUE(OpenLink(configLink));
    std::vector<DWORD> processes;
    EXPECT_TRUE(WaitUntil([&] { return !(processes = ProcessesOf(program)).empty(); }, 20000));
    dialog = WaitForDialogOf(processes);
    EXPECT_NE(nullptr, dialog);
    if (dialog)
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return ProcessesOf(program).empty(); }, 30000));

    RemoveShortcuts();
    ClearSettingsKey();
}

TEST(WindowsProgram, ItsDialogDrivenByRealKeysAndTapsSavesWhatItShould)
{
    MainShortcutPresent shortcut;
    ClearSettingsKey();
    std::vector<ProgramRun> runs = StartTogether(WindowsTavroProgram(), "-config", 1);
    HWND dialog = WaitForDialogOf({GetProcessId(runs[0].process)});
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(TakesRealKeys(dialog));

    // Down from no current row selects the first; Return ticks the JPEG
    // row; back up to the width (which shows that the Return was taken),
    // typed over, and Return is OK.
    EXPECT_TRUE(PressKeyTimes(dialog, "Down", RowIndex(RowFileType) + 1));
    PressKeys("Return");
    EXPECT_TRUE(PressKeyTimes(dialog, "Up", RowIndex(RowFileType) - RowIndex(RowWidth)));
    TypeKeys("200");
    EXPECT_TRUE(WaitUntil([dialog] { return CurrentRowShownBy(dialog) == "editor 200"; }));
    PressKeys("Return");
    WaitForAll(runs, RunTimeoutMs);

    EXPECT_EQ(1u, runs[0].exitCode);
    EXPECT_EQ(200u, ReadDwordSetting(L"Width"));
    EXPECT_EQ(1u, ReadDwordSetting(L"FileType"));
    EXPECT_EQ(100u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(10u, SettingsValueNames().size());

    // Edits, then a tap on the left soft key: Cancel, nothing stored.
    ClearSettingsKey();
    runs = StartTogether(WindowsTavroProgram(), "-config", 1);
    dialog = WaitForDialogOf({GetProcessId(runs[0].process)});
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(TakesRealKeys(dialog));
    EXPECT_TRUE(PressKeyTimes(dialog, "Down", RowIndex(RowFileType) + 1));
    PressKeys("Return");
    EXPECT_TRUE(PressKeyTimes(dialog, "Up", 1));  // the Return was taken before it
    ClickScreen(LeftSoftKeyOf(GetProcessId(runs[0].process), dialog));
    WaitForAll(runs, RunTimeoutMs);
    EXPECT_EQ(2u, runs[0].exitCode);
    EXPECT_TRUE(SettingsValueNames().empty());
    ClearSettingsKey();
}
