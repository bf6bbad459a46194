#include <shlobj.h>

#include "config/Shortcuts.h"
#include "platform/WideCrt.h"
#include "support/ShellLinkReader.h"
#include "support/TestSupport.h"

namespace {

// A Programs folder and a program for one test, inside a scratch folder.
class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        programs_ = scratch_.Join("Start Menu\\Programs");
        CreateDirectoryW(W(scratch_.Join("Start Menu")), nullptr);
        CreateDirectoryW(W(programs_), nullptr);
        mainLink_ = programs_ + u"\\Tavro.lnk";
        configLink_ = programs_ + u"\\Tavro Config.lnk";
    }

    bool Create(const std::u16string& program, bool checkOnly)
    {
        return CreateShortcutsIn(W(programs_), W(program), checkOnly);
    }

    // The stand-in program, built in a folder whose name has spaces.
    static std::u16string Recorder()
    {
        WCHAR self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::u16string folder = U16(self);
        folder.erase(folder.rfind(u'\\'));
        return folder + u"\\Program Files With Spaces\\record_command_line.exe";
    }

    // Opens a link as the shell does and gives the started program's
    // command line and working folder.
    std::string OpenLink(const std::u16string& link)
    {
        std::u16string record = scratch_.Join("command-line.txt");
        DeleteFileW(W(record));
        SetEnvironmentVariableW(L"TAVRO_RECORD_FILE", W(record));
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = W(link);
        info.nShow = SW_SHOWNORMAL;
        EXPECT_TRUE(ShellExecuteExW(&info)) << GetLastError();
        if (info.hProcess) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 20000));
            DWORD code = 1;
            GetExitCodeProcess(info.hProcess, &code);
            EXPECT_EQ(0u, code);
            CloseHandle(info.hProcess);
        }
        // The shell may start the program without handing back its process.
        std::vector<unsigned char> bytes;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(50)) {
            bytes = ReadWholeFile(W(record));
            if (!bytes.empty())
                break;
        }
        std::u16string line(bytes.size() / 2, u'\0');
        memcpy(&line[0], bytes.data(), line.size() * 2);
        return Utf8(W(line));
    }

    ScratchFolder scratch_;
    std::u16string programs_;
    std::u16string mainLink_;
    std::u16string configLink_;
};

const char16_t Program[] = u"C:\\Program Files\\Tavro\\tavro.exe";

