// Settings engine on real profile files.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "app/settings_table.h"
#include "app/shared_state.h"

namespace {

std::string TempProfile(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string path = std::string(folder) + name;
  DeleteFileA(path.c_str());
  return path;
}

std::string Raw(const std::string& path, const char* section, const char* key) {
  char text[512];
  GetPrivateProfileStringA(section, key, "<absent>", text, sizeof text, path.c_str());
  return text;
}

void Put(const std::string& path, const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, path.c_str());
}

std::string FileText(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

// The settings table pointed at a profile of the test's own.
std::vector<SettingDescriptor> TableAt(const std::string& path) {
  std::vector<SettingDescriptor> table(kSettingTable, kSettingTable + SETTING_COUNT);
  for (SettingDescriptor& d : table) d.profilePath = path.c_str();
  return table;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = g_settings; }
  void TearDown() override { g_settings = saved_; }
  Settings saved_;
};

TEST_F(SettingsTest, IntegersAreWrittenInTheirExactFormats) {
  std::string path = TempProfile("rf_formats.ini");
  int32_t s32 = -3;
  uint32_t u32 = 4000000000u, hexWide = 0xFF, hexPlain = 0xFF;
  uint8_t hex8 = 0xAB;
  uint16_t hex16 = 0x1A;
  int8_t s8 = -5;
  int16_t s16 = -300;
  uint8_t u8 = 200;
  struct Case { SettingDescriptor d; const char* expected; };
  const Case cases[] = {
      {{"N", "Signed", &s32, &s32, path.c_str(), SETTING_SIGNED | SETTING_INT32}, "-3"},
      {{"N", "Unsigned", &u32, &u32, path.c_str(), SETTING_INT32}, "4000000000"},
      {{"N", "Hex1", &hexWide, &hexWide, path.c_str(), SETTING_HEX | SETTING_INT32}, "FF"},
      {{"N", "Hex2", &hex8, &hex8, path.c_str(), SETTING_HEX | SETTING_INT8}, "AB"},
      {{"N", "Hex4", &hex16, &hex16, path.c_str(), SETTING_HEX | SETTING_INT16}, "001A"},
      {{"N", "Hex8", &hexPlain, &hexPlain, path.c_str(), SETTING_HEX | SETTING_PLAIN32}, "000000FF"},
      {{"N", "HexNone", &hexPlain, &hexPlain, path.c_str(), SETTING_HEX}, "000000FF"},
      {{"N", "Signed8", &s8, &s8, path.c_str(), SETTING_SIGNED | SETTING_INT8}, "-5"},
      {{"N", "Signed16", &s16, &s16, path.c_str(), SETTING_SIGNED | SETTING_INT16}, "-300"},
      {{"N", "Unsigned8", &u8, &u8, path.c_str(), SETTING_INT8}, "200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d.key);
    EXPECT_NE(WriteSetting(&c.d), 0);
    EXPECT_EQ(Raw(path, "N", c.d.key), c.expected);
  }
}

TEST_F(SettingsTest, OtherKindsAreWrittenInTheirExactFormats) {
  std::string path = TempProfile("rf_kinds.ini");
  uint32_t yes = 1, no = 0;
  double number = 1.5;
  char text[16] = "D:";
  SettingDescriptor boolYes = {"K", "Yes", &yes, &yes, path.c_str(), SETTING_BOOL};
  SettingDescriptor boolNo = {"K", "No", &no, &no, path.c_str(), SETTING_BOOL};
  SettingDescriptor real = {"K", "Real", &number, &number, path.c_str(), SETTING_DOUBLE};
  SettingDescriptor str = {"K", "Text", text, text, path.c_str(), SETTING_TEXT | sizeof text};
  for (const SettingDescriptor* d : {&boolYes, &boolNo, &real, &str}) EXPECT_NE(WriteSetting(d), 0);
  EXPECT_EQ(Raw(path, "K", "Yes"), "Yes");
  EXPECT_EQ(Raw(path, "K", "No"), "No");
  EXPECT_EQ(Raw(path, "K", "Real"), "1.500000");
  EXPECT_EQ(Raw(path, "K", "Text"), "D:");
}

TEST_F(SettingsTest, EveryKindRoundTrips) {
  std::string path = TempProfile("rf_roundtrip.ini");
  std::vector<SettingDescriptor> table = TableAt(path);
  g_settings.Priority = -3;
  g_settings.Priority2 = 5;
  g_settings.OffsetHi = 0xFFFFFFFFu;
  g_settings.Top = 1;
  g_settings.Tip = 0;
  strcpy(g_settings.File, "C:\\録画\\表示.m2p");
  for (const SettingDescriptor& d : table) WriteSetting(&d);
  Settings written = g_settings;
  g_settings = saved_;
  for (const SettingDescriptor& d : table) ReadSetting(&d);
  EXPECT_EQ(g_settings.Priority, -3);
  EXPECT_EQ(Raw(path, "Window", "Priority"), "-3");
  EXPECT_EQ(g_settings.Priority2, 5);
  EXPECT_EQ(g_settings.OffsetHi, 0xFFFFFFFFu);
  EXPECT_EQ(g_settings.Top, 1u);
  EXPECT_EQ(g_settings.Tip, 0u);
  EXPECT_STREQ(g_settings.File, written.File);
  EXPECT_EQ(memcmp(&g_settings, &written, sizeof written), 0);
}

TEST_F(SettingsTest, ValuesAreReadAsTheirKindsDefine) {
  std::string path = TempProfile("rf_read.ini");
  std::vector<SettingDescriptor> table = TableAt(path);
  Put(path, "Color", "Working", "FF");
  Put(path, "Window", "Top", "yes");
  Put(path, "Window", "Tip", "maybe");
  Put(path, "Window", "Progress", "no");
  Put(path, "Input", "Serial", "1");
  Put(path, "Output", "Wait", "NO");
  Put(path, "Window", "Priority", "-8");
  EXPECT_EQ(ReadSetting(&table[SET_WORKING]), 0xFF);
  EXPECT_EQ(g_settings.Working, 0x000000FFu);
  EXPECT_EQ(ReadSetting(&table[SET_TOP]), 1);
  EXPECT_EQ(ReadSetting(&table[SET_TIP]), 1);       // default Yes: anything but No
  EXPECT_EQ(ReadSetting(&table[SET_PROGRESS]), 0);  // No, case ignored
  EXPECT_EQ(ReadSetting(&table[SET_SERIAL]), 1);    // default Yes
  EXPECT_EQ(ReadSetting(&table[SET_WAIT]), 0);
  EXPECT_EQ(ReadSetting(&table[SET_PRIORITY]), -8);
  // The default is the variable's value before the read: make it No again.
  g_settings.Top = 0;
  Put(path, "Window", "Top", "1");  // default No: only Yes is true
  EXPECT_EQ(ReadSetting(&table[SET_TOP]), 0);
}

TEST_F(SettingsTest, MissingFileGivesEveryDefault) {
  std::string path = TempProfile("rf_absent.ini");
  std::vector<SettingDescriptor> table = TableAt(path);
  for (const SettingDescriptor& d : table) ReadSetting(&d);
  EXPECT_EQ(memcmp(&g_settings, &saved_, sizeof saved_), 0);
  EXPECT_EQ(g_settings.Working, 0x0060FF60u);
  EXPECT_EQ(g_settings.Waiting, 0x0060E060u);
  EXPECT_EQ(g_settings.FileEnd, 0x0060FFFFu);
  EXPECT_EQ(g_settings.ProgressBar, 0x00FF0000u);
  EXPECT_EQ(g_settings.ProgressArea, 0x00FFFFFFu);
  EXPECT_EQ(g_settings.TipHelp, 0x00E1FFFFu);
  EXPECT_EQ(g_settings.Stop, 50u);
  EXPECT_EQ(g_settings.Head, 1u);
  EXPECT_EQ(g_settings.Tip, 1u);
  EXPECT_EQ(g_settings.Wait, 1u);
  EXPECT_EQ(g_settings.Serial, 1u);
  EXPECT_EQ(g_settings.Top, 0u);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);  // reading creates nothing
}

