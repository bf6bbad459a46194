// How a picture reaches its name. What holds:
// - The picture is written to a scratch file in its own folder and renamed
//   over its name only once complete and closed, in one step: a reader
//   finds the older picture or the new one, never a part of either.
// - The writers send the scratch file to the disk before the rename, and
//   the rename sends the folder's entries after it where the host can
//   (ReplaceInOneStep), so that after a power cut the name holds the
//   older picture or the whole new one.
// - The scratch file is created new, never opened through whatever stands
//   under its name (a file, a symbolic link, dangling or not, a FIFO, a
//   folder): such a name is passed over and another one tried. So no two
//   writers, in this process or any other, ever share a scratch file, and
//   nothing but the new file is written to.
// - On every failure (no file could be made, a short write, a full medium,
//   a file-size limit, a failed close or rename) the scratch file is
//   removed and the older picture stays as it was. A file-size limit does
//   not end the process: its signal is ignored, so the write fails.
// - A picture that is read-only when the new one is complete is not
//   replaced: the commit fails, as the creation of the file would.
// - A process killed while writing leaves its scratch file (tvXXXXXX.tmp)
//   behind until RemoveDeadScratchFiles runs in that folder; that never
//   removes a file that a live writer holds through its handle.
// - Nothing but a scratch file of the folder's own is ever removed, by the
//   sweep or after a failed write: not a link under a scratch name, nor
//   what it points to (under Wine, deleting a link by name deletes its
//   target), not a folder, not a file that has further hard links.
// What does not hold: a file made read-only between
// that check and the rename is replaced. Two writers of one final name
// each commit a whole picture and the later one stays: captures keep
// apart by choosing their numbers under CounterLock.
#pragma once

#include <stdio.h>
#include <windows.h>

// A new, empty scratch file for finalName, open for writing, its name in
// scratch (capacity characters); INVALID_HANDLE_VALUE when none can be made.
HANDLE CreateScratchFile(const WCHAR* finalName, WCHAR* scratch, size_t capacity);

// The same as a binary stdio stream; null when none can be made.
FILE* OpenScratchStream(const WCHAR* finalName, WCHAR* scratch, size_t capacity);

// Moves the complete, closed scratch file over finalName; on failure the
// scratch file is removed.
bool CommitScratchFile(const WCHAR* scratch, const WCHAR* finalName);

void DiscardScratchFile(const WCHAR* scratch);

// The name this process will try `ahead` attempts from now (0: the next
// one), so that a test can put something in the writer's way.
bool UpcomingScratchName(const WCHAR* finalName, unsigned ahead, WCHAR* scratch, size_t capacity);

// Deletes the scratch files in finalName's folder that no writer holds
// open: those of processes killed while writing. A handle writer's file is
// opened without FILE_SHARE_DELETE, so the platform refuses to delete it
// while the writer lives; a stream writer's file is not protected that
// way, so call this only where no writer of the program can be at work in
// the folder (captures write under CounterLock). Entries under scratch
// names that are not plain files of this folder alone stay, whatever they
// lead to. Returns how many went.
int RemoveDeadScratchFiles(const WCHAR* finalName);
