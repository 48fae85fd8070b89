// The Control window preview (dialog 107): the frame at the place the copy
// position bar points to, shown above the Control window while it is moved.
#pragma once

// Opens a session on the input when none is open, shows the window, and
// draws the frame at `permille` of the input unless it was drawn last.
void ShowPreview(int permille);
void HidePreview();
