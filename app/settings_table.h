// Every persistent setting of the program: the variables and their table.
#pragma once

#include <cstdint>

#include "app/settings.h"

// The program-wide settings variables; each starts at its default.
struct Settings {
  // Window
  int32_t X, Y;
  uint32_t OpenW, OpenH;
  uint32_t Top, Tip, Progress, Minimized;
  int32_t Priority, Priority2;
  // Input
  char FolderList[4096];
  char Folder[260];
  char File[260];
  uint32_t OffsetLo, OffsetHi;
  uint32_t Serial;
  // Output
  char Drive[4];
  uint32_t Offset;
  uint32_t Size;
  uint32_t Clear, Wait;
  uint32_t Stop;
  uint32_t Head;
  // Play
  uint32_t NoStop, Rewind;
  // Color (COLORREF values, never written back)
  uint32_t Working, Waiting, FileEnd, ProgressBar, ProgressArea, TipHelp;
  // Player: full path of theater.exe
  char PlayerPath[520];
};

extern Settings g_settings;

// Indices into the table, in the table's order.
enum SettingId {
  SET_X, SET_Y, SET_OPENW, SET_OPENH, SET_OFN, SET_TOP, SET_TIP, SET_PROGRESS,
  SET_MINIMIZED, SET_PRIORITY, SET_PRIORITY2,
  SET_FOLDERLIST, SET_FOLDER, SET_FILE, SET_OFFSETLO, SET_OFFSETHI, SET_SERIAL,
  SET_DRIVE, SET_OFFSET, SET_SIZE, SET_CLEAR, SET_WAIT, SET_STOP, SET_HEAD,
  SET_NOSTOP, SET_REWIND,
  SET_WORKING, SET_WAITING, SET_FILEEND, SET_PROGRESSBAR, SET_PROGRESSAREA, SET_TIPHELP,
  SET_PLAYER,
  SETTING_COUNT
};

extern const SettingDescriptor kSettingTable[SETTING_COUNT];

inline const SettingDescriptor* Setting(SettingId id) { return &kSettingTable[id]; }
inline int32_t ReadSetting(SettingId id) { return ReadSetting(Setting(id)); }
inline int WriteSetting(SettingId id) { return WriteSetting(Setting(id)); }

// The settings written at exit, in the order they are written.
extern const SettingId kExitSettings[21];
// Writes X and Y (unless minimised) and the exit settings.
void SaveSettingsAtExit(bool minimised, int32_t left, int32_t top);
