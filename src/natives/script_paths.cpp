#include "natives/script_paths.h"

#include "files/path_utils.h"
#include "winapi/kernel.h"

namespace {

std::string Upper(std::string text)
{
    CharUpperA(text.data());
    return text;
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
    for (const std::string& root : m_roots) {
        if (upper.size() > root.size() && upper.compare(0, root.size(), root) == 0) {
            *path = normal;
            return true;
        }
    }
    return false;
}
