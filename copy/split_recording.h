// Split recordings: the name of the next piece of a recording stored as
// numbered files or as retry files, and the search for it on disk.
//
// Threading: Copy worker only. Names are code page 932; a trail byte is
// never taken for '\\', ':', '.' or '['.
#pragma once

#include <windows.h>

struct PieceCandidate {
  char path[MAX_PATH];  // in the work name's letter case
  int numbered;         // 1: a numbered piece of one stream; 0: a retry file
};

// The candidates for the piece after inputPath, in the order they are tried
// (at most three). Returns their count; 0 when the name has no usable shape.
int BuildPieceCandidates(const char* inputPath, PieceCandidate candidates[3]);

// Looks for the candidates in order. On success rewrites inputPath (the
// folder as it was, the file name as stored on disk), sets *numbered and
// returns 1.
int FindNextPiece(char* inputPath, int* numbered);