TEST_F(SettingsTest, EmptyOrUnparsableIntegerKeepsTheDefault) {
  std::string path = TempProfile("rf_bad.ini");
  std::vector<SettingDescriptor> table = TableAt(path);
  Put(path, "Output", "Stop", "");
  Put(path, "Output", "Size", "abc");
  EXPECT_EQ(ReadSetting(&table[SET_STOP]), 50);
  EXPECT_EQ(ReadSetting(&table[SET_SIZE]), 0);
}

TEST_F(SettingsTest, TextLongerThanItsBufferIsCut) {
  std::string path = TempProfile("rf_text.ini");
  char buffer[8] = "";
  SettingDescriptor d = {"T", "Long", buffer, buffer, path.c_str(), SETTING_TEXT | sizeof buffer};
  Put(path, "T", "Long", "abcdefghijkl");
  EXPECT_EQ(ReadSetting(&d), 7);
  EXPECT_STREQ(buffer, "abcdefg");
}

TEST_F(SettingsTest, TextWithoutVariableReturnsOnlyItsLength) {
  std::string path = TempProfile("rf_novar.ini");
  SettingDescriptor d = {"T", "Value", nullptr, nullptr, path.c_str(), SETTING_TEXT | 292};
  Put(path, "T", "Value", "1,2,3");
  EXPECT_EQ(ReadSetting(&d), 5);
}

TEST_F(SettingsTest, TextOfAnyDescriptorThroughTheCallersBuffer) {
  std::string path = TempProfile("rf_ofn.ini");
  std::vector<SettingDescriptor> table = TableAt(path);
  EXPECT_NE(WriteSettingText(&table[SET_OFN], "1,120,80,60,40"), 0);
  char buffer[292];
  EXPECT_STREQ(ReadSettingText(&table[SET_OFN], buffer, sizeof buffer), "1,120,80,60,40");
  char small[4];
  EXPECT_STREQ(ReadSettingText(&table[SET_OFN], small, sizeof small), "1,1");
  // Read as text even where the descriptor is a number.
  Put(path, "Window", "Priority", "-2");
  EXPECT_STREQ(ReadSettingText(&table[SET_PRIORITY], buffer, sizeof buffer), "-2");
  EXPECT_EQ(g_settings.Priority, saved_.Priority);
}

