// Picture files for the tools, through the engine's own image loaders.
#include "authoring/picture_io.h"
#include "authoring/picture_readers.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "files/bmp_loader.h"
#include "files/gll_manager.h"

namespace pictures {
namespace {

struct Target {
    Decoded* out;
    std::vector<uint32_t> rows;
};

void* Allocate(int width, int height, int bits, BOOL hasAlpha, int* pitch, BYTE** palette, void* user)
{
    auto* t = static_cast<Target*>(user);
    if (bits != 32 || width <= 0 || height <= 0 || palette != nullptr)
        return nullptr;
    t->out->width = width;
    t->out->height = height;
    t->out->hasAlpha = hasAlpha != 0;
    t->rows.assign(static_cast<size_t>(width) * height, 0);
    *pitch = width * 4;
    return t->rows.data();
}

DWORD Append(const void* data, DWORD bytes, void* user)
{
    auto* out = static_cast<std::vector<uint8_t>*>(user);
    const auto* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + bytes);
    return bytes;
}

}  // namespace

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool DecodeBytes(const std::vector<uint8_t>& bytes, const std::string& name, Decoded& out, std::string* error)
{
    CGllManager manager;
    RegisterBuiltinImageLoaders(manager);
    Target target{&out, {}};
    out = Decoded{};
    const auto size = static_cast<DWORD>(bytes.size());
    int code = kGllNotSupported;
    CImageLoader* loader = name.empty() ? nullptr : manager.FindByExtension(name.c_str(), false);
    if (loader != nullptr) {
        code = loader->Load(bytes.data(), size, Allocate, &target, FALSE, nullptr, nullptr);
        if (code == kGllOk) {
            out.x = loader->GetX();
            out.y = loader->GetY();
        }
    }
    if (code != kGllOk)
        code = manager.LoadImageFromMemory(bytes.data(), size, Allocate, nullptr, &target, FALSE, nullptr, nullptr,
                                           name.c_str(), &out.x, &out.y, nullptr, nullptr);
    if (code == kGllOk) {
        out.pixels = std::move(target.rows);
        return true;
    }
    // Pictures the engine does not read: PNG, and BMP headers other than its 40-byte one.
    const std::string what = name.empty() ? std::string("the picture") : name;
    ReadPicture read;
    std::string why;
    bool ok = false;
    if (IsPng(bytes.data(), bytes.size()))
        ok = ReadPng(bytes.data(), bytes.size(), read, &why);
    else if (IsBmp(bytes.data(), bytes.size()))
        ok = ReadBmp(bytes.data(), bytes.size(), read, &why);
    else
        why = "not a picture the tools read (ELG, BMP or PNG; the engine's loaders answered " + std::to_string(code) +
              ")";
    if (!ok) {
        out = Decoded{};
        if (error)
            *error = what + ": " + why;
        return false;
    }
    out.width = read.width;
    out.height = read.height;
    out.hasAlpha = read.hasAlpha;
    out.pixels = std::move(read.pixels);
    out.x = out.y = 0;
    return true;
}

bool DecodeFile(const std::string& path, Decoded& out, std::string* error)
{
    std::vector<uint8_t> bytes;
    return ReadFile(path, bytes, error) && DecodeBytes(bytes, path, out, error);
}

bool EncodeBmp32(const Decoded& picture, std::vector<uint8_t>& out, std::string* error)
{
    CBmpLoader writer;
    out.clear();
    const int code = writer.Save(1, picture.pixels.data(), picture.width, picture.height, 32, picture.width * 4,
                                 Append, &out, nullptr, nullptr, nullptr);
    if (code != kGllOk) {
        if (error)
            *error = "cannot write the bitmap (code " + std::to_string(code) + ")";
        return false;
    }
    return true;
}

}  // namespace pictures
