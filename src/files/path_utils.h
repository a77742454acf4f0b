// Windows path helpers, Shift-JIS aware: a lead byte (0x81-0x9F, 0xE0-0xFC) starts a two-byte
// character whose second byte is never taken for a separator, dot or colon. Separators are '\'
// and '/'. Buffers are MAX_PATH bytes; a result that would not fit is refused.
#pragma once

#include "winapi/base.h"

// The program's base folder, always ending in '\'.
extern char g_BaseFolder[MAX_PATH];

// Base folder := the module's folder (GetModuleFileNameA cut after the last separator) → 0, 1.
int SetBaseFolderFromModule(HMODULE module);
// Base folder := path made full against the current base folder, '\' added → 0, or 1 bad path.
int SetBaseFolder(const char* path);

// → 0 failure (null argument, ".." above the root, empty base, too long), 1 absolute, 2 relative.
// Absolute: starts with "\\" or holds a colon; copied as it stands. Relative: leading ".\" dropped,
// each leading "..\" cuts a folder off the base (folder, or g_BaseFolder when null), one leading
// separator dropped; out = base + rest. Slashes of the copied part become backslashes.
int MakeFullPath(char* out, const char* path, const char* folder);
// True when the last character is a separator (a trail byte 0x5C is none).
bool EndsWithSeparator(const char* path);
// Cuts in place after the last separator (before a final one) → 0, or 1 unchanged (shorter than
// 3 bytes, no separator, or a UNC server name).
int CutLastPathComponent(char* path);
// Cuts path after its last separator and copies the file name into outName (when given).
void SplitPath(char* path, char* outName);
// The last component; for a path ending in a separator the last folder (folderFlag) or empty.
void GetFileName(const char* path, char* out, bool folderFlag);
// The text after the last dot, empty when there is none.
void GetFileExtension(const char* name, char* out);
// Cuts path at its last dot, copying the extension into outExt when given.
void StripExtension(char* path, char* outExt);
// → 0 found (the drive root copied to outRoot), 1 no CD-ROM drive, 2 not found.
int FindFileOnCdDrives(const char* name, char* outRoot);
