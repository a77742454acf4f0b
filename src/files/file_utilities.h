// File utilities of the game's menus and the script natives: size, date and existence through
// the file manager, last-write comparison, a conditional copy, starting a program and opening a
// folder in the file browser. Relative paths are made full against the base folder.
#pragma once

#include <cstdint>

#include "winapi/base.h"

// Size (low 32 bits) of the file the file manager finds; -1 when not found or no file manager.
int32_t GetFileSizeAny(const char* name);
// Local last-write time; each output optional. → 0, 3 no file manager, else FindFile's code
// (1 bad path, 2 absolute and missing, 3 not found).
int GetFileDateTime(const char* name, int* year, int* month, int* day, int* hour, int* minute, int* second,
                    int* dayOfWeek);
bool FileExistsAny(const char* name);
// 1 when A was written later than B, 0 when not; -1 when A is missing or unusable, 1 when B is.
// A null path uses the time given for it.
int IsFileNewer(const char* pathA, const char* pathB, FILETIME timeA, FILETIME timeB);
// Mode 0 copies when the source is newer, 1 always, 2 never over an existing file.
// → 0 copied, 1 skipped, 2 bad path or (mode 2) the destination exists, -1 the copy failed.
int CopyFileChecked(const char* destination, const char* source, int mode);
// Wait mode 1 until the program ends, 2 until it waits for input, else none.
// → 0 started, 1 not started (also for a command line longer than 259 bytes).
int RunProcess(const char* commandLine, int waitMode);
// → 0 started, 1 bad path (or "explorer " and the path longer than 271 bytes), 2 not started.
int OpenFolderInExplorer(const char* folder);
