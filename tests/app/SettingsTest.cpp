#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "app/CounterRecord.h"
#include "app/Settings.h"
#include "platform/HostFiles.h"
#include "platform/WideCrt.h"
#include "support/TestSupport.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettingsKey();
        AppSettings = Settings();
        SetSettingDefaults();
    }
    void TearDown() override { ClearSettingsKey(); }
};

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(SettingsTest, DefaultsFollowTheScreen)
{
    EXPECT_EQ("\\Temp", Utf8(AppSettings.Folder));
    EXPECT_EQ(100, AppSettings.Quality);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), AppSettings.Width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), AppSettings.Height);
    EXPECT_EQ(0, AppSettings.FileType);
}

TEST_F(SettingsTest, FirstLoadLeavesAnEmptyKeyAndTheDefaults)
{
    ASSERT_FALSE(SettingsKeyExists());
    LoadSettings();
    EXPECT_TRUE(SettingsKeyExists());
    EXPECT_TRUE(SettingsValueNames().empty());
    EXPECT_EQ("\\Temp", Utf8(AppSettings.Folder));
    EXPECT_EQ(100, AppSettings.Quality);
    EXPECT_EQ(0, AppSettings.Counter);
}

TEST_F(SettingsTest, StoredValuesReplaceTheDefaults)
{
    const WCHAR folder[] = L"\\My Documents\\Снимки";
    WriteRawSetting(L"Folder", REG_SZ, folder, sizeof folder);
    WriteDwordSetting(L"Width", 120);
    WriteDwordSetting(L"Height", 160);
    WriteDwordSetting(L"Counter", 42);
    WriteDwordSetting(L"Quality", 75);
    WriteDwordSetting(L"Delay", 7);
    WriteDwordSetting(L"FileType", 2);
    WriteDwordSetting(L"PlaySound", 1);
    WriteDwordSetting(L"Progress", 1);
    WriteDwordSetting(L"AutoClose", 1);
    WriteDwordSetting(L"Unknown", 5);

    LoadSettings();
    EXPECT_EQ(Utf8(folder), Utf8(AppSettings.Folder));
    EXPECT_EQ(120, AppSettings.Width);
    EXPECT_EQ(160, AppSettings.Height);
    EXPECT_EQ(42, AppSettings.Counter);
    EXPECT_EQ(75, AppSettings.Quality);
    EXPECT_EQ(7, AppSettings.Delay);
    EXPECT_EQ(2, AppSettings.FileType);
    EXPECT_EQ(1, AppSettings.PlaySound);
    EXPECT_EQ(1, AppSettings.Progress);
    EXPECT_EQ(1, AppSettings.AutoClose);
}

TEST_F(SettingsTest, NegativeAndHugeNumbersAreTakenUnchanged)
{
    WriteDwordSetting(L"Width", static_cast<DWORD>(-5));
    WriteDwordSetting(L"Delay", 0x7FFFFFFF);
    LoadSettings();
    EXPECT_EQ(-5, AppSettings.Width);
    EXPECT_EQ(0x7FFFFFFF, AppSettings.Delay);
}

TEST_F(SettingsTest, CommandLineDelayWinsAndStoredZeroChangesNothing)
{
    WriteDwordSetting(L"Delay", 7);
    AppSettings.Delay = 3;
    LoadSettings();
    EXPECT_EQ(3, AppSettings.Delay);

    WriteDwordSetting(L"Delay", 0);
    AppSettings.Delay = 0;
    LoadSettings();
    EXPECT_EQ(0, AppSettings.Delay);
}

TEST_F(SettingsTest, OddSizedNumbersReadAsTheRuntimeWould)
{
    unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    WriteRawSetting(L"Width", REG_BINARY, eight, sizeof eight);
    unsigned char two[2] = {0x34, 0x12};
    WriteRawSetting(L"Height", REG_BINARY, two, sizeof two);
    const WCHAR text[] = L"9";
    WriteRawSetting(L"Quality", REG_SZ, text, sizeof text);

    LoadSettings();
    EXPECT_EQ(0, AppSettings.Width);        // too big to read: 0
    EXPECT_EQ(0x1234, AppSettings.Height);  // short: the low bytes
    EXPECT_EQ('9', AppSettings.Quality);    // the type is never examined
}

