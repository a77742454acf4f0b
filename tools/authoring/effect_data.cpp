#include "authoring/effect_data.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "authoring/elg_encoder.h"
#include "authoring/sample_pictures.h"

namespace effect_data {

namespace {

bool Add(std::vector<File>& files, const std::string& name, int width, int height, const std::vector<uint32_t>& pixels,
         std::string* error)
{
    elg::Picture picture;
    if (!elg::PictureFromPixels(width, height, pixels.data(), 32, picture, error))
        return false;
    File file{name, {}};
    if (!elg::Encode(picture, elg::Options{}, file.bytes, error))
        return false;
    files.push_back(std::move(file));
    return true;
}

// A strip of frames, each a round soft spot whose size and brightness change from frame to frame,
// over the sample's colours.
std::vector<uint32_t> Strip(int frames, int side, uint32_t seed, bool soft)
{
    const std::vector<uint32_t> colours = samples::WithAlpha(side * frames, side, seed);
    std::vector<uint32_t> pixels(colours.size());
    const double centre = (side - 1) / 2.0;
    for (int f = 0; f < frames; ++f) {
        const double radius = side / 2.0 * (0.6 + 0.4 * (f % 5) / 4.0);
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const size_t i = size_t(y) * side * frames + size_t(f) * side + x;
                const double d = std::hypot(x - centre, y - centre) / radius;
                uint32_t alpha = d >= 1.0 ? 0 : soft ? static_cast<uint32_t>((1.0 - d) * 255.0) : 255;
                pixels[i] = alpha << 24 | (colours[i] & 0xFFFFFF);
            }
        }
    }
    return pixels;
}

} // namespace

std::vector<File> Make(uint32_t seed, std::string* error)
{
    std::vector<File> files;
    bool ok = Add(files, "SYS/NOISE.ELG", 96, 64, samples::PhotoLike(96, 64, seed), error);
    char name[32];
    for (int k = 0; ok && k < 8; ++k) {
        std::snprintf(name, sizeof name, "SYS/PAPER_%d.ELG", k);
        const int side = 8 + k;
        ok = Add(files, name, side * 24, side, Strip(24, side, seed + 1 + k, false), error);
    }
    for (int k = 0; ok && k < 3; ++k) {
        std::snprintf(name, sizeof name, "SYS/GR_LT%d.ELG", k);
        const int side = 16 + 8 * k;
        ok = Add(files, name, side * 5, side, Strip(5, side, seed + 11 + k, true), error);
    }
    for (int k = 0; ok && k < 5; ++k) {
        std::snprintf(name, sizeof name, "SYS/SNOW_%d.ELG", k);
        const int side = 4 + 2 * k;
        ok = Add(files, name, side, side, Strip(1, side, seed + 21 + k, true), error);
    }
    if (!ok)
        files.clear();
    return files;
}

bool Write(const std::string& folder, uint32_t seed, std::string* error)
{
    const std::vector<File> files = Make(seed, error);
    if (files.empty())
        return false;
    for (const File& file : files) {
        const std::filesystem::path path = std::filesystem::path(folder) / file.name;
        std::error_code code;
        std::filesystem::create_directories(path.parent_path(), code);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        if (!out) {
            if (error)
                *error = "cannot write " + path.string();
            return false;
        }
    }
    return true;
}

} // namespace effect_data
