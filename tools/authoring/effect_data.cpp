#include "authoring/effect_data.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "authoring/elg_encoder.h"
#include "authoring/image_group_writer.h"
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

// An 8-bit rule picture with the grey palette: index = the pixel's threshold.
bool AddRule(std::vector<File>& files, const std::string& name, int width, int height,
             const std::vector<uint8_t>& indexes, std::string* error)
{
    elg::Picture picture;
    picture.width = width;
    picture.height = height;
    picture.depth = 8;
    picture.indexes = indexes;
    picture.palette.resize(1024);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            picture.palette[size_t(i) * 4 + c] = static_cast<uint8_t>(i);
    File file{name, {}};
    if (!elg::Encode(picture, elg::Options{}, file.bytes, error))
        return false;
    files.push_back(std::move(file));
    return true;
}

// The rules of the transitions: a left-to-right ramp, a radial ramp and noise.
bool AddRules(std::vector<File>& files, uint32_t seed, std::string* error)
{
    constexpr int kW = 800, kH = 600;
    std::vector<uint8_t> ramp(size_t(kW) * kH), radial(ramp.size()), noise(ramp.size());
    const double reach = std::hypot(kW / 2.0, kH / 2.0);
    uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const size_t i = size_t(y) * kW + x;
            ramp[i] = static_cast<uint8_t>(x * 255 / (kW - 1));
            radial[i] = static_cast<uint8_t>(std::hypot(x - kW / 2.0, y - kH / 2.0) * 255 / reach);
            state = state * 1664525u + 1013904223u;
            noise[i] = static_cast<uint8_t>(state >> 24);
        }
    }
    return AddRule(files, "SYS/RULE001.ELG", kW, kH, ramp, error) &&
           AddRule(files, "SYS/RULE002.ELG", kW, kH, radial, error) &&
           AddRule(files, "SYS/RULE003.ELG", kW, kH, noise, error);
}

// The bg_anime folder: three groups over six frame files (F5 smaller, drawn at (8, 4)); group 0
// shows F0 twice, group 1 loops between a mark and a loop-back, group 2 ends the list.
const char kAnimeLayout[] = R"(header 32 24 0 3
record 0 0 F0.ELG
record 0 0 F1.ELG
record 0 0 F2.ELG
record 0 0 F3.ELG
record 0 0 F4.ELG
record 0 0 F5.ELG
entry 0 100 0 0 0
entry 1 100 0 0 0
entry 0 100 0 0 0
close
entry -1 1 0 0 0
entry 2 100 0 0 0
entry 3 100 0 0 0
entry -1 2 0 0 0
close
entry 4 100 0 0 0
entry 5 50 8 4 0
)";

bool AddAnime(std::vector<File>& files, std::string* error)
{
    for (int k = 0; k < 6; ++k) {
        const int side = k == 5 ? 16 : 0;
        const int w = side ? side : 32, h = side ? side : 24;
        // Every pixel tells its frame: red 40 × k, blue k.
        const std::vector<uint32_t> pixels(size_t(w) * h, 0xFF000000u | uint32_t(40 * k) << 16 | uint32_t(k));
        if (!Add(files, "ANIME/F" + std::to_string(k) + ".ELG", w, h, pixels, error))
            return false;
    }
    File kad{"ANIME/BG.KAD", {}};
    if (!image_groups::BuildKad(kAnimeLayout, kad.bytes, error))
        return false;
    files.push_back(std::move(kad));
    return true;
}

// A part picture: an opaque ellipse of colour over transparency.
std::vector<uint32_t> PartPicture(int width, int height, uint32_t colour)
{
    std::vector<uint32_t> pixels(size_t(width) * height, 0);
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = (x - cx) / (width / 2.0), dy = (y - cy) / (height / 2.0);
            if (dx * dx + dy * dy < 1.0)
                pixels[size_t(y) * width + x] = 0xFF000000u | ((colour & 0xFFFFFF) ^ uint32_t(x * 8 + y));
        }
    return pixels;
}

// The sample parts list "SYS/CA040.TXT": eyes that blink, a mouth that talks (docs/parts-list.md).
bool AddPartsList(std::vector<File>& files, std::string* error)
{
    if (!Add(files, "SYS/CA040_EYE.ELG", 24, 12, PartPicture(24, 12, 0x203060), error) ||
        !Add(files, "SYS/CA040_MOUTH.ELG", 16, 8, PartPicture(16, 8, 0xC04040), error))
        return false;
    const char* const lines[] = {
        "// CA040: eyes that blink, a mouth that talks",
        "* CA040_EYE.ELG",
        "40, 30",
        "t 400",
        "40, 30",
        "t 80",
        "40, 30, 0",
        "t 80",
        "40, 30, 255",
        "s",
        "* CA040_MOUTH.ELG",
        "44, 60",
        "l 0, 2, 0, 0",
        "t 200",
        "44, 60",
        "s",
    };
    File file{"SYS/CA040.TXT", {}};
    for (const char* line : lines) {
        file.bytes.insert(file.bytes.end(), line, line + std::strlen(line));
        file.bytes.push_back('\r');
        file.bytes.push_back('\n');
    }
    files.push_back(std::move(file));
    return true;
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
    ok = ok && AddRules(files, seed, error) && AddPartsList(files, error);
    ok = ok && AddAnime(files, error);
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
