// The scenario frame's saved state against its peer (ratio = peer / ours):
// - tgs_state: SaveState and then LoadState of a full state (150 log pages and a choice entry,
//   every page, sprite and layer record filled, four looping channels, a name text, the shown page
//   and a choice list). Peer: a plain field-by-field codec of the same records, written here: it
//   writes the pages, sprites, layers, channels, name text, every log entry and the shown page, then
//   reads them back with every length, text end and field range checked into staged records and
//   a fresh list of log entries, which then take the place of the last ones (as a load does).
//   Goals: at most 1 ms together, ratio at least 0.25; allocs counts ours a call. (The peer was
//   two memcpy of the block, which skip everything a save walks and a load checks and rebuilds.)
#include "alloc_count.h"
#include "authoring/elg_encoder.h"
#include "authoring/file_io.h"
#include "authoring/tob_packer.h"
#include "contest.h"
#include "controls/text_layer.h"
#include "display/surface_sprite.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "pixel_library_guard.h"
#include "platform/app_config.h"
#include "script/message_window.h"
#include "script/sob_runtime.h"
#include "script/tgs_frame.h"
#include "script/tgs_quiet_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

using tgsbench::Form;
using tgsbench::QuietLink;

class StateFrame : public CTgsFrame {
public:
    StateFrame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host, link) {}
    std::vector<uint8_t> file; // served as MAIN.TOB

protected:
    bool ReadScriptFile(const std::string&, std::vector<uint8_t>* bytes) override
    {
        *bytes = file;
        return true;
    }
};

