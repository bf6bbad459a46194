// Resource ids shared by the resource script and the code.
#pragma once

// ---- Capture ----
// Played after a picture is saved (PCM, mono, 8-bit, 11025 Hz).
#define IDW_DONE_SOUND 150
// The face of the completion notice's button, 80 x 20.
#define IDB_NOTICE_BUTTON 300


// ---- Options tree ----
// The glyphs of the options tree's rows.
#define IDI_GLYPH_EXPANDED 401
#define IDI_GLYPH_COLLAPSED 402
#define IDI_GLYPH_UNCHECKED 403
#define IDI_GLYPH_CHECKED 404
#define IDI_GLYPH_DROPDOWN 405


// ---- Configuration dialog ----
#define IDD_CONFIG 106          // the dialog template
#define IDC_CONFIG_ICON 1001    // the program icon on the About page
#define IDM_CONFIG_MENU 111     // menu 111 and the menu-bar resource 111
#define IDS_SOFTKEY_CANCEL 200
#define IDS_SOFTKEY_MENU 201
#define IDI_TAVRO 101           // the program icon group
#define IDC_SOFTKEY_MENU 40001  // the right soft key
#define IDC_CREATE_SHORTCUTS 40002


