// The Input dialog's preview panel: a frame of the selected file drawn off
// screen, the position bar that picks it (and the Start position), the
// percentage and the stream's video and audio texts.
//
// Threading: user-interface thread. The session itself may be closed by the
// Copy worker; the session module keeps that apart from opens and renders.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mpeg/session.h"

// The previewed file's path (shared with the Control window preview).
extern char g_previewPath[292];
// The session's bitmap header and stream information as last opened.
extern BitmapHeader g_previewHeader;
extern StreamInfo g_previewInfo;

// At WM_INITDIALOG: the off-screen bitmap of the panel's size.
void CreatePreviewPanel(HWND dialog, HBRUSH background);
// At WM_DESTROY: frees the bitmap and closes the session.
void DestroyPreviewPanel();

// Command 22060: rereads the checkbox and the selection, reopens the session
// when the selection changed, and redraws.
void RefreshPreview(HWND dialog, HWND frame);
// Asks the dialog for a refresh the way the checkbox does.
void RequestPreviewRefresh(HWND dialog);
// WM_HSCROLL from the position bar.
void OnPreviewScroll(HWND dialog, WPARAM wParam);
// WM_PAINT of the dialog.
void PaintPreview(HWND dialog);
// After the previewed file was deleted: blank panel, empty name, no delete.
void BlankPreviewAfterDelete(HWND dialog, HWND frame);

// The Start position: the last drawn bar position (0 when none).
int32_t PreviewStartPosition();

// Draws the frame at a byte position of the previewed file into `target`,
// scaled to the rectangle. 1 when a frame was drawn.
int DrawFrameAtPosition(uint64_t position, HDC target, int x, int y, int width, int height);

// WM_ERASEBKGND: the dialog's background around the panel; the panel itself
// is left to Paint, so that the frame does not flicker.
void EraseAroundPanel(HWND dialog, HDC dc);
