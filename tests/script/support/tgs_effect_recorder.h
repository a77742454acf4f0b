// Recording stand-ins for the frame's effects and transitions: registered under the real names,
// they keep every pack they are given and answer as the test says, so a test sees exactly what
// the frame hands each effect, callback and transition.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "authoring/effect_data.h"
#include "authoring/elg_encoder.h"
#include "authoring/file_io.h"

#include "display/image_object.h"
#include "display/screen_filter.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/object_plugin_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "files/transition_plugin_manager.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "script/tgs_effects.h"

namespace tgsrecord {

struct Made {
    std::string name;
    CImageObject* target = nullptr;
    CEffectArgs pack;
};

struct Log {
    std::vector<Made> setUps;      // effects set up
    std::vector<Made> callbacks;   // direct applies
    std::vector<Made> transitions; // transitions made
    std::vector<CEffectArgs> params;
    std::vector<uint32_t> ownSpriteMoves; // priorities the effects' own sprites were moved to
    int refuse = 0;         // set-up answer
    int callbackResult = 0; // direct-apply answer
    CEffectArgs report;     // what Query answers
    bool endNow = false;    // effects end at their next step
    int transitionSteps = 3;

    size_t Count(const std::string& name) const
    {
        size_t n = 0;
        for (const Made& m : setUps)
            n += m.name == name ? 1 : 0;
        return n;
    }
};

inline Log& TheLog()
{
    static Log log;
    return log;
}

// The effect names of the frame's table, each registered with this effect.
inline std::vector<std::string> EffectNames()
{
    std::vector<std::string> names;
    for (const TgsEffectRow& row : TgsEffectRows()) {
        if (std::find(names.begin(), names.end(), row.effect) == names.end())
            names.emplace_back(row.effect);
    }
    return names;
}

class RecordingEffect : public CLayerEffect {
public:
    explicit RecordingEffect(std::string name) : m_name(std::move(name)) {}
    // The fading effects own the old sprite and its picture once set up, as the real ones do.
    ~RecordingEffect() override
    {
        if (auto* old = dynamic_cast<CSprite*>(m_old)) {
            CImage* image = old->GetImage();
            delete old;
            delete image;
        }
    }
    const char* GetName() override { return m_name.c_str(); }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t) override { return TheLog().endNow ? 1 : 0; }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override
    {
        TheLog().setUps.push_back({m_name, target, args});
        if (TheLog().refuse != 0)
            return TheLog().refuse;
        if (manager == nullptr || manager->Add(this, 0, 0, 0) != 0)
            return 5;
        if (m_name == "sp_cfade" || m_name == "sp_change")
            m_old = args.GetDrawable(1);
        return 0;
    }
    int SetParamsV(const CEffectArgs& args) override
    {
        TheLog().params.push_back(args);
        return 0;
    }
    void MoveOwnSprites(uint32_t priority) override { TheLog().ownSpriteMoves.push_back(priority); }
    int QueryV(const CEffectArgs&, CEffectArgs* out) override
    {
        if (out != nullptr)
            *out = TheLog().report;
        return 0;
    }

private:
    std::string m_name;
    CDrawable* m_old = nullptr;
};

inline int RecordCallback(const char* name, const CEffectArgs& in)
{
    TheLog().callbacks.push_back({name, nullptr, in});
    return TheLog().callbackResult;
}

class RecordingTransition : public CScreenFilter {
public:
    explicit RecordingTransition(std::string name) : m_name(std::move(name)) {}
    uint8_t GetObjectType() override { return 2; }
    const char* GetName() override { return m_name.c_str(); }
    int Step(DWORD) override { return ++m_steps >= TheLog().transitionSteps ? 1 : 0; }
    int Draw(const FilterJob&) override { return 0; }
    int IsDone() override { return 0; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override
    {
        TheLog().transitions.push_back({m_name, canvas, args});
        return 0;
    }

private:
    std::string m_name;
    int m_steps = 0;
};

// Registries whose kinds all record, published for the object's life, with a scheduler.
struct Registries {
    CObjectPluginManager effects;
    CTransitionPluginManager transitions;
    CTimerManager scheduler;
    std::vector<std::string> effectNames = EffectNames();
    std::vector<std::string> transitionNames = {"cross",     "rule",     "trans", "scroll", "ripple",
                                                "quake",     "zoomflip", "wave",  "mosaic", "rotaxis",
                                                "rotcenter", "addsub",   "hblur"};
    CObjectPluginManager* savedEffects = g_pObjectPluginManager;
    CTransitionPluginManager* savedTransitions = g_pTransitionPluginManager;
    CTimerManager* savedScheduler = g_pObjectManager;

