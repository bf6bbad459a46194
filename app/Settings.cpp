#include "app/Settings.h"

#include <new>
#include <stdlib.h>
#include <string.h>

#include "app/CounterRecord.h"
#include "platform/WideCrt.h"

Settings AppSettings;
WCHAR OutputPath[MAX_PATH];
bool StoredFolderUnreadable = false;

const HKEY SettingsRoot = HKEY_CURRENT_USER;
const WCHAR SettingsPath[] = L"Software\\Tavro";

namespace {

// Writes need KEY_WRITE; queries need KEY_READ, which this platform enforces
// (a key opened for writing alone answers every query with access denied).
const REGSAM WriteAccess = KEY_WRITE;
const REGSAM ReadAccess = KEY_READ;

const WCHAR DefaultFolder[] = L"\\Temp";

alignas(RegistryStore) unsigned char StoreStorage[sizeof(RegistryStore)];
bool StoreConstructed = false;

void DestroyStore()
{
    std::launder(reinterpret_cast<RegistryStore*>(StoreStorage))->~RegistryStore();
}

RegistryStore& Store()
{
    return RegistryStore::Instance();
}

}  // namespace

RegistryStore& RegistryStore::Instance()
{
    if (!StoreConstructed) {
        StoreConstructed = true;
        new (StoreStorage) RegistryStore;
        atexit(DestroyStore);
    }
    return *std::launder(reinterpret_cast<RegistryStore*>(StoreStorage));
}

bool RegistryStore::CreateKey(HKEY root, const WCHAR* path)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegistryStore::WriteValue(HKEY root, const WCHAR* path, const WCHAR* name,
                               const RegValue& value)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, WriteAccess, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, name, 0, value.type,
                                 static_cast<const BYTE*>(value.data), value.size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool RegistryStore::ReadValue(HKEY root, const WCHAR* path, const WCHAR* name, RegValue& value)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, ReadAccess, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryValueExW(key, name, nullptr, &value.type,
                                   static_cast<BYTE*>(value.data), &value.size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool RegistryStore::WriteDword(HKEY root, const WCHAR* path, const WCHAR* name, int number)
{
    RegValue value = {REG_DWORD, &number, sizeof number};
    return WriteValue(root, path, name, value);
}

int RegistryStore::ReadDword(HKEY root, const WCHAR* path, const WCHAR* name)
{
    int number = 0;
    RegValue value = {REG_DWORD, &number, sizeof number};
    if (!ReadValue(root, path, name, value))
        return 0;
    return number;
}

bool RegistryStore::ValueExists(HKEY root, const WCHAR* path, const WCHAR* name)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, ReadAccess, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool RegistryStore::KeyWriteTime(HKEY root, const WCHAR* path, FILETIME& written)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, ReadAccess, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, &written);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

namespace {

// A stored folder is taken only when it is a string that fits the field;
// anything else (a number, a text cut at 260 characters) would name some
// other folder, so the default stays.
void LoadFolder()
{
    WCHAR buffer[MAX_PATH + 1] = {};
    RegValue value = {REG_SZ, buffer, sizeof(WCHAR) * MAX_PATH};
    StoredFolderUnreadable = true;
    if (!Store().ReadValue(SettingsRoot, SettingsPath, L"Folder", value))
        return;
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
        return;
    buffer[value.size / sizeof(WCHAR) < MAX_PATH ? value.size / sizeof(WCHAR) : MAX_PATH] = 0;
    if (WideLength(buffer) >= MAX_PATH)
        return;
    StoredFolderUnreadable = false;
    WideCopy(AppSettings.Folder, MAX_PATH, buffer);
}

void LoadDword(const WCHAR* name, int& field)
{
    if (Store().ValueExists(SettingsRoot, SettingsPath, name))
        field = Store().ReadDword(SettingsRoot, SettingsPath, name);
}

}  // namespace

void SetSettingDefaults()
{
    WideCopy(AppSettings.Folder, MAX_PATH, DefaultFolder);
    AppSettings.Quality = 100;
    AppSettings.PlaySound = 0;
    AppSettings.FileType = 0;
    AppSettings.Progress = 0;
    AppSettings.Width = GetSystemMetrics(SM_CXSCREEN);
    AppSettings.Height = GetSystemMetrics(SM_CYSCREEN);
}

