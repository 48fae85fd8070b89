#include "control/command_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(StartStop, StopsWhileCopyingStartsOnlyWithAnInput) {
  EXPECT_EQ(DecideStartStop(false, true), START_STOP_STOP);
  EXPECT_EQ(DecideStartStop(false, false), START_STOP_STOP);
  EXPECT_EQ(DecideStartStop(true, true), START_STOP_START);
  EXPECT_EQ(DecideStartStop(true, false), START_STOP_NOTHING);
}

TEST(SizeChange, SameSizeNothingCopyingRestores) {
  EXPECT_EQ(DecideSizeChange(29, 29, true), CHOICE_KEEP);
  EXPECT_EQ(DecideSizeChange(29, 29, false), CHOICE_KEEP);
  EXPECT_EQ(DecideSizeChange(30, 29, true), CHOICE_TAKE);
  EXPECT_EQ(DecideSizeChange(30, 29, false), CHOICE_RESTORE);
  EXPECT_EQ(DecideSizeChange(28, 0, true), CHOICE_TAKE) << "start-up takes the size over";
}

TEST(DriveChange, ComparesTheFirstTwoCharactersIgnoringCase) {
  struct Case {
    const char* item;
    const char* drive;
    bool stopped;
    ChoiceAction action;
  } cases[] = {
      {"D:\\  1,000 x", "D:", true, CHOICE_KEEP},
      {"d:\\", "D:", false, CHOICE_KEEP},
      {"E:\\", "D:", true, CHOICE_TAKE},
      {"E:\\", "D:", false, CHOICE_RESTORE},
      {"C:\\", "", true, CHOICE_TAKE},  // first run
      {"", "D:", true, CHOICE_KEEP},    // nothing selected: keep the drive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.item << " / " << c.drive << " stopped " << c.stopped);
    EXPECT_EQ(DecideDriveChange(c.item, c.drive, c.stopped), c.action);
  }
}

}  // namespace