TEST_F(SettingsTest, AFolderThatIsNotAUsableStringKeepsTheDefault)
{
    DWORD number = 0x41;
    WriteRawSetting(L"Folder", REG_DWORD, &number, sizeof number);
    LoadSettings();
    EXPECT_EQ("\\Temp", Utf8(AppSettings.Folder));

    // 300 characters cannot be held; cutting them would name another folder.
    std::u16string tooLong = u"\\" + std::u16string(299, u'a');
    WriteRawSetting(L"Folder", REG_SZ, W(tooLong), (tooLong.size() + 1) * 2);
    LoadSettings();
    EXPECT_EQ("\\Temp", Utf8(AppSettings.Folder));

    // Exactly 260 characters without room for the terminator: also refused.
    std::u16string full = u"\\" + std::u16string(259, u'b');
    WriteRawSetting(L"Folder", REG_SZ, W(full), full.size() * 2);
    LoadSettings();
    EXPECT_EQ("\\Temp", Utf8(AppSettings.Folder));

    std::u16string longest = u"\\" + std::u16string(258, u'c');
    WriteRawSetting(L"Folder", REG_SZ, W(longest), (longest.size() + 1) * 2);
    LoadSettings();
    EXPECT_EQ(longest, U16(AppSettings.Folder));
}

TEST_F(SettingsTest, SavingEverythingWritesTenValuesAndTheWholeFolderField)
{
    AppSettings.Counter = 4;
    AppSettings.Delay = 9;
    SaveSettings(false);
    EXPECT_EQ(Sorted({"AutoClose", "Counter", "Delay", "FileType", "Folder", "Height", "PlaySound",
                      "Progress", "Quality", "Width"}),
              Sorted(SettingsValueNames()));
    DWORD type;
    std::vector<unsigned char> folder;
    ASSERT_TRUE(ReadRawSetting(L"Folder", type, folder));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ASSERT_EQ(520u, folder.size());
    const unsigned char expected[] = {'\\', 0, 'T', 0, 'e', 0, 'm', 0, 'p', 0, 0, 0};
    EXPECT_EQ(0, memcmp(expected, folder.data(), sizeof expected));
    EXPECT_EQ(4u, ReadDwordSetting(L"Counter"));
    EXPECT_EQ(9u, ReadDwordSetting(L"Delay"));
    EXPECT_EQ(100u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN)), ReadDwordSetting(L"Width"));

    Settings saved = AppSettings;
    AppSettings = Settings();
    LoadSettings();
    EXPECT_EQ(0, memcmp(&saved, &AppSettings, sizeof saved));
}

TEST_F(SettingsTest, SavingTheCounterAloneCreatesTheKeyAndWritesNothingElse)
{
    AppSettings.Counter = 1;
    SaveSettings(true);
    EXPECT_EQ(std::vector<std::string>{"Counter"}, SettingsValueNames());
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
}

TEST_F(SettingsTest, OutputPathFollowsFolderCounterAndType)
{
    AppSettings.Counter = 0;
    ASSERT_TRUE(BuildOutputPath());
    EXPECT_EQ("\\Temp\\screen00.bmp", Utf8(OutputPath));

    AppSettings.Counter = 42;
    AppSettings.FileType = 1;
    ASSERT_TRUE(BuildOutputPath());
    EXPECT_EQ("\\Temp\\screen42.jpg", Utf8(OutputPath));

    AppSettings.Counter = 150;
    AppSettings.FileType = 7;
    ASSERT_TRUE(BuildOutputPath());
    EXPECT_EQ("\\Temp\\screen150.jpg", Utf8(OutputPath));

    WideCopy(AppSettings.Folder, MAX_PATH, L"\\Storage Card\\");
    AppSettings.Counter = 7;
    AppSettings.FileType = 0;
    ASSERT_TRUE(BuildOutputPath());
    EXPECT_EQ("\\Storage Card\\\\screen07.bmp", Utf8(OutputPath));
}