void LoadSettings()
{
    StoredFolderUnreadable = false;
    if (Store().ValueExists(SettingsRoot, SettingsPath, L"Folder"))
        LoadFolder();
    else
        Store().CreateKey(SettingsRoot, SettingsPath);

    LoadDword(L"Width", AppSettings.Width);
    LoadDword(L"Height", AppSettings.Height);
    LoadDword(L"Counter", AppSettings.Counter);
    LoadDword(L"Quality", AppSettings.Quality);

    // A delay from the command line wins over the stored one.
    if (Store().ValueExists(SettingsRoot, SettingsPath, L"Delay")) {
        int stored = Store().ReadDword(SettingsRoot, SettingsPath, L"Delay");
        if (AppSettings.Delay == 0)
            AppSettings.Delay = stored;
    }

    LoadDword(L"FileType", AppSettings.FileType);
    LoadDword(L"PlaySound", AppSettings.PlaySound);
    LoadDword(L"Progress", AppSettings.Progress);
    LoadDword(L"AutoClose", AppSettings.AutoClose);
}

namespace {

// What the last ReloadCounter found, for RecordStoredCounter.
CounterState FoundState;
CounterRecord FoundRecord;

CounterState StoredCounterState()
{
    RegistryStore& store = Store();
    CounterState state = {};
    state.stored = store.ValueExists(SettingsRoot, SettingsPath, L"Counter");
    if (state.stored)
        state.counter = store.ReadDword(SettingsRoot, SettingsPath, L"Counter");
    state.timeKnown = store.KeyWriteTime(SettingsRoot, SettingsPath, state.keyWritten);
    return state;
}

}  // namespace

void ReloadCounter()
{
    FoundState = StoredCounterState();
    LoadCounterRecord(FoundRecord);
    AppSettings.Counter = ChooseCounter(FoundState, FoundRecord);
}

void RecordStoredCounter()
{
    // The value is the one just stored; only the key's time is new. Should
    // the store have failed, the state left is the one found, noted too.
    CounterState left = {true, AppSettings.Counter, false, {0, 0}};
    left.timeKnown = Store().KeyWriteTime(SettingsRoot, SettingsPath, left.keyWritten);
    NoteStoredCounter(FoundRecord, FoundState, left, AppSettings.Counter);
    SaveCounterRecord(FoundRecord);
}

namespace {

void SaveAllButCounter()
{
    RegistryStore& store = Store();
    // The whole field goes out, text, terminator and the rest, as readers
    // of earlier versions expect 520 bytes.
    RegValue folder = {REG_SZ, AppSettings.Folder, sizeof AppSettings.Folder};
    store.WriteValue(SettingsRoot, SettingsPath, L"Folder", folder);

    store.WriteDword(SettingsRoot, SettingsPath, L"Width", AppSettings.Width);
    store.WriteDword(SettingsRoot, SettingsPath, L"Height", AppSettings.Height);
    store.WriteDword(SettingsRoot, SettingsPath, L"Quality", AppSettings.Quality);
    store.WriteDword(SettingsRoot, SettingsPath, L"FileType", AppSettings.FileType);
    store.WriteDword(SettingsRoot, SettingsPath, L"PlaySound", AppSettings.PlaySound);
    store.WriteDword(SettingsRoot, SettingsPath, L"Progress", AppSettings.Progress);
    store.WriteDword(SettingsRoot, SettingsPath, L"Delay", AppSettings.Delay);
    store.WriteDword(SettingsRoot, SettingsPath, L"AutoClose", AppSettings.AutoClose);
}

}  // namespace

void SaveSettings(bool counterOnly)
{
    RegistryStore& store = Store();
    if (!store.ValueExists(SettingsRoot, SettingsPath, L"Counter"))
        store.CreateKey(SettingsRoot, SettingsPath);
    store.WriteDword(SettingsRoot, SettingsPath, L"Counter", AppSettings.Counter);
    if (!counterOnly)
        SaveAllButCounter();
}

void SaveSettingsExceptCounter()
{
    Store().CreateKey(SettingsRoot, SettingsPath);
    SaveAllButCounter();
}

bool BuildOutputPath()
{
    // "\screen", at most 11 digits and a sign, ".bmp"
    const size_t longestTail = 7 + 11 + 4;
    OutputPath[0] = 0;
    size_t folderLength = WideLength(AppSettings.Folder);
    if (folderLength >= MAX_PATH)
        return false;
    WCHAR name[MAX_PATH + longestTail + 1];
    memcpy(name, AppSettings.Folder, folderLength * sizeof(WCHAR));
    const WCHAR* format = AppSettings.FileType != 0 ? L"\\screen%0.2d.jpg" : L"\\screen%0.2d.bmp";
    wsprintfW(name + folderLength, format, AppSettings.Counter);
    return WideCopy(OutputPath, MAX_PATH, name);
}