TEST_F(SettingsTest, ProfilePathsResolve) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  char path[260];
  SettingDescriptor d = {"S", "K", nullptr, nullptr, nullptr, SETTING_INT32};
  // This test program is not Ringfeed.exe: the bare name, found in the Windows directory.
  EXPECT_STREQ(ProgramDirectory(), "");
  ASSERT_TRUE(ResolveProfilePath(&d, path));
  EXPECT_STREQ(path, "Ringfeed.ini");
  d.profilePath = "\\\\server\\share\\a.ini";
  ASSERT_TRUE(ResolveProfilePath(&d, path));
  EXPECT_STREQ(path, "\\\\server\\share\\a.ini");
  d.profilePath = "D:\\a.ini";
  ASSERT_TRUE(ResolveProfilePath(&d, path));
  EXPECT_STREQ(path, "D:\\a.ini");
  d.profilePath = "sub.ini";
  ASSERT_TRUE(ResolveProfilePath(&d, path));
  EXPECT_EQ(std::string(path), std::string(windows) + "\\sub.ini");
  std::string tooLong(300, 'x');
  d.profilePath = tooLong.c_str();
  EXPECT_FALSE(ResolveProfilePath(&d, path));
  EXPECT_EQ(ReadSetting(&d), 0);
  EXPECT_EQ(WriteSetting(&d), 0);
}

TEST_F(SettingsTest, ForeignExecutableUsesTheProfileInTheWindowsDirectory) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string path = std::string(windows) + "\\Ringfeed.ini";
  DeleteFileA(path.c_str());
  Put(path, "Output", "Stop", "77");
  EXPECT_EQ(ReadSetting(SET_STOP), 77);
  DeleteFileA(path.c_str());
}

TEST_F(SettingsTest, ExitWritesPositionThenTheTwentyOneSettingsInOrder) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string path = std::string(windows) + "\\Ringfeed.ini";
  DeleteFileA(path.c_str());
  SaveSettingsAtExit(false, 120, -40);
  std::string text = FileText(path);
  const char* order[] = {"X=120", "Y=-40", "Top=No", "Tip=Yes", "Progress=Yes", "Minimized=No",
                         "Priority=0", "Priority2=0", "FolderList=", "Folder=", "File=",
                         "OffsetLo=0", "OffsetHi=0", "Serial=Yes", "Drive=", "Offset=0", "Size=0",
                         "Clear=No", "Wait=Yes", "Stop=50", "Head=1", "NoStop=No", "Rewind=No"};
  size_t at = 0;
  for (const char* line : order) {
    SCOPED_TRACE(line);
    size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << text;
    at = found;
  }
  EXPECT_EQ(text.find("[Color]"), std::string::npos);
  EXPECT_EQ(text.find("Working"), std::string::npos);
  DeleteFileA(path.c_str());
}

TEST_F(SettingsTest, MinimisedExitKeepsTheStoredPosition) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string path = std::string(windows) + "\\Ringfeed.ini";
  DeleteFileA(path.c_str());
  Put(path, "Window", "X", "11");
  SaveSettingsAtExit(true, 500, 500);
  EXPECT_EQ(Raw(path, "Window", "X"), "11");
  EXPECT_EQ(Raw(path, "Window", "Y"), "<absent>");
  EXPECT_EQ(Raw(path, "Play", "Rewind"), "No");
  DeleteFileA(path.c_str());
}

// Browse and the worker's move to the next piece both write the input path
// while the other side may read it: a reader sees one whole path or the other.
TEST(InputPathTest, AReaderNeverSeesAHalfWrittenPath) {
  const std::string paths[] = {"T:\\Show.001.m2p", "C:\\録画\\" + std::string(200, 'x') + ".m2p"};
  StoreInputPath(paths[0].c_str());
  std::atomic<bool> done{false};
  std::atomic<int> stores{0};
  struct Writer {
    const std::string* paths;
    std::atomic<bool>* done;
    std::atomic<int>* stores;
    static DWORD WINAPI Run(void* self) {
      auto* w = static_cast<Writer*>(self);
      for (int i = 0; !*w->done; ++i, ++*w->stores) StoreInputPath(w->paths[i & 1].c_str());
      return 0;
    }
  } state{paths, &done, &stores};
  HANDLE writer = CreateThread(nullptr, 0, Writer::Run, &state, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  // Reads while the writer runs, for a second at most.
  int torn = 0;
  DWORD start = GetTickCount();
  for (int i = 0; (i < 200000 || stores < 200000) && GetTickCount() - start < 1000; ++i) {
    char read[MAX_PATH];
    LoadInputPath(read);
    if (read != paths[0] && read != paths[1]) ++torn;
  }
  done = true;
  WaitForSingleObject(writer, INFINITE);
  CloseHandle(writer);
  EXPECT_EQ(torn, 0);
}

}  // namespace
