// What the pictures in a folder say about the counter. The registry of a
// Wine session reaches the disk only now and then, so a session that ends
// abruptly forgets the numbers its last captures stored; the pictures
// themselves stay, each under its number and with the time it was written.
#pragma once

#include <windows.h>

struct NewestPicture {
    bool found;
    int number;        // of the picture written last
    FILETIME written;  // when it was written
};

// The picture named as the capture names them (screen, two or more digits
// without a superfluous leading zero, .bmp or .jpg) that was written last
// in folder. One pass over the folder's "screen*" entries.
NewestPicture FindNewestPicture(const WCHAR* folder);

// The number a stored Counter names, within the names' 00 to 99: its
// remainder on division by 100, taken non-negative (150 names 50, -1
// names 99).
int CounterWithinRange(int counter);

// The number the next capture takes, within 00 to 99. The stored Counter
// holds unless pictures were written after the registry key was last
// written: then the registry lost the numbers those captures stored (or
// was never saved at all), and counting goes on after the newest picture
// rather than over pictures already taken. A Counter stored after the
// newest picture, by a capture or by the user, means what it says.
int ChooseCounter(bool counterStored, int storedCounter, bool keyTimeKnown,
                  const FILETIME& keyWritten, const NewestPicture& newest);