TEST_F(SettingsTest, OutputPathNeverOverflowsOrGetsCut)
{
    AppSettings.Counter = 5;
    std::u16string fits = u"\\" + std::u16string(245, u'd');  // 246 + 13 = 259
    ASSERT_TRUE(WideCopy(AppSettings.Folder, MAX_PATH, W(fits)));
    ASSERT_TRUE(BuildOutputPath());
    EXPECT_EQ(259u, WideLength(OutputPath));

    std::u16string tooLong = u"\\" + std::u16string(246, u'd');
    ASSERT_TRUE(WideCopy(AppSettings.Folder, MAX_PATH, W(tooLong)));
    EXPECT_FALSE(BuildOutputPath());
    EXPECT_EQ(0u, WideLength(OutputPath));

    std::u16string longest = u"\\" + std::u16string(258, u'e');
    ASSERT_TRUE(WideCopy(AppSettings.Folder, MAX_PATH, W(longest)));
    AppSettings.Counter = -2147483647 - 1;
    EXPECT_FALSE(BuildOutputPath());
    EXPECT_EQ(0u, WideLength(OutputPath));
}

TEST_F(SettingsTest, RegistryStoreReadsWhatItWrote)
{
    RegistryStore& store = RegistryStore::Instance();
    EXPECT_EQ(&store, &RegistryStore::Instance());
    EXPECT_FALSE(store.WriteDword(SettingsRoot, SettingsPath, L"Width", 1));  // no key yet
    EXPECT_FALSE(store.ValueExists(SettingsRoot, SettingsPath, L"Width"));
    ASSERT_TRUE(store.CreateKey(SettingsRoot, SettingsPath));
    EXPECT_TRUE(store.WriteDword(SettingsRoot, SettingsPath, L"Width", -77));
    EXPECT_TRUE(store.ValueExists(SettingsRoot, SettingsPath, L"Width"));
    EXPECT_EQ(-77, store.ReadDword(SettingsRoot, SettingsPath, L"Width"));
    EXPECT_EQ(0, store.ReadDword(SettingsRoot, SettingsPath, L"Missing"));
}

// ---- The counter's record ----

