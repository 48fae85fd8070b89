// Decisions of the Control window's commands that need no window.
#pragma once

enum StartStopAction { START_STOP_NOTHING, START_STOP_STOP, START_STOP_START };

// The Start/Stop button: stop while copying, start when stopped with an input.
StartStopAction DecideStartStop(bool stopped, bool haveInput);

enum ChoiceAction {
  CHOICE_KEEP,     // nothing changed
  CHOICE_TAKE,     // take the new choice over and tell the Copy worker
  CHOICE_RESTORE,  // copying: select the current choice again
};

// A size exponent chosen in the combo box against the current `Size`.
ChoiceAction DecideSizeChange(unsigned chosen, unsigned current, bool stopped);

// A drive item chosen ("D:\ ..." or empty when nothing is selected) against
// the current `Drive` ("D:"); compared on the first two characters, ignoring
// case.
ChoiceAction DecideDriveChange(const char* chosenItem, const char* currentDrive, bool stopped);
