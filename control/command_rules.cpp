#include "control/command_rules.h"

#include <cctype>

StartStopAction DecideStartStop(bool stopped, bool haveInput) {
  if (!stopped) return START_STOP_STOP;
  return haveInput ? START_STOP_START : START_STOP_NOTHING;
}

ChoiceAction DecideSizeChange(unsigned chosen, unsigned current, bool stopped) {
  if (chosen == current) return CHOICE_KEEP;
  return stopped ? CHOICE_TAKE : CHOICE_RESTORE;
}

ChoiceAction DecideDriveChange(const char* chosenItem, const char* currentDrive, bool stopped) {
  // No selection (the drive is gone) must not wipe out the chosen drive.
  if (chosenItem[0] == '\0') return CHOICE_KEEP;
  bool same = true;
  for (int i = 0; i < 2 && same; ++i) {
    unsigned char a = static_cast<unsigned char>(chosenItem[i]);
    unsigned char b = static_cast<unsigned char>(currentDrive[i]);
    same = tolower(a) == tolower(b);
    if (a == '\0' || b == '\0') break;
  }
  if (same) return CHOICE_KEEP;
  return stopped ? CHOICE_TAKE : CHOICE_RESTORE;
}
