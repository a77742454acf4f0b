#include "script/script_name.h"

#include <cstring>

#include "winapi/kernel.h"

std::string ScriptBaseName(const char* path)
{
    size_t start = 0, dot = std::string::npos;
    const size_t length = std::strlen(path);
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(c) && i + 1 < length) {
            ++i;
        } else if (c == '\\' || c == '/' || c == ':') {
            start = i + 1;
            dot = std::string::npos;
        } else if (c == '.') {
            dot = i;
        }
    }
    return std::string(path + start, (dot == std::string::npos ? length : dot) - start);
}
