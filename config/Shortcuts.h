// The two launch shortcuts in the Start menu's Programs folder.
#pragma once

// True when "Tavro.lnk" is missing; unless checkOnly, then also creates
// both shortcuts.
bool CreateShortcuts(bool checkOnly);