// A frame whose every record holds something.
void Fill(StateFrame& f)
{
    for (uint8_t page = 0; page < 2; ++page) {
        TgsPageRecord& p = f.Page(page);
        std::snprintf(p.name, sizeof p.name, "BG%02u.ELG", page + 1u);
        p.colourMode = 1;
        p.x = 10;
        p.zoom = 1.5;
    }
    for (int group = 0; group < 3; ++group)
        for (uint8_t page = 0; page < 2; ++page)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot) {
                TgsSpriteRecord* r = f.FindSpriteSlot(slot, page, group);
                std::snprintf(r->name, sizeof r->name, "CH%d%d%d.ELG", group, page, slot);
                r->character = slot;
                r->x = 100 * slot;
                r->pendingKind = 1;
                std::strcpy(r->pendingText, "(0,0)(10,10)");
            }
    for (int l = 0; l < 3; ++l) {
        f.LayerSlot(l).effectKind = 10 + l;
        f.LayerSlot(l).words[1] = 40;
        std::strcpy(f.LayerSlot(l).text, "snow");
    }
    for (int c = 0; c < 4; ++c)
        f.SoundChannel(c) = {"SE/LOOP" + std::to_string(c) + ".OGG", 1};
    f.SetNameText("Chapter");
    const std::string text(120, 'a');
    for (int i = 0; i < 150; ++i)
        f.TextLog().AddMessage(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), 74,
                               "Name", "V0001", 0);
    f.TextLog().BeginChoices(2);
    f.TextLog().AddChoice("yes", 1);
    f.TextLog().AddChoice("no", 1);
    f.TextLog().EndChoices(nullptr);
    f.MessageWindow()->SetPageText(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
    f.ChoiceLayer()->AddLine("yes", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
    f.ChoiceLayer()->AddLine("no", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr);
    f.ChoiceCountRef() = 2;
    f.ChoiceWait() = 1;
}

// A frame over a quiet link with its scenario started, the settings published for its life.
struct Bed {
    explicit Bed(const std::function<void(AppConfig&)>& configure)
    {
        SetAppConfigDefaults(&config);
        configure(config);
        g_pAppConfig = &config;
        link.form = &form;
        canvas.Create(800, 600, 32, 2);
        frame = std::make_unique<StateFrame>(runtime, &link);
        std::vector<std::string> errors;
        if (!PackTob("@message 0\nfirst\n@page\n", "main.txt", TobPackOptions{}, &frame->file, &errors))
            std::abort();
        frame->CreateMessageWindow(&canvas, &form);
        frame->StartScript("MAIN");
        frame->StartScenario(false);
    }
    ~Bed()
    {
        frame->ClearScene();
        frame.reset();
        g_pAppConfig = nullptr;
    }

    bench::PixelLibrary pixels;
    AppConfig config{};
    CSobRuntime runtime{4u << 20};
    Form form;
    QuietLink link;
    CSurfaceSprite canvas;
    std::unique_ptr<StateFrame> frame;
};

// The peer's codec: little-endian fields at a cursor; every read checked against what is left.
class PeerWriter {
public:
    explicit PeerWriter(std::vector<uint8_t>& out) : m_out(out) { m_out.clear(); }
    void Bytes(const void* p, size_t n) { m_out.insert(m_out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n); }
    template <typename T> void Put(T v) { Bytes(&v, sizeof v); }
    void Text(const std::string& t)
    {
        Put<uint8_t>(t.empty() ? 0 : static_cast<uint8_t>(t.size() + 1));
        if (!t.empty())
            Bytes(t.c_str(), t.size() + 1);
    }

private:
    std::vector<uint8_t>& m_out;
};

class PeerReader {
public:
    PeerReader(const uint8_t* p, size_t n) : m_p(p), m_left(n) {}
    const uint8_t* Take(size_t n)
    {
        if (n > m_left)
            return nullptr;
        const uint8_t* at = m_p;
        m_p += n;
        m_left -= n;
        return at;
    }
    template <typename T> bool Get(T* v)
    {
        const uint8_t* at = Take(sizeof *v);
        if (at != nullptr)
            std::memcpy(v, at, sizeof *v);
        return at != nullptr;
    }
    // A fixed field whose text must end inside it.
    bool Field(char* into, size_t n)
    {
        const uint8_t* at = Take(n);
        if (at == nullptr || std::memchr(at, 0, n) == nullptr)
            return false;
        std::memcpy(into, at, n);
        return true;
    }
    bool Text(std::string* out)
    {
        uint8_t n = 0;
        if (!Get(&n))
            return false;
        out->clear();
        if (n == 0)
            return true;
        const uint8_t* at = Take(n);
        if (at == nullptr || at[n - 1] != 0 || std::memchr(at, 0, n - 1u) != nullptr)
            return false;
        out->assign(reinterpret_cast<const char*>(at), n - 1u);
        return true;
    }

private:
    const uint8_t* m_p;
    size_t m_left;
};

struct PeerPage {
    char name[32], layerName[32];
    uint32_t variant, colour;
    uint8_t colourMode, flipX, flipY, letterbox, mosaic, animationState;
    int32_t x, y, view[4], angle, frame, group, entry;
    double zoom;
};

struct PeerSprite {
    char name[32], pendingText[48];
    int32_t character, x, y, originX, originY, priority, positionMode, picture, angle, zoomX, zoomY, kind, argument;
    uint8_t colourMode, flipX, flipY, mosaic, offScreen, reload, alpha;
    double zoom;
};

struct PeerState {
    PeerPage pages[2];
    PeerSprite sprites[22];
    TgsLayerSlot layers[3];
    TgsSoundChannel channels[4];
    std::string nameText;
    std::vector<TextLogEntry> log;
    std::vector<uint8_t> pageText;
};

void PeerSave(CTgsFrame& f, std::vector<uint8_t>& block)
{
    PeerWriter w(block);
    for (uint8_t page = 0; page < 2; ++page) {
        const TgsPageRecord& p = f.Page(page);
        w.Bytes(p.name, sizeof p.name);
        w.Bytes(p.layerName, sizeof p.layerName);
        w.Put(p.variant), w.Put(p.colour), w.Put(p.colourMode), w.Put(p.flipX), w.Put(p.flipY);
        w.Put(p.letterbox), w.Put(p.mosaic), w.Put(p.animationState), w.Put(p.x), w.Put(p.y);
        w.Put(p.viewLeft), w.Put(p.viewTop), w.Put(p.viewRight), w.Put(p.viewBottom), w.Put(p.angle);
        w.Put(p.frame), w.Put(p.animationGroup), w.Put(p.animationEntry), w.Put(p.zoom);
    }
    for (int group = 0; group < 3; ++group)
        for (uint8_t page = 0; page < 2; ++page)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot) {
                const TgsSpriteRecord& r = *f.FindSpriteSlot(slot, page, group);
                w.Bytes(r.name, sizeof r.name);
                w.Bytes(r.pendingText, sizeof r.pendingText);
                w.Put(r.character), w.Put(r.x), w.Put(r.y), w.Put(r.originX), w.Put(r.originY);
                w.Put(r.priority), w.Put(r.positionMode), w.Put(r.picture), w.Put(r.animationAngle);
                w.Put(r.zoomX), w.Put(r.zoomY), w.Put(r.pendingKind), w.Put(r.pendingArgument);
                w.Put(r.colourMode), w.Put(r.flipX), w.Put(r.flipY), w.Put(r.mosaic), w.Put(r.offScreen);
                w.Put(r.reload), w.Put(r.alpha), w.Put(r.animationZoom);
            }
    for (int l = 0; l < 3; ++l) {
        const TgsLayerSlot& s = f.LayerSlot(l);
        w.Put(s.effectKind);
        for (int32_t v : s.words)
            w.Put(v);
        w.Bytes(s.text, sizeof s.text);
    }
    for (int c = 0; c < 4; ++c) {
        w.Text(f.SoundChannel(c).name);
        w.Put(f.SoundChannel(c).flag);
    }
    w.Text(f.NameText());
    const CTextLog& log = f.TextLog();
    w.Put<uint32_t>(static_cast<uint32_t>(log.Count()));
    for (int32_t i = 0; i < log.Count(); ++i) {
        const TextLogEntry& e = *log.GetEntry(i);
        w.Put(e.type);
        if (e.type == 0) {
            w.Text(e.message.name);
            w.Text(e.message.voice);
            w.Put<uint32_t>(static_cast<uint32_t>(e.message.data.size()));
            w.Bytes(e.message.data.data(), e.message.data.size());
            w.Put(e.message.layoutHeight), w.Put(e.message.group);
        } else {
            w.Put<uint32_t>(static_cast<uint32_t>(e.choices.texts.size()));
            w.Put(e.choices.selected);
            for (size_t k = 0; k < e.choices.texts.size(); ++k) {
                w.Put(e.choices.flags[k]);
                w.Text(e.choices.texts[k]);
            }
        }
    }
    const std::string_view page = f.MessageWindow() != nullptr ? f.MessageWindow()->GivenPageText() : "";
    w.Put<uint32_t>(static_cast<uint32_t>(page.size()));
    w.Bytes(page.data(), page.size());
}

