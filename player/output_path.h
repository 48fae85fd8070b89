// Where the output ring file lives: "$Ringfeed.mpg" at the root of the drive.
#pragma once

#include <cstddef>

// "D:" gives "D:\$Ringfeed.mpg". False (and an empty path) when it does not fit.
bool FormatOutputPath(const char* drive, char* path, size_t size);
