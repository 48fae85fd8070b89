// The Input dialog: the explorer-style open-file dialog with the program's
// child template 102, its hook and a resizable frame.
//
// Threading: everything runs on the user-interface thread inside the modal
// GetOpenFileNameA call; the Copy worker is reached only through shared state.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include "input/frame_layout.h"

// The hook procedure of the child dialog.
UINT_PTR CALLBACK InputDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog for the Control window: `file` (260 bytes) holds the
// initial name and receives the chosen path. Returns whether a file was
// chosen, and with it whether its "開始(&S)" box asks to start the copy.
bool RunInputDialog(HWND owner, char* file, bool* startAfterInput);

// Dialog-private state, shared by the dialog's files while it is open.
enum : unsigned {
  TIMER_DEFERRED_RESIZE = 1,  // the saved size still waits for the shell view
  TIMER_RESTORE_VIEW = 2,     // switch the file list to the saved view
  TIMER_TRACK_VIEW = 4,       // note the file list's view and widths
  TIMER_FOLDER_CHANGED = 8,   // reapply the saved widths
};

struct InputDialogState {
  HWND dialog;  // the hook's child dialog
  HWND frame;   // its parent, the open-file dialog
  HBRUSH background;
  char lastSeen[292];  // selection as of the previous timer tick
  int busy;            // a deletion is in progress
  int pendingFilter;   // filter to restore after a recent folder was chosen; -1 none
  unsigned timerFlags;
  FileListState view;  // saved or tracked file-list state
  int previewEnabled;
  bool startAfterInput;  // the "開始(&S)" box as the dialog closed
};
extern InputDialogState g_inputDialog;

// frame_subclass.cpp
void SubclassFrame(HWND frame);
void UnsubclassFrame(HWND frame);
// Sends the frame the private size request for OpenW x OpenH.
LRESULT RequestFrameSize(bool deferred);
// Moves the frame to (x, y), inside the desktop and off the taskbar.
void PlaceFrameAt(HWND frame, int x, int y);
// At the tray menu point when there is one, else where the frame stands.
void PlaceFrame(HWND frame);

// recent_folders.cpp
void FillFolderCombo(HWND dialog);
void OnFolderChosen(HWND dialog);
void OnFileAccepted(HWND dialog);

// file_list_view.cpp
void LoadFileListState();
void SaveFileListState();
void MaintainFileListView();

// delete_file.cpp
void OnDeleteFile(HWND dialog);
