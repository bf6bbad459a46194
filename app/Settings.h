// The ten persisted settings, their registry store and the picture's name.
#pragma once

#include <windows.h>
#include <mmsystem.h>
// mmsystem.h maps PlaySound to PlaySoundW; the setting of that name must
// keep its own name in every translation unit.
#undef PlaySound

struct Settings {
    WCHAR Folder[MAX_PATH];
    int Width;
    int Height;
    int Counter;
    int Quality;
    int Delay;
    int FileType;
    int PlaySound;
    int Progress;
    int AutoClose;
};

extern Settings AppSettings;
extern WCHAR OutputPath[MAX_PATH];

// HKEY_CURRENT_USER\Software\Tavro
extern const HKEY SettingsRoot;
extern const WCHAR SettingsPath[];

struct RegValue {
    DWORD type;
    void* data;
    DWORD size;
};

// Stateless registry accessor; every operation opens the key and closes it
// again, so no handle outlives a call.
class RegistryStore {
public:
    static RegistryStore& Instance();
    virtual ~RegistryStore() = default;

    bool CreateKey(HKEY root, const WCHAR* path);
    bool WriteValue(HKEY root, const WCHAR* path, const WCHAR* name, const RegValue& value);
    bool ReadValue(HKEY root, const WCHAR* path, const WCHAR* name, RegValue& value);
    bool WriteDword(HKEY root, const WCHAR* path, const WCHAR* name, int number);
    int ReadDword(HKEY root, const WCHAR* path, const WCHAR* name);
    bool ValueExists(HKEY root, const WCHAR* path, const WCHAR* name);
    // When a value of the key was last set (or the key made).
    bool KeyWriteTime(HKEY root, const WCHAR* path, FILETIME& written);

private:
    RegistryStore() = default;
};

void LoadSettings();
void SaveSettings(bool counterOnly);

// The number the next picture takes, 0 to 99, as it stands now: another
// process may have moved Counter since LoadSettings. That is the stored
// Counter within range, unless the registry lost it or went back to a
// state the program had moved on from (a Wine session that ended before
// saving its registry): then the Counter the program stored last
// (app/CounterRecord.h); 0 when neither is known. Call under CounterLock.
void ReloadCounter();

// After ReloadCounter and a save of Counter, still under CounterLock: notes
// on the disk that Counter is the number stored last, and the registry's
// states before and after, so that a registry that goes back to either is
// known for what it is.
void RecordStoredCounter();

// True when LoadSettings found a Folder value it could not take (not a
// string, or too long), so that Folder kept its default.
extern bool StoredFolderUnreadable;

// Every setting but Counter, for a save that could not take CounterLock
// and so must not store a number.
void SaveSettingsExceptCounter();

// Fills OutputPath. Returns false, leaving OutputPath empty, when the name
// would not fit in MAX_PATH characters: such a folder is treated like one
// that cannot be written, rather than writing to a cut-off name.
bool BuildOutputPath();

// The defaults both modes set before LoadSettings.
void SetSettingDefaults();
