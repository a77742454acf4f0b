// Shared helpers of the picture tests: an allocate callback that records what a loader asked for,
// and access to ImageMagick's convert for fixtures made by a tool nobody here wrote.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "files/image_loader.h"

namespace picture_test {

// Receives a load: remembers the arguments and hands out a buffer with extraPitch spare bytes a row.
struct Target {
    int extraPitch = 0;
    bool refuse = false;
    int width = 0;
    int height = 0;
    int bits = 0;
    bool hasAlpha = false;
    bool paletteRequested = false;
    int pitch = 0;
    int calls = 0;
    std::vector<BYTE> pixels;
    std::vector<BYTE> palette;

    static void* Allocate(int width, int height, int bits, BOOL hasAlpha, int* pitch, BYTE** palette, void* user)
    {
        auto* t = static_cast<Target*>(user);
        ++t->calls;
        if (t->refuse)
            return nullptr;
        t->width = width;
        t->height = height;
        t->bits = bits;
        t->hasAlpha = hasAlpha != 0;
        t->paletteRequested = palette != nullptr;
        t->pitch = width * (bits / 8) + t->extraPitch;
        *pitch = t->pitch;
        t->pixels.assign(static_cast<size_t>(t->pitch) * height, 0xCD);
        if (palette != nullptr) {
            t->palette.assign(1024, 0xCD);
            *palette = t->palette.data();
        }
        return t->pixels.data();
    }
    uint32_t Pixel32(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, pixels.data() + static_cast<size_t>(pitch) * y + x * 4, 4);
        return v;
    }
    BYTE Pixel8(int x, int y) const { return pixels[static_cast<size_t>(pitch) * y + x]; }
};

inline std::string TempDir()
{
    // One folder per process: ctest runs the cases of one program side by side, and a shared
    // fixture file rewritten by one case while another reads it gave the reader half a picture.
    std::string dir = std::string(TESSARO_BINARY_DIR) + "/tmp_pictures/" + std::to_string(getpid());
    std::string command = "mkdir -p '" + dir + "'";
    if (std::system(command.c_str()) != 0)
        return "/tmp";
    return dir;
}

inline bool HaveConvert() { return std::system("convert -version >/dev/null 2>&1") == 0; }

inline bool RunConvert(const std::string& args)
{
    const std::string command = "convert " + args + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// convert's own decoding of a file, as 8-bit RGBA bytes.
inline std::vector<BYTE> ConvertRgba(const std::string& file)
{
    std::vector<BYTE> out;
    const std::string command = "convert '" + file + "' -depth 8 rgba:- 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    BYTE buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

inline std::vector<BYTE> ReadAll(const std::string& file)
{
    std::vector<BYTE> out;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr)
        return out;
    BYTE buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return out;
}

inline bool WriteAll(const std::string& file, const std::vector<BYTE>& bytes)
{
    FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// A PAM (RGB_ALPHA) file of 0xAARRGGBB pixels, the neutral source convert turns into each form.
inline bool WritePam(const std::string& file, int width, int height, const std::vector<uint32_t>& pixels)
{
    std::string head = "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height)
                       + "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    std::vector<BYTE> bytes(head.begin(), head.end());
    for (uint32_t p : pixels) {
        bytes.push_back(static_cast<BYTE>(p >> 16));
        bytes.push_back(static_cast<BYTE>(p >> 8));
        bytes.push_back(static_cast<BYTE>(p));
        bytes.push_back(static_cast<BYTE>(p >> 24));
    }
    return WriteAll(file, bytes);
}

inline uint32_t Le32(const std::vector<BYTE>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline void PutLe32(std::vector<BYTE>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

}  // namespace picture_test