    Registries()
    {
        TheLog() = Log{};
        static Registries* self = nullptr;
        self = this;
        for (size_t i = 0; i < effectNames.size(); ++i) {
            EffectCallbackFunc callback = nullptr;
            if (effectNames[i] == "bg_panime")
                callback = [](const CEffectArgs& in, CEffectArgs*) {
                    return RecordCallback("bg_panime", in);
                };
            else if (effectNames[i] == "bg_blur")
                callback = [](const CEffectArgs& in, CEffectArgs*) { return RecordCallback("bg_blur", in); };
            else if (effectNames[i] == "sp_panime")
                callback = [](const CEffectArgs& in, CEffectArgs*) {
                    return RecordCallback("sp_panime", in);
                };
            effects.Register(
                [](DWORD p) -> CPluginEffect* { return new RecordingEffect(self->effectNames[p]); },
                effectNames[i].c_str(), 1, callback, callback, static_cast<DWORD>(i));
        }
        for (size_t i = 0; i < transitionNames.size(); ++i)
            transitions.Register(
                [](DWORD p) -> CPluginFilter* { return new RecordingTransition(self->transitionNames[p]); },
                transitionNames[i].c_str(), 2, static_cast<DWORD>(i), nullptr, nullptr);
        g_pObjectPluginManager = &effects;
        g_pTransitionPluginManager = &transitions;
        g_pObjectManager = &scheduler;
    }
    ~Registries()
    {
        scheduler.CancelAll();
        g_pObjectPluginManager = savedEffects;
        g_pTransitionPluginManager = savedTransitions;
        g_pObjectManager = savedScheduler;
    }
};

// Two packs hold the same values in the same order (texts by content, objects by pointer).
inline ::testing::AssertionResult SamePack(const CEffectArgs& got, const CEffectArgs& want)
{
    if (got.GetCount() != want.GetCount())
        return ::testing::AssertionFailure() << got.GetCount() << " values, " << want.GetCount() << " wanted";
    for (size_t i = 0; i < want.GetCount(); ++i) {
        if (got.GetType(i) != want.GetType(i))
            return ::testing::AssertionFailure() << "value " << i << " has type " << got.GetType(i);
        bool same = true;
        switch (want.GetType(i)) {
        case CEffectArgs::kInt:
            same = got.IntAt(i) == want.IntAt(i);
            break;
        case CEffectArgs::kDouble: {
            double a = 0, b = 0;
            got.GetDouble(i, &a);
            want.GetDouble(i, &b);
            same = a == b;
            break;
        }
        case CEffectArgs::kText:
            same = std::string(got.TextAt(i)) == want.TextAt(i);
            break;
        default:
            same = got.GetDrawable(i) == want.GetDrawable(i) && got.GetSurface(i) == want.GetSurface(i) &&
                   got.GetImageObject(i) == want.GetImageObject(i);
            break;
        }
        if (!same)
            return ::testing::AssertionFailure() << "value " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

// Pictures on disk, loaded through the file manager: three backgrounds of 800 x 600 (BG01A and
// BG12B listed in DATA/BG.TXT for variants 1 and 2), three sprites with soft alpha, and the rule
// and effect pictures of `tessaro-tool effect-data`.
struct Pictures {
    Pictures()
    {
        std::string error;
        ok = effect_data::Write(dir.Linux(), 1, &error);
        ok = ok &&
             Write("BG01A.ELG", 800, 600, 32, [](int x, int y) { return Rgb(32 + x / 4, 64 + y / 3, 128); });
        ok = ok && Write("BG12B.ELG", 800, 600, 32, [](int x, int y) { return Rgb(200 - y / 4, x / 4, 90); });
        ok = ok && Write("BG02.ELG", 800, 600, 32,
                         [](int x, int y) { return Rgb((x ^ y) & 255, 120, 255 - x / 4); });
        const auto sprite = [](int w, int h, uint32_t rgb) {
            return [w, h, rgb](int x, int y) {
                const uint32_t alpha = static_cast<uint32_t>(255 - (x * 128 / w) - (y * 64 / h));
                return (alpha << 24) | rgb;
            };
        };
        ok = ok && Write("CH1S.ELG", 120, 300, 32, sprite(120, 300, 0xD04020));
        ok = ok && Write("CH2M.ELG", 90, 240, 32, sprite(90, 240, 0x20C060));
        ok = ok && Write("CH3X.ELG", 100, 200, 32, sprite(100, 200, 0x4060E0));
        // A picture whose extension chain lists part-list offsets: number 2 → 7, number 1 → -10.
        ok = ok && Write("CH4S.ELG", 40, 60, 32, sprite(40, 60, 0x808080),
                         {3, 16, 0, 0, 0, 2, 0, 0, 0, 7, 0, 1, 0, 0, 0, 0xF6, 0xFF});
        dir.Write("DATA/BG.TXT", "[A 1\n1\n[B 2\n12\n");
        ok = ok && SetBaseFolder(dir.Windows().c_str()) == 0 && RegisterBuiltinImageLoaders(loaders) == 0;
        g_pFileManager = &manager;
        g_pGllManager = &loaders;
    }
    static uint32_t Rgb(int r, int g, int b)
    {
        return 0xFF000000u | static_cast<uint32_t>((r & 255) << 16 | (g & 255) << 8 | (b & 255));
    }
    ~Pictures()
    {
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
    }
    template <typename Colour>
    bool Write(const std::string& name, int width, int height, int depth, Colour colour,
               const std::vector<uint8_t>& chain = {})
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                    colour(x, y);
        elg::Picture picture;
        std::string error;
        std::vector<uint8_t> bytes;
        std::filesystem::create_directories(std::filesystem::path(dir.Linux(name)).parent_path());
        if (!elg::PictureFromPixels(width, height, pixels.data(), depth, picture, &error))
            return false;
        picture.extension = chain;
        elg::Options options;
        options.variant = chain.empty() ? 0 : 2;
        return elg::Encode(picture, options, bytes, &error) &&
               WriteWholeFile(dir.Linux(name), bytes.data(), bytes.size());
    }
    bool ok = true;
    TempFolder dir;
    CFileManager manager;
    CGllManager loaders;
};

} // namespace tgsrecord
