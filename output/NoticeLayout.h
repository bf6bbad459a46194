// The completion notice's layout, template and texts, apart from its window
// code.
#pragma once

#include <stddef.h>
#include <windows.h>

const int NoticeButtonId = IDOK;  // also the id of the countdown timer
const int NoticeButtonWidth = 80;
const int NoticeButtonHeight = 20;
// From the button's top edge to the window's bottom edge; the text keeps
// clear of the same strip.
const int NoticeBottomStrip = 30;
const int NoticeTextMargin = 3;
const int NoticeTextCapacity = 260;    // characters, the terminator included
const int NoticeCountdownStart = 6;    // seconds
const size_t NoticeTemplateSize = 1024;

// Fills the first bytes of a zero-filled block with the notice's dialog
// template: a captionless modal popup without controls.
void WriteNoticeTemplate(BYTE* block);

// The window's outer rectangle for a background of bw x bh on a screen of
// sw x sh: centred, one pixel up and left of the region the background was
// copied from, for the handheld's frame of one pixel around the pane.
RECT NoticeWindowRect(int bw, int bh, int sw, int sh);

// The outer rectangle that lays the pane (the client area, bw x bh) exactly
// over the region behind it, for a window whose frame reaches `frame` beyond
// the client area on each side. `place` is NoticeWindowRect's; a platform
// draws a frame of its own for the template's style (Wine's dialog frame is
// three pixels wide, a window manager may draw none), so only the frame
// differs from the handheld's.
RECT NoticeFramedRect(const RECT& place, const RECT& frame);

// The button in the notice's client area: centred, 30 pixels above the
// bottom.
RECT NoticeButtonRect(int bw, int bh);

// The text's rectangle inside the client rectangle.
RECT NoticeTextRect(const RECT& client);

// "Скриншот снят в: " and the path. A text that does not fit the buffer of
// `capacity` characters is cut and ends with an ellipsis, never in the
// middle of a surrogate pair; capacity must be at least 2.
void FormatNoticeText(WCHAR* buffer, size_t capacity, const WCHAR* path);

// "OK (5)" and the like; the buffer holds 32 characters.
void FormatCountdownText(WCHAR* buffer, int seconds);