FILETIME WriteTime(const std::u16string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(W(path), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

}  // namespace

TEST_F(ShortcutsTest, NoShortcuts)
{
    EXPECT_TRUE(Create(Program, true));
    EXPECT_FALSE(FileExists(W(mainLink_)));
    EXPECT_FALSE(FileExists(W(configLink_)));

    EXPECT_TRUE(Create(Program, false));
    LinkContents main = ReadShellLink(W(mainLink_));
    LinkContents config = ReadShellLink(W(configLink_));
    ASSERT_TRUE(main.loaded);
    ASSERT_TRUE(config.loaded);
    EXPECT_EQ("C:\\Program Files\\Tavro\\tavro.exe", main.path);
    EXPECT_EQ("", main.arguments);
    EXPECT_EQ("C:\\Program Files\\Tavro\\tavro.exe", config.path);
    EXPECT_EQ("-config", config.arguments);

    // Now both are there: both forms report the main shortcut found.
    EXPECT_FALSE(Create(Program, true));
    EXPECT_FALSE(Create(Program, false));
}

TEST_F(ShortcutsTest, BothPresentChangesNothing)
{
    ASSERT_TRUE(Create(Program, false));
    std::vector<unsigned char> mainBefore = ReadWholeFile(W(mainLink_));
    FILETIME configBefore = WriteTime(configLink_);
    Sleep(50);
    EXPECT_FALSE(Create(u"C:\\elsewhere\\other.exe", false));
    EXPECT_EQ(mainBefore, ReadWholeFile(W(mainLink_)));
    FILETIME configAfter = WriteTime(configLink_);
    EXPECT_EQ(0, CompareFileTime(&configBefore, &configAfter));
    EXPECT_EQ("C:\\Program Files\\Tavro\\tavro.exe", ReadShellLink(W(mainLink_)).path);
}

TEST_F(ShortcutsTest, OnlyConfigPresentCreatesBoth)
{
    ASSERT_TRUE(Create(u"C:\\old\\tavro.exe", false));
    ASSERT_TRUE(DeleteFileW(W(mainLink_)));
    EXPECT_TRUE(Create(Program, true));
    EXPECT_FALSE(FileExists(W(mainLink_)));
    EXPECT_TRUE(Create(Program, false));
    EXPECT_EQ("C:\\Program Files\\Tavro\\tavro.exe", ReadShellLink(W(mainLink_)).path);
    EXPECT_EQ("C:\\Program Files\\Tavro\\tavro.exe", ReadShellLink(W(configLink_)).path);
}

TEST_F(ShortcutsTest, OnlyMainPresentCreatesNothing)
{
    ASSERT_TRUE(Create(Program, false));
    ASSERT_TRUE(DeleteFileW(W(configLink_)));
    EXPECT_FALSE(Create(Program, false));
    EXPECT_FALSE(FileExists(W(configLink_)));
}

TEST_F(ShortcutsTest, AnythingNamedTavroLnkCountsAsFound)
{
    ASSERT_TRUE(CreateDirectoryW(W(mainLink_), nullptr));
    EXPECT_FALSE(Create(Program, false));
    EXPECT_FALSE(FileExists(W(configLink_)));
    RemoveDirectoryW(W(mainLink_));
}

TEST_F(ShortcutsTest, LongProgramPathIsRefusedWhole)
{
    // 249 characters: the configuration target needs exactly 259.
    std::u16string fits = u"C:\\" + std::u16string(249 - 3 - 4, u'p') + u".exe";
    ASSERT_EQ(249u, fits.size());
    EXPECT_TRUE(Create(fits, false));
    EXPECT_EQ(Utf8(W(fits)), ReadShellLink(W(configLink_)).path);
    EXPECT_EQ("-config", ReadShellLink(W(configLink_)).arguments);
    DeleteFileW(W(mainLink_));
    DeleteFileW(W(configLink_));

    // One more and the configuration target would not fit: neither link
    // is made, so the main one never stands without its twin.
    std::u16string tooLong = u"C:\\" + std::u16string(250 - 3 - 4, u'p') + u".exe";
    EXPECT_TRUE(Create(tooLong, false));
    EXPECT_FALSE(FileExists(W(mainLink_)));
    EXPECT_FALSE(FileExists(W(configLink_)));

    std::u16string huge = u"C:\\" + std::u16string(400, u'p');
    EXPECT_TRUE(Create(huge, false));
    EXPECT_FALSE(FileExists(W(mainLink_)));
    EXPECT_TRUE(Create(u"", false));
    EXPECT_FALSE(FileExists(W(mainLink_)));
    EXPECT_TRUE(CreateShortcutsIn(W(programs_), nullptr, false));
    EXPECT_FALSE(FileExists(W(mainLink_)));
}

TEST_F(ShortcutsTest, UnsetOrUnusableFolderBuildsNothing)
{
    EXPECT_TRUE(CreateShortcutsIn(L"", W(std::u16string(Program)), false));
    EXPECT_TRUE(CreateShortcutsIn(nullptr, W(std::u16string(Program)), false));
    EXPECT_FALSE(FileExists(L"\\Tavro.lnk"));
    EXPECT_FALSE(FileExists(L"\\Tavro Config.lnk"));

    // A folder name so long that "\Tavro.lnk" fits after it but
    // "\Tavro Config.lnk" does not: neither is made.
    std::u16string deep = programs_ + u"\\" + std::u16string(244 - programs_.size(), u'f');
    ASSERT_EQ(245u, deep.size());
    ASSERT_TRUE(CreateDirectoryW(W(deep), nullptr));
    EXPECT_TRUE(CreateShortcutsIn(W(deep), W(std::u16string(Program)), false));
    EXPECT_FALSE(FileExists(W(deep + u"\\Tavro.lnk")));
    RemoveDirectoryW(W(deep));
}

TEST_F(ShortcutsTest, OpeningTheLinksStartsTheProgram)
{
    std::u16string program = Recorder();
    ASSERT_TRUE(FileExists(W(program)));
    ASSERT_TRUE(Create(program, false));
    std::string quoted = "\"" + Utf8(W(program)) + "\"";
    // Started in the root of the system drive, the handheld's "\\".
    EXPECT_EQ(quoted + "\nC:\\", OpenLink(mainLink_));
    EXPECT_EQ(quoted + " -config\nC:\\", OpenLink(configLink_));
}

TEST(Shortcuts, ThisProgramsShortcutsInTheStartMenu)
{
    WCHAR folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE));
    std::u16string mainLink = U16(folder) + u"\\Tavro.lnk";
    std::u16string configLink = U16(folder) + u"\\Tavro Config.lnk";
    DeleteFileW(W(mainLink));
    DeleteFileW(W(configLink));

    EXPECT_TRUE(CreateShortcuts(true));
    EXPECT_FALSE(FileExists(W(mainLink)));
    EXPECT_TRUE(CreateShortcuts(false));
    EXPECT_FALSE(CreateShortcuts(true));

    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    LinkContents config = ReadShellLink(W(configLink));
    EXPECT_EQ(Utf8(self), config.path);
    EXPECT_EQ("-config", config.arguments);
    EXPECT_EQ(Utf8(self), ReadShellLink(W(mainLink)).path);

    // The prefix is shared with other tests: leave it as it was found.
    DeleteFileW(W(mainLink));
    DeleteFileW(W(configLink));
}

// The check looks where the profile names the Programs folder before it
// asks the shell; its answer stays the shell's when the profile has no
// such entry, and when the entry names another folder than the one that
// holds a shortcut.
TEST(Shortcuts, TheCheckAgreesWithTheShellWhateverTheProfileSays)
{
    WCHAR folder[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE));
    std::u16string mainLink = U16(folder) + u"\\Tavro.lnk";
    HANDLE link = CreateFileW(W(mainLink), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, link);
    CloseHandle(link);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER,
                            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                            L"User Shell Folders",
                            0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key));
    WCHAR saved[MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof saved;
    bool hadEntry = RegQueryValueExW(key, L"Programs", nullptr, &type,
                                     reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;

    RegDeleteValueW(key, L"Programs");
    EXPECT_FALSE(CreateShortcuts(true)) << "the shell's own default folder holds it";

    ScratchFolder elsewhere;
    RegSetValueExW(key, L"Programs", 0, REG_SZ, reinterpret_cast<const BYTE*>(elsewhere.Path()),
                   (lstrlenW(elsewhere.Path()) + 1) * sizeof(WCHAR));
    EXPECT_TRUE(CreateShortcuts(true)) << "the folder the profile names holds none";

    if (hadEntry)
        RegSetValueExW(key, L"Programs", 0, type, reinterpret_cast<const BYTE*>(saved), size);
    else
        RegDeleteValueW(key, L"Programs");
    RegCloseKey(key);
    DeleteFileW(W(mainLink));
}
