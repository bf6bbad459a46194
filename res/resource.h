// Resource ids shared by the resource script and the code.
#pragma once

// ---- Capture ----


// ---- Options tree ----
// The glyphs of the options tree's rows.
#define IDI_GLYPH_EXPANDED 401
#define IDI_GLYPH_COLLAPSED 402
#define IDI_GLYPH_UNCHECKED 403
#define IDI_GLYPH_CHECKED 404
#define IDI_GLYPH_DROPDOWN 405


// ---- Configuration dialog ----


