// The name of a script file as the module and script tables hold it: the base name without its
// folder (after the last '\', '/' or ':') and without its extension (from the last dot of the
// base). The scan steps over Shift-JIS characters.
#pragma once

#include <string>

std::string ScriptBaseName(const char* path);