bool PeerLoad(const std::vector<uint8_t>& block, PeerState& into)
{
    PeerReader r(block.data(), block.size());
    PeerState staged;
    for (PeerPage& p : staged.pages) {
        if (!r.Field(p.name, sizeof p.name) || !r.Field(p.layerName, sizeof p.layerName) || !r.Get(&p.variant) ||
            !r.Get(&p.colour) || !r.Get(&p.colourMode) || !r.Get(&p.flipX) || !r.Get(&p.flipY) ||
            !r.Get(&p.letterbox) || !r.Get(&p.mosaic) || !r.Get(&p.animationState) || !r.Get(&p.x) || !r.Get(&p.y))
            return false;
        for (int32_t& v : p.view)
            if (!r.Get(&v))
                return false;
        if (!r.Get(&p.angle) || !r.Get(&p.frame) || !r.Get(&p.group) || !r.Get(&p.entry) || !r.Get(&p.zoom) ||
            p.variant > 2 || p.colourMode > 4 || p.flipX > 1 || p.flipY > 1 || p.letterbox > 1 ||
            p.animationState > 2 || !std::isfinite(p.zoom) || p.zoom < 0)
            return false;
    }
    for (PeerSprite& s : staged.sprites) {
        if (!r.Field(s.name, sizeof s.name) || !r.Field(s.pendingText, sizeof s.pendingText) ||
            !r.Get(&s.character) || !r.Get(&s.x) || !r.Get(&s.y) || !r.Get(&s.originX) || !r.Get(&s.originY) ||
            !r.Get(&s.priority) || !r.Get(&s.positionMode) || !r.Get(&s.picture) || !r.Get(&s.angle) ||
            !r.Get(&s.zoomX) || !r.Get(&s.zoomY) || !r.Get(&s.kind) || !r.Get(&s.argument) ||
            !r.Get(&s.colourMode) || !r.Get(&s.flipX) || !r.Get(&s.flipY) || !r.Get(&s.mosaic) ||
            !r.Get(&s.offScreen) || !r.Get(&s.reload) || !r.Get(&s.alpha) || !r.Get(&s.zoom))
            return false;
        if (s.colourMode > 6 || s.positionMode < -1 || s.positionMode > 2 || s.flipX > 1 || s.flipY > 1 ||
            s.offScreen > 1 || s.reload > 1 || s.picture < 0 || s.picture > 6 || s.kind < 0 || s.kind > 2 ||
            !std::isfinite(s.zoom) || s.zoom < 0)
            return false;
    }
    for (TgsLayerSlot& l : staged.layers) {
        if (!r.Get(&l.effectKind) || l.effectKind < 0 || l.effectKind > 13)
            return false;
        for (int32_t& v : l.words)
            if (!r.Get(&v))
                return false;
        if (!r.Field(l.text, sizeof l.text))
            return false;
    }
    for (TgsSoundChannel& c : staged.channels)
        if (!r.Text(&c.name) || !r.Get(&c.flag) || c.flag > 1)
            return false;
    uint32_t count = 0;
    if (!r.Text(&staged.nameText) || staged.nameText.size() > 40 || !r.Get(&count) || count > block.size())
        return false;
    staged.log.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        TextLogEntry& e = staged.log.emplace_back();
        if (!r.Get(&e.type) || e.type > 1)
            return false;
        uint32_t n = 0;
        if (e.type == 0) {
            if (!r.Text(&e.message.name) || !r.Text(&e.message.voice) || !r.Get(&n))
                return false;
            const uint8_t* data = r.Take(n);
            if (data == nullptr || !r.Get(&e.message.layoutHeight) || !r.Get(&e.message.group))
                return false;
            e.message.data.assign(data, data + n);
        } else {
            if (!r.Get(&n) || n == 0 || n > 8 || !r.Get(&e.choices.selected))
                return false;
            for (uint32_t k = 0; k < n; ++k) {
                uint8_t flag = 0;
                if (!r.Get(&flag) || !r.Text(&e.choices.texts.emplace_back()))
                    return false;
                e.choices.flags.push_back(flag);
            }
        }
    }
    uint32_t shown = 0;
    const uint8_t* page = nullptr;
    if (!r.Get(&shown) || shown >= 4096 || (page = r.Take(shown)) == nullptr)
        return false;
    staged.pageText.assign(page, page + shown);
    into = std::move(staged);
    return true;
}

