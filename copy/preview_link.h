// The program's side of the shared preview session: the openers (Input
// dialog, Control window preview) go through OpenPreviewSession so that the
// audio correction learns the audio bit rate of every session opened.
//
// Threading: opened on the user-interface thread; the Copy worker closes the
// session with preview_close when it takes over a new input or closes its
// input file.
#pragma once

#include <cstdint>

#include "mpeg/session.h"

// preview_open; on success the stream information's audio bit rate becomes
// the one the audio correction uses. Each out argument may be null.
int OpenPreviewSession(const char* path, FileHandle* file, BitmapHeader* header, StreamInfo* info);

// The audio bit rate the correction uses after a session with this record:
// a session that found no audio header keeps the earlier rate.
uint32_t AudioBitRateAfterOpen(const StreamInfo& info, uint32_t earlier);
