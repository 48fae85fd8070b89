// The play button: start the Player when needed, make it open the output
// file through its own open-file dialog, and press play unless it plays.
//
// Threading: user-interface thread only; it waits (boundedly) without
// pumping messages, as the whole hand-over is one synchronous command.
#pragma once

void OpenOutputInPlayer();