void TgsState(benchmark::State& state)
{
    Bed bed([](AppConfig& c) { c.historyPages = 200; });
    StateFrame* frame = bed.frame.get();
    Fill(*frame);

    std::vector<uint8_t> block(frame->GetStateSize(true));
    std::vector<uint8_t> peerBlock;
    PeerState peerState;
    int failures = 0;
    bench::AllocationTally tally;
    bench::Contest(
        state,
        tally.Wrap([&] {
            uint8_t* out = block.data();
            size_t left = block.size();
            failures += frame->SaveState(&out, &left, true) != 0;
            const uint8_t* in = block.data();
            left = block.size();
            failures += frame->LoadState(&in, &left, true) != 0;
        }),
        [&] {
            PeerSave(*frame, peerBlock);
            failures += !PeerLoad(peerBlock, peerState);
        });
    state.counters["block_bytes"] = static_cast<double>(block.size());
    state.counters["peer_block_bytes"] = static_cast<double>(peerBlock.size());
    tally.Report(state);
    // The peer read back every log entry the frame holds.
    failures += peerState.log.size() != static_cast<size_t>(frame->TextLog().Count());
    state.counters["failures"] = failures;
    bench::ReportCeiling(state, "failures", 0);
    const bench::Goal goal{.ratio = 0.25, .ms = 1.0};
    bench::ReportGoal(state, goal);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
}
BENCHMARK(TgsState)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- RebuildScene ----