namespace {

CounterState Stored(int counter, DWORD time)
{
    return {true, counter, true, {time, 0x01DB0000}};
}

const CounterState NoCounter = {false, 0, false, {0, 0}};

std::string HostPath(const WCHAR* windowsPath)
{
    char path[4096];
    EXPECT_TRUE(UnixPathOf(windowsPath, path, sizeof path));
    return path;
}

void WriteBytes(const WCHAR* name, const std::vector<unsigned char>& bytes)
{
    FILE* file = _wfopen(name, L"wb");
    ASSERT_TRUE(file);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

bool Loads(CounterRecord& record)
{
    LoadCounterRecord(record);
    return record.valid;
}

}  // namespace

// A registry that went back to any state the program found or left when
// it stored a Counter is known: counting goes on from the Counter stored
// last, also when the registry lost the value altogether. Any other state
// was set by someone and holds, within 00 to 99, whatever its time, which
// is compared for equality alone; so does one whose time is not known.
TEST(CounterChoice, ARegistryGoneBackIsKnownAndAnyOtherStateHolds)
{
    CounterRecord record = {};
    EXPECT_EQ(0, ChooseCounter(NoCounter, record));
    EXPECT_EQ(50, ChooseCounter(Stored(150, 1), record));

    const CounterState found = Stored(3, 100), left = Stored(4, 200), later = Stored(5, 300);
    NoteStoredCounter(record, found, left, 4);
    NoteStoredCounter(record, left, later, 5);
    EXPECT_EQ(3u, record.count);
    for (const CounterState& state : {found, left, later, NoCounter})
        EXPECT_EQ(5, ChooseCounter(state, record)) << state.counter;
    EXPECT_EQ(3, ChooseCounter(Stored(3, 101), record));
    EXPECT_EQ(3, ChooseCounter(Stored(3, 99), record));
    EXPECT_EQ(99, ChooseCounter(Stored(-1, 400), record));
    EXPECT_EQ(7, ChooseCounter({true, 7, false, {0, 0}}, record));

    // Once full, the record forgets its oldest states.
    for (unsigned i = 0; i < CounterRecordDepth; ++i)
        NoteStoredCounter(record, Stored(i % 100, 1000 + i), Stored((i + 1) % 100, 1001 + i),
                          (i + 1) % 100);
    EXPECT_EQ(CounterRecordDepth, record.count);
    EXPECT_EQ(3, ChooseCounter(found, record));
    EXPECT_EQ(56, ChooseCounter(Stored(55, 1000 + 255), record));
}

// What was saved is loaded. A copy torn or damaged leaves the other one,
// the record as it was one save before; anything else unreadable (both
// copies damaged, a file cut short or of garbage, a folder) is no record,
// and never stops a save that makes a whole one where it can. A link put
// in its place is neither read nor written through.
TEST_F(SettingsTest, TheCounterRecordOutlivesDamageAndFollowsNoLink)
{
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(CounterRecordPath(path, MAX_PATH));
    CounterRecord record = {};
    NoteStoredCounter(record, Stored(1, 10), Stored(2, 20), 2);
    ASSERT_TRUE(SaveCounterRecord(record));
    NoteStoredCounter(record, Stored(2, 20), Stored(3, 30), 3);
    ASSERT_TRUE(SaveCounterRecord(record));
    CounterRecord loaded;
    ASSERT_TRUE(Loads(loaded));
    EXPECT_EQ(3, loaded.storedLast);
    EXPECT_EQ(3u, loaded.count);
    EXPECT_EQ(3, ChooseCounter(Stored(1, 10), loaded));

    const std::vector<unsigned char> whole = ReadWholeFile(path);
    std::vector<unsigned char> damaged = whole;
    damaged[4096 + 30] ^= 1;  // the newer copy
    WriteBytes(path, damaged);
    ASSERT_TRUE(Loads(loaded));
    EXPECT_EQ(2, loaded.storedLast);
    EXPECT_EQ(2u, loaded.count);
    // The next save goes over the damaged copy.
    NoteStoredCounter(loaded, Stored(2, 20), Stored(4, 40), 4);
    ASSERT_TRUE(SaveCounterRecord(loaded));
    ASSERT_TRUE(Loads(loaded));
    EXPECT_EQ(4, loaded.storedLast);

    damaged = whole;
    damaged[30] ^= 1;
    damaged[4096 + 30] ^= 1;
    const std::vector<unsigned char> unreadable[] = {
        damaged, std::vector<unsigned char>(whole.begin(), whole.begin() + whole.size() / 2),
        std::vector<unsigned char>(whole.size(), 0xFF), {}};
    for (const auto& bytes : unreadable) {
        SCOPED_TRACE(bytes.size());
        WriteBytes(path, bytes);
        EXPECT_FALSE(Loads(loaded));
        NoteStoredCounter(loaded, Stored(5, 50), Stored(6, 60), 6);
        ASSERT_TRUE(SaveCounterRecord(loaded));
        ASSERT_TRUE(Loads(loaded));
        EXPECT_EQ(6, loaded.storedLast);
        EXPECT_EQ(whole.size(), ReadWholeFile(path).size());
    }

    ScratchFolder elsewhere;
    std::u16string someones = elsewhere.Join("someones.txt");
    WriteText(someones, "someone's");
    std::u16string missing = elsewhere.Join("missing.txt");
    for (const std::u16string& target : {someones, missing}) {
        SCOPED_TRACE(Utf8(W(target)));
        ASSERT_EQ(0, unlink(HostPath(path).c_str()));
        ASSERT_EQ(0, symlink(HostPath(W(target)).c_str(), HostPath(path).c_str()));
        EXPECT_FALSE(Loads(loaded));
        EXPECT_FALSE(SaveCounterRecord(loaded));
        struct stat status;
        ASSERT_EQ(0, lstat(HostPath(path).c_str(), &status));
        EXPECT_TRUE(S_ISLNK(status.st_mode));
    }
    EXPECT_EQ("someone's", TextOf(someones));
    EXPECT_FALSE(FileExists(W(missing)));
    ASSERT_EQ(0, unlink(HostPath(path).c_str()));

    ASSERT_TRUE(CreateDirectoryW(path, nullptr));
    EXPECT_FALSE(Loads(loaded));
    EXPECT_FALSE(SaveCounterRecord(loaded));
    EXPECT_TRUE(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryW(path);
}
