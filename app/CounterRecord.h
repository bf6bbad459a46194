// What the program knows about the Counter beyond the registry. A Wine
// session writes its registry to the disk only now and then (every 30 s
// and when it ends), and a power cut can take a registry back too, so
// after an abrupt end the settings key may hold a state older than the
// pictures on disk: the Counter of an earlier capture, which the pictures
// taken since would meet again. File times cannot tell (an edited picture
// is newer, a clock set back makes pictures from the future, some file
// systems keep whole seconds), so the program keeps a record of its own,
// written to the disk before any picture takes its name:
// - the Counter it stored last, which the next capture takes;
// - the registry states (Counter and the key's last-write time) that it
//   found or left when it stored one.
// A state that the record holds is one the program has moved on from: the
// registry went back, and numbering goes on from the Counter stored last.
// Any other state was set by someone else (by hand, a tool, a restored
// copy) and means what it says. Times are only ever compared for equality.
#pragma once

#include <windows.h>

// What the registry holds for the counter.
struct CounterState {
    bool stored;          // a Counter value exists
    int counter;          // as stored, unchecked
    bool timeKnown;       // the settings key's last-write time could be read
    FILETIME keyWritten;  // that time
};

// How many registry states the record keeps, the latest; older ones are
// forgotten. Wine saves its registry every 30 s, so this many captures
// would have to fall within that time for a state it lost to be forgotten.
const unsigned CounterRecordDepth = 256;

struct CounterRecord {
    bool valid;        // false: no record (none yet, or unreadable)
    bool inFile;       // the file holds a readable copy of it (below)
    unsigned newest;   // which of the file's two copies is the newer
    DWORD sequence;    // the newer copy's, to tell which one is newer
    int storedLast;    // the Counter the program stored last
    unsigned count;    // states in use, oldest first
    struct State {
        int counter;
        FILETIME keyWritten;
    } states[CounterRecordDepth];
};

// The record's file: Tavro\Counter.dat in the user's local application
// data (%LOCALAPPDATA%, which on Wine lies in the prefix). False when the
// environment names no such folder or the name does not fit.
bool CounterRecordPath(WCHAR* path, size_t capacity);

// Fills record from its file, or marks it not valid: missing, torn,
// corrupt, of another version or length. Call under CounterLock.
void LoadCounterRecord(CounterRecord& record);

// Writes record to its file and sends it to the disk before returning.
// The file holds two copies and the write goes over the older one, so a
// write cut short leaves the previous record readable. Nothing is written
// unless the file is a plain file of its folder alone, not a link planted
// there. False when the record could not be written. Call under
// CounterLock.
bool SaveCounterRecord(CounterRecord& record);

// The number a stored Counter names, within the names' 00 to 99: its
// remainder on division by 100, taken non-negative (150 names 50, -1
// names 99).
int CounterWithinRange(int counter);

// The number the next picture takes, within 00 to 99, from what the
// registry holds and what the record says (above). No Counter at all is a
// registry gone back too, when there is a record.
int ChooseCounter(const CounterState& registry, const CounterRecord& record);

// The record after the program stored `stored` over the state `before`,
// leaving the state `after` (as read back: on Wine an unchanged value
// keeps the key's time).
void NoteStoredCounter(CounterRecord& record, const CounterState& before,
                       const CounterState& after, int stored);