// A game folder of the scene's pictures, published through the file manager and the loaders'
// cache for the bench's life.
struct PictureFolder {
    PictureFolder()
    {
        path = (std::filesystem::temp_directory_path() / ("tessaro-bench-rebuild-" + std::to_string(getpid())))
                   .string();
        std::filesystem::create_directories(path);
        ok = Write("BG01.ELG", 800, 600, 24, [](int x, int y) { return 0xFF000000u | (x * 7 ^ y * 13) << 4; }) &&
             Write("BG02.ELG", 800, 600, 24, [](int x, int y) { return 0xFF102030u ^ static_cast<uint32_t>(x * y); });
        for (int i = 0; i < 4 && ok; ++i)
            ok = Write("CH" + std::to_string(i) + ".ELG", 300, 500, 32, [i](int x, int y) {
                const uint32_t alpha = static_cast<uint32_t>(255 - x * 128 / 300 - y * 64 / 500);
                return alpha << 24 | (static_cast<uint32_t>(0x402010 * (i + 1) + x + y) & 0xFFFFFF);
            });
        std::string windows = "Z:" + path + "\\";
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        ok = ok && SetBaseFolder(windows.c_str()) == 0 && RegisterBuiltinImageLoaders(loaders) == 0;
        loaders.SetCacheBudget(64u << 20);
        g_pFileManager = &files;
        g_pGllManager = &loaders;
    }
    ~PictureFolder()
    {
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    template <typename Colour>
    bool Write(const std::string& name, int width, int height, int depth, Colour colour)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = colour(x, y);
        elg::Picture picture;
        std::vector<uint8_t> bytes;
        std::string error;
        return elg::PictureFromPixels(width, height, pixels.data(), depth, picture, &error) &&
               elg::Encode(picture, elg::Options{}, bytes, &error) &&
               WriteWholeFile(path + "/" + name, bytes.data(), bytes.size());
    }

    std::string path;
    bool ok = false;
    CFileManager files;
    CGllManager loaders;
};

// The scene a scenario's commands would make: both pages and every sprite slot.
int MakeScene(CTgsFrame& f)
{
    int failures = 0;
    for (uint8_t page = 0; page < 2; ++page) {
        failures += f.LoadLayerImage(page == 0 ? "BG01.ELG" : "BG02.ELG", page) != 0;
        failures += f.SetLayerColorMode(page == 0 ? 1 : 3, 0, 0, 0, page) != 0;
        for (int group = 0; group < 3; ++group)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot) {
                const std::string name = "CH" + std::to_string((group + slot) % 4) + ".ELG";
                TgsSpriteRecord* r = f.FindSpriteSlot(slot, page, group);
                r->x = 150 + 120 * slot;
                r->y = 600 - 20 * group;
                failures += f.LoadSpriteImage(slot, name.c_str(), page, group, true) != 0;
                if ((slot + group) % 2 == 0)
                    failures += f.SetSpriteColorMode(slot, static_cast<uint8_t>(1 + slot % 3), 0, 0, page, group) != 0;
            }
    }
    return failures;
}

void RebuildScene(benchmark::State& state)
{
    PictureFolder folder;
    if (!folder.ok)
        std::abort();
    Bed bed([](AppConfig& c) { c.fastEffects = 1; });
    StateFrame* frame = bed.frame.get();
    int failures = MakeScene(*frame); // every picture once through the cache
    std::vector<uint8_t> block(frame->GetStateSize(false));
    uint8_t* out = block.data();
    size_t left = block.size();
    failures += frame->SaveState(&out, &left, false) != 0;
    auto load = [&] {
        const uint8_t* in = block.data();
        size_t size = block.size();
        failures += frame->LoadState(&in, &size, false) != 0;
    };
    int sprites = 0;
    // The goal for a rebuild is a time: the peer is only the yardstick.
    const bench::Goal goal{.ms = 20.0};
    bench::Contest(
        state,
        [&] {
            load();
            failures += frame->RebuildScene() != 0;
        },
        [&] {
            load();
            failures += MakeScene(*frame);
        },
        goal, 9);
    if (!(state.counters["ratio"] > 0))
        state.SkipWithError("the contest measured no time");
    // What the last rebuild made, so a scene that failed to load shows.
    load();
    failures += frame->RebuildScene() != 0;
    for (int group = 0; group < 3; ++group)
        for (uint8_t page = 0; page < 2; ++page)
            for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot)
                sprites += frame->FindSpriteSlot(slot, page, group)->sprite != nullptr;
    state.counters["sprites"] = sprites;
    state.counters["failures"] = failures;
}
BENCHMARK(RebuildScene)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
