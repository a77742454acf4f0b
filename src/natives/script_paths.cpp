#include "natives/script_paths.h"

#include <algorithm>

#include "files/path_utils.h"
#include "winapi/kernel.h"

namespace {

std::string Upper(std::string text)
{
    CharUpperA(text.data());
    return text;
}

// Where a full, normalised path really leads: its deepest existing part with every symbolic link
// followed, and the rest (which does not exist yet) joined as named → false when it cannot be
// told (a loop of links, a name the disk cannot give back).
bool RealPath(const std::string& full, std::string* out)
{
    std::string existing = full;
    std::string rest;
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetLongPathNameA(existing.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n >= buffer.size()) {
            buffer.resize(n);
            n = GetLongPathNameA(existing.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        }
        if (n > 0 && n < buffer.size()) {
            *out = buffer.substr(0, n) + rest;
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return false;
        // Cut the last part off (a trail byte 0x5C is no separator).
        size_t cut = std::string::npos;
        for (size_t i = 0; i < existing.size(); ++i) {
            if (existing[i] == '\\')
                cut = i;
            else if (IsDBCSLeadByte(static_cast<BYTE>(existing[i])))
                ++i;
        }
        if (cut == std::string::npos || cut < 2)
            return false;
        if (cut == 2) { // nothing of it exists below the drive's root, which is no link
            *out = existing + rest;
            return true;
        }
        rest = existing.substr(cut) + rest;
        existing.resize(cut);
    }
}

bool IsInside(const std::string& upperPath, const std::string& upperRoot)
{
    return upperPath.size() > upperRoot.size() && upperPath.compare(0, upperRoot.size(), upperRoot) == 0;
}

} // namespace

bool NormalizeFullPath(const std::string& path, std::string* out)
{
    // A full path here is "X:\..." (the stand-in's drives); UNC names are not roots of scripts.
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/'))
        return false;
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 3; i <= path.size(); ++i) {
        const unsigned char c = i < path.size() ? static_cast<unsigned char>(path[i]) : '\0';
        if (i < path.size() && IsDBCSLeadByte(c) && i + 1 < path.size()) {
            part.push_back(path[i]);
            part.push_back(path[++i]);
            continue;
        }
        if (c == '\\' || c == '/' || c == '\0') {
            if (part == "..") {
                if (parts.empty())
                    return false;
                parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
            continue;
        }
        if (c == ':')
            return false;
        part.push_back(static_cast<char>(c));
    }
    *out = path.substr(0, 2) + "\\";
    for (size_t i = 0; i < parts.size(); ++i)
        *out += (i ? "\\" : "") + parts[i];
    return true;
}

bool CScriptPathRoots::AddRoot(const char* folder)
{
    if (folder == nullptr || folder[0] == '\0')
        return true;
    char full[MAX_PATH];
    std::string normal;
    if (MakeFullPath(full, folder, nullptr) == 0 || !NormalizeFullPath(full, &normal))
        return false;
    if (normal.back() != '\\')
        normal += '\\';
    m_roots.push_back(Upper(normal));
    return true;
}

bool CScriptPathRoots::Resolve(const char* name, std::string* path) const
{
    char full[MAX_PATH];
    std::string normal;
    if (name == nullptr || name[0] == '\0' || MakeFullPath(full, name, nullptr) == 0 ||
        !NormalizeFullPath(full, &normal))
        return false;
    const std::string upper = Upper(normal);
    if (std::none_of(m_roots.begin(), m_roots.end(), [&](const std::string& root) { return IsInside(upper, root); }))
        return false;
    // Inside by name: it must also lead inside, past any symbolic link on the way.
    std::string real;
    if (!RealPath(normal, &real))
        return false;
    real = Upper(real);
    for (const std::string& root : m_roots) {
        std::string realRoot;
        if (!RealPath(root.size() > 3 ? root.substr(0, root.size() - 1) : root, &realRoot))
            continue;
        realRoot = Upper(realRoot);
        if (realRoot.back() != '\\')
            realRoot += '\\';
        if (IsInside(real, realRoot)) {
            *path = normal;
            return true;
        }
    }
    return false;
}
