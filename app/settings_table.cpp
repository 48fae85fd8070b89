// The settings table: section, key, encoding and default of every setting.
#include "app/settings_table.h"

Settings g_settings = {
    0, 0,                 // X, Y
    0, 0,                 // OpenW, OpenH
    0, 1, 1, 0,           // Top, Tip, Progress, Minimized
    0, 0,                 // Priority, Priority2
    "", "", "",           // FolderList, Folder, File
    0, 0,                 // OffsetLo, OffsetHi
    1,                    // Serial
    "",                   // Drive
    0,                    // Offset
    0,                    // Size
    0, 1,                 // Clear, Wait
    50,                   // Stop
    1,                    // Head
    0, 0,                 // NoStop, Rewind
    0x0060FF60, 0x0060E060, 0x0060FFFF, 0x00FF0000, 0x00FFFFFF, 0x00E1FFFF,
    "",                   // theater.exe
};

namespace {

const uint32_t kSigned32 = SETTING_SIGNED | SETTING_INT32;
const uint32_t kUnsigned32 = SETTING_INT32;
const uint32_t kHex32 = SETTING_HEX | SETTING_INT32;
const uint32_t kBool = SETTING_BOOL;

constexpr uint32_t Text(unsigned size) { return SETTING_TEXT | size; }

}  // namespace

// Default and variable are the same object: an absent key keeps the variable
// at its initial value.
#define ENTRY(section, key, field, flags) \
  {section, key, &g_settings.field, &g_settings.field, nullptr, flags}

const SettingDescriptor kSettingTable[SETTING_COUNT] = {
    ENTRY("Window", "X", X, kSigned32),
    ENTRY("Window", "Y", Y, kSigned32),
    ENTRY("Window", "OpenW", OpenW, kUnsigned32),
    ENTRY("Window", "OpenH", OpenH, kUnsigned32),
    {"Window", "Ofn", nullptr, nullptr, nullptr, Text(292)},
    ENTRY("Window", "Top", Top, kBool),
    ENTRY("Window", "Tip", Tip, kBool),
    ENTRY("Window", "Progress", Progress, kBool),
    ENTRY("Window", "Minimized", Minimized, kBool),
    ENTRY("Window", "Priority", Priority, kSigned32),
    ENTRY("Window", "Priority2", Priority2, kSigned32),
    ENTRY("Input", "FolderList", FolderList, Text(sizeof g_settings.FolderList)),
    ENTRY("Input", "Folder", Folder, Text(sizeof g_settings.Folder)),
    ENTRY("Input", "File", File, Text(sizeof g_settings.File)),
    ENTRY("Input", "OffsetLo", OffsetLo, kUnsigned32),
    ENTRY("Input", "OffsetHi", OffsetHi, kUnsigned32),
    ENTRY("Input", "Serial", Serial, kBool),
    ENTRY("Output", "Drive", Drive, Text(sizeof g_settings.Drive)),
    ENTRY("Output", "Offset", Offset, kUnsigned32),
    ENTRY("Output", "Size", Size, kUnsigned32),
    ENTRY("Output", "Clear", Clear, kBool),
    ENTRY("Output", "Wait", Wait, kBool),
    ENTRY("Output", "Stop", Stop, kUnsigned32),
    ENTRY("Output", "Head", Head, kUnsigned32),
    ENTRY("Play", "NoStop", NoStop, kBool),
    ENTRY("Play", "Rewind", Rewind, kBool),
    ENTRY("Color", "Working", Working, kHex32),
    ENTRY("Color", "Waiting", Waiting, kHex32),
    ENTRY("Color", "FileEnd", FileEnd, kHex32),
    ENTRY("Color", "ProgressBar", ProgressBar, kHex32),
    ENTRY("Color", "ProgressArea", ProgressArea, kHex32),
    ENTRY("Color", "TipHelp", TipHelp, kHex32),
    ENTRY("Player", "theater.exe", PlayerPath, Text(sizeof g_settings.PlayerPath)),
};

#undef ENTRY

const SettingId kExitSettings[21] = {
    SET_TOP, SET_TIP, SET_PROGRESS, SET_MINIMIZED, SET_PRIORITY, SET_PRIORITY2,
    SET_FOLDERLIST, SET_FOLDER, SET_FILE, SET_OFFSETLO, SET_OFFSETHI, SET_SERIAL,
    SET_DRIVE, SET_OFFSET, SET_SIZE, SET_CLEAR, SET_WAIT, SET_STOP, SET_HEAD,
    SET_NOSTOP, SET_REWIND,
};

void SaveSettingsAtExit(bool minimised, int32_t left, int32_t top) {
  if (!minimised) {
    g_settings.X = left;
    g_settings.Y = top;
    WriteSetting(SET_X);
    WriteSetting(SET_Y);
  }
  for (SettingId id : kExitSettings) WriteSetting(id);
}
