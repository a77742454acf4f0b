// Script paths: any name through ResolveScriptPath on a host whose game and save folder holds a
// sub-folder and a symbolic link that leads out of it. A name is answered only as a normalised
// path inside the folder by its letters and, past every link, on the disk; anything else is
// refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fuzz_input.h"
#include "support/script_host_fixture.h"
#include "winapi/kernel_file.h"
#include "winapi/text.h"
#include "support/library_leaks.h"

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

// The parts of a path between its separators; a trail byte 0x5C is no separator.
std::vector<std::string> Parts(const std::string& path)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\') {
            parts.emplace_back();
        } else if (winapi::IsSjisLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            parts.back() += path.substr(i, 2);
            ++i;
        } else {
            parts.back() += path[i];
        }
    }
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CScriptHost& host = fuzzhost::Host();
    static const std::string folder = fuzzhost::Fixture().folder;
    static const std::string root = [] {
        std::error_code error;
        std::filesystem::create_directories(folder + "/in", error);
        std::filesystem::create_symlink("/", folder + "/out", error);
        std::string windows = "Z:" + folder + "\\";
        for (char& c : windows)
            c = c == '/' ? '\\' : c;
        return Upper(windows);
    }();
    static const std::string realFolder = std::filesystem::canonical(folder).string() + "/";
    FuzzInput in{data, size};
    std::string name;
    while (name.size() < 400 && !in.AtEnd()) {
        const char c = static_cast<char>(in.Byte());
        if (c == '\0')
            break;
        name.push_back(c);
    }
    std::string path;
    if (!host.ResolveScriptPath(name.c_str(), &path))
        return 0;
    // Inside the folder by its letters, with no "." or ".." part left.
    const std::string upper = Upper(path);
    if (upper.compare(0, root.size(), root) != 0)
        std::abort();
    const std::vector<std::string> parts = Parts(path);
    for (size_t i = 1; i < parts.size(); ++i) { // parts[0] is the drive
        if (parts[i] == "." || parts[i] == "..")
            std::abort();
    }
    // And on the disk, where the stand-in finds names without regard to case: the deepest
    // existing part, past its links, lies inside too.
    std::string hostPath;
    if (!winapi::ResolvePath(path.c_str(), &hostPath))
        std::abort();
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(hostPath, error);
    if (!error && (real.string() + "/").compare(0, realFolder.size(), realFolder) != 0)
        std::abort();
    return 0;
}
