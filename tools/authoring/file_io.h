// Small helpers of the command-line tools: whole files in and out (Linux paths) and the Windows
// path of a Linux path for the engine's calls.
#pragma once

#include <string>
#include <vector>

#include "winapi/base.h"

bool ReadWholeFile(const std::string& path, std::vector<BYTE>* out);
bool WriteWholeFile(const std::string& path, const BYTE* data, size_t size);
// "Z:\..." for a Linux path, made absolute against the current folder first.
std::string WindowsPathOf(const std::string& linuxPath);
// The Shift-JIS form of a name given in UTF-8 (on the command line or on disk); false, with an
// error naming it, when some character has no Shift-JIS form.
bool SjisName(const std::string& utf8, std::string* sjis, std::string* error);
// WindowsPathOf, checked the same way.
bool CheckedWindowsPathOf(const std::string& linuxPath, std::string* out, std::string* error);
