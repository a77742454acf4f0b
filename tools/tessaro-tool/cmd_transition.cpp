// tessaro-tool transition render: draws a named transition or screen filter between two pictures
// at chosen times, one 32-bit BMP per time, for reviewing the transitions by eye.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authoring/picture_io.h"
#include "command.h"
#include "display/surface_sprite.h"
#include "drawing/scene.h"
#include "effects/effect_random.h"
#include "effects/effect_rows.h"
#include "files/pixel_library.h"
#include "files/transition_plugin_manager.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/random.h"

namespace {

bool ParseInt(const std::string& text, long long* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || value < INT32_MIN || value > 0xFFFFFFFFll)
        return false;
    *out = value;
    return true;
}

// The picture placed at the top left of a w × h image (black elsewhere).
void Paint(CImage& image, const pictures::Decoded& picture)
{
    image.FillRect32(0, nullptr);
    for (int y = 0; y < std::min<int>(picture.height, image.GetHeight()); ++y)
        for (int x = 0; x < std::min<int>(picture.width, image.GetWidth()); ++x)
            reinterpret_cast<uint32_t*>(image.GetRowAddress(y))[x] = picture.pixels[size_t(y) * picture.width + x];
}

int RunTransition(int argc, char** argv)
{
    if (argc < 6 || std::strcmp(argv[1], "render") != 0)
        return -1;
    const std::string name = argv[2];
    const std::string outDir = argv[5];
    std::string words, at = "0,250,500,750,1000";
    LONG width = 0, height = 0;
    bool bands = false;
    for (int i = 6; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--bands") {
            bands = true;
        } else if (i + 1 < argc && option == "--args") {
            words = argv[++i];
        } else if (i + 1 < argc && option == "--at") {
            at = argv[++i];
        } else if (i + 1 < argc && option == "--size") {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 ||
                width > 8192 || height > 8192) {
                std::fprintf(stderr, "transition: bad size %s\n", argv[i]);
                return 2;
            }
        } else {
            return -1;
        }
    }
    std::string error;
    pictures::Decoded oldPicture, newPicture;
    if (!pictures::DecodeFile(argv[3], oldPicture, &error) || !pictures::DecodeFile(argv[4], newPicture, &error)) {
        std::fprintf(stderr, "transition: %s\n", error.c_str());
        return 1;
    }
    if (width == 0) {
        width = oldPicture.width;
        height = oldPicture.height;
    }

    IdentifyCpu();
    RegisterPixelLibraryModule();
    std::unique_ptr<CPixelLibrary> library(LoadPixelLibrary("Z:\\tool\\tvpgl.dll", &g_CpuInfo));
    SetPixelLibrary(library.get());
    CCosTable cosines;
    g_pCosTable = &cosines;
    SubtractiveRandomState state{};
    SeedSubtractiveRandom(state, 1);
    SetEffectRandomSources(&state);
    CTransitionPluginManager registry;
    RegisterRows(registry, GameTransitionRows());
    RegisterRows(registry, HostFilterRows());

    CSurfaceSprite front, back;
    if (front.Create(width, height, 32, 0) != 0 || back.Create(width, height, 32, 0) != 0) {
        std::fprintf(stderr, "transition: cannot make %dx%d canvases\n", int(width), int(height));
        return 1;
    }
    Paint(*front.GetImage(), oldPicture);
    Paint(*back.GetImage(), newPicture);

    // Words: integers; @FILE a picture (as an 8-bit rule: its blue channel); anything else a text.
    CEffectArgs pack;
    std::vector<std::unique_ptr<CImage>> rules;
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string::npos)
            end = words.size();
        std::string word = words.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        long long value = 0;
        if (ParseInt(word, &value)) {
            pack.AddInt(static_cast<int32_t>(static_cast<uint32_t>(value)));
        } else if (word[0] == '@') {
            pictures::Decoded picture;
            auto rule = std::make_unique<CImage>();
            if (!pictures::DecodeFile(word.substr(1), picture, &error) ||
                rule->Create(picture.width, picture.height, 8, 0) != 0) {
                std::fprintf(stderr, "transition: %s: %s\n", word.c_str() + 1, error.c_str());
                return 1;
            }
            for (int y = 0; y < picture.height; ++y)
                for (int x = 0; x < picture.width; ++x)
                    rule->GetRowAddress(y)[x] = static_cast<BYTE>(picture.pixels[size_t(y) * picture.width + x]);
            pack.AddObject(static_cast<CSurface*>(rule.get()));
            rules.push_back(std::move(rule));
        } else {
            if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
                word = word.substr(1, word.size() - 2);
            pack.AddText(word.c_str());
        }
    }
    auto* filter = static_cast<CScreenFilter*>(registry.CreateObject(&front, name.c_str(), pack));
    if (filter == nullptr) {
        std::fprintf(stderr, "transition: %s refused its words (or is no transition)\n", name.c_str());
        SetEffectRandomSources(nullptr);
        return 1;
    }
    CImage out;
    out.Create(width, height, 32, 0);
    CImage* second = filter->GetObjectType() <= 1 ? back.GetImage() : nullptr;
    const LONG step = bands && (filter->GetObjectType() & 1) == 0 ? CScene::BandHeight(width) : height;
    const uint32_t base = 1000;
    filter->Step(base);
    int code = 0;
    size_t from = 0;
    while (from < at.size() && code == 0) {
        size_t end = at.find(',', from);
        if (end == std::string::npos)
            end = at.size();
        long long ms = 0;
        if (!ParseInt(at.substr(from, end - from), &ms) || ms < 0) {
            std::fprintf(stderr, "transition: bad time %s\n", at.substr(from, end - from).c_str());
            code = 2;
            break;
        }
        from = end + 1;
        filter->Step(base + static_cast<uint32_t>(ms));
        for (LONG y = 0; y < height; y += step) {
            const LONG h = std::min(step, height - y);
            filter->Draw(FilterJob{0, y, width, h, &out, 0, y, front.GetImage(), 0, y, second, 0, y});
        }
        pictures::Decoded frame;
        frame.width = width;
        frame.height = height;
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x)
                frame.pixels.push_back(0xFF000000u | reinterpret_cast<const uint32_t*>(out.GetRowAddress(y))[x]);
        std::vector<uint8_t> bmp;
        const std::string path = outDir + "/" + name + "_" + std::to_string(ms) + ".bmp";
        if (!pictures::EncodeBmp32(frame, bmp, &error) || !pictures::WriteFile(path, bmp, &error)) {
            std::fprintf(stderr, "transition: %s\n", error.c_str());
            code = 1;
        } else {
            std::printf("%s\n", path.c_str());
        }
    }
    filter->Release();
    registry.UnloadAll();
    SetEffectRandomSources(nullptr);
    SetPixelLibrary(nullptr);
    g_pCosTable = nullptr;
    return code;
}

} // namespace

TESSARO_TOOL_COMMAND("transition",
                     "  transition render NAME OLD NEW OUTDIR [--args WORDS] [--size WxH] [--at MS,...] [--bands]\n"
                     "                               draw a transition between two pictures, one BMP per time;\n"
                     "                               words: integers, @FILE (a rule picture), else texts",
                     RunTransition);
