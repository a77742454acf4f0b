// The scenario frame's saved state: a block written byte by byte in the test loads into the
// frame's records and is written back the same; sizes; every damaged form refused whole with its
// code and nothing changed; the rebuild's restart of each layer kind and its fade-in rule; a load
// inside a page wait ends the run and the resume goes on at the loaded message.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/text_layer.h"
#include "authoring/file_io.h"
#include "drawing/scene.h"
#include "files/temp_folder.h"
#include "script/message_window.h"
#include "script/tgs_state.h"
#include "sound/sound_player.h"
#include "sound/sound_support.h"
#include "support/tgs_effect_recorder.h"
#include "support/tgs_engine_host.h"

using tgsengine::Bench;
using tgsrecord::TheLog;

namespace {

const char* kTwoMessages = "@message 0\n"
                           "first page\n"
                           "@page\n"
                           "@message 1\n"
                           "second page\n"
                           "@page\n";

// Little-endian bytes as the format's tables lay them out.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& U8(uint32_t x)
    {
        v.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    Bytes& U16(uint32_t x) { return U8(x).U8(x >> 8); }
    Bytes& U32(uint32_t x) { return U16(x).U16(x >> 16); }
    Bytes& F32(float f)
    {
        uint32_t x;
        std::memcpy(&x, &f, 4);
        return U32(x);
    }
    Bytes& Raw(const std::string& s)
    {
        v.insert(v.end(), s.begin(), s.end());
        return *this;
    }
    // A counted text: length + 1, the text and its NUL (0 alone for none).
    Bytes& Text(const std::string& s) { return s.empty() ? U8(0) : U8(s.size() + 1).Raw(s).U8(0); }
    // A fixed record of n bytes whose fields are put at their offsets.
    static std::vector<uint8_t> Record(size_t n) { return std::vector<uint8_t>(n, 0); }
};

void Put32(std::vector<uint8_t>& r, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        r[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

void PutF32(std::vector<uint8_t>& r, size_t at, float f)
{
    uint32_t x;
    std::memcpy(&x, &f, 4);
    Put32(r, at, x);
}

void PutName(std::vector<uint8_t>& r, size_t at, const std::string& s)
{
    std::memcpy(r.data() + at, s.data(), s.size());
}

// Where the block's parts start, for the damage table.
struct Layout {
    size_t frame, pages, sprites, window, logFlag, channels, nameText, length, end;
};

// The store state: MAIN on the script stack, current, no returns.
std::vector<uint8_t> StoreState()
{
    Bytes b;
    b.U32(1).U16(5).Raw("MAIN").U8(0).U32(0).U32(0).U32(0xFFFFFFFF).U32(0);
    return b.v;
}

// A block written from the format's tables: message 1, a front page with a colour mode and a
// zoom, one sprite with an animation to restart, a weather slot, a looping channel, a name
// text, a one-entry backlog and the shown page with its voice.
std::vector<uint8_t> HandBlock(Layout* at, bool withLog = true)
{
    Bytes b;
    b.v = StoreState();
    at->frame = b.v.size();
    std::vector<uint8_t> f = Bytes::Record(284);
    Put32(f, 0, 1);       // message
    f[4] = 1;             // transition option
    f[6] = 1;             // automatic tint
    Put32(f, 8, 1);       // a remembered screen quake
    Put32(f, 12, 3);
    Put32(f, 16, 4);
    Put32(f, 20, 300);
    Put32(f, 24, 1);
    Put32(f, 36, 7);      // music
    Put32(f, 40, 2);      // next channel
    f[44] = 1;            // disable marks
    f[48] = 1;
    f[50] = 1;            // page wait
    Put32(f, 52, 0);      // the voice plays again
    const size_t slot1 = 56 + 76;
    Put32(f, slot1, 11);  // weather 1 in layer slot 1
    Put32(f, slot1 + 4, 40);
    Put32(f, slot1 + 8, 1);
    Put32(f, slot1 + 12, 1);
    Put32(f, slot1 + 16, 1);
    PutName(f, slot1 + 28, "snow");
    Put32(f, 56, 0);
    Put32(f, 56 + 152, 0);
    b.v.insert(b.v.end(), f.begin(), f.end());

    at->pages = b.v.size();
    std::vector<uint8_t> front = Bytes::Record(124);
    PutName(front, 0, "BG01A.ELG");
    Put32(front, 64, 0xFFFFFFFF); // frame
    Put32(front, 68, 0x123456);
    front[73] = 1;                // grey
    front[74] = 1;                // variant
    front[76] = 1;                // flipped on x
    Put32(front, 80, 5);
    Put32(front, 84, 6);
    Put32(front, 88, 0xFFFFFFFF); // no view
    PutF32(front, 104, 1.5f);
    Put32(front, 108, 64);
    std::vector<uint8_t> back = Bytes::Record(124);
    Put32(back, 64, 0xFFFFFFFF);
    Put32(back, 68, 0xFF);
    Put32(back, 88, 0xFFFFFFFF);
    b.v.insert(b.v.end(), front.begin(), front.end());
    b.v.insert(b.v.end(), back.begin(), back.end());

    at->sprites = b.v.size();
    for (size_t i = 0; i < 22; ++i) {
        std::vector<uint8_t> r = Bytes::Record(140);
        const size_t group = i < 6 ? 0 : (i < 16 ? 1 : 2);
        const size_t first = group == 0 ? 0 : (group == 1 ? 6 : 16);
        const size_t perPage = group == 1 ? 5 : 3;
        Put32(r, 32, 0xFFFFFFFF);
        Put32(r, 52, static_cast<uint32_t>(10000 * (group + 1) + 100 * ((i - first) % perPage)));
        r[57] = 0xFF; // placed by no mode
        r[64] = 255;
        if (i == 0) {
            PutName(r, 0, "CH1S.ELG");
            Put32(r, 32, 3);
            Put32(r, 36, 200);
            Put32(r, 40, 600);
            Put32(r, 44, 60);
            Put32(r, 48, 300);
            Put32(r, 52, 10200);
            Put32(r, 0, 0);
            PutName(r, 0, "CH1S.ELG");
            r[56] = 3;  // inverted
            r[57] = 1;  // placed left
            r[61] = 1;  // turned over
            r[63] = 2;  // picture
            r[64] = 128;
            Put32(r, 84, 1); // sp_panime to restart
            Put32(r, 88, 200);
            PutName(r, 92, "(0,0)");
        }
        if (i == 2)
            Put32(r, 52, 10000);
        b.v.insert(b.v.end(), r.begin(), r.end());
    }

    at->window = b.v.size();
    std::vector<uint8_t> w = Bytes::Record(48);
    Put32(w, 0, 400);
    Put32(w, 4, 561);
    w[8] = 1;
    w[10] = 2;
    Put32(w, 12, 10);
    Put32(w, 16, 20);
    Put32(w, 24, 0xFFFFFFFF);
    b.v.insert(b.v.end(), w.begin(), w.end());

    at->logFlag = b.v.size();
    if (withLog) {
        b.U8(1);
        // The log's own form: one message entry.
        b.U32(1).U8(0).Text("Taro").Text("V01").U32(11).Raw("first words").U32(0).U8(0);
    } else {
        b.U8(0);
    }
    at->channels = b.v.size();
    b.Text("SE1").U8(1).U8(0).U8(0).U8(0);
    at->nameText = b.v.size();
    b.Text("Chapter");
    at->length = b.v.size();
    Bytes page;
    page.U8(0).U32(11).Raw("first words").Text("Taro").Text("V01");
    b.U32(static_cast<uint32_t>(page.v.size())).Raw(std::string(page.v.begin(), page.v.end()));
    at->end = b.v.size();
    return b.v;
}

std::vector<uint8_t> Save(CTgsFrame& f, bool withLog = true)
{
    std::vector<uint8_t> out(f.GetStateSize(withLog) + 16, 0xEE);
    uint8_t* p = out.data();
    size_t left = out.size();
    EXPECT_EQ(f.SaveState(&p, &left, withLog), 0);
    out.resize(out.size() - left);
    return out;
}

int Load(CTgsFrame& f, const std::vector<uint8_t>& block, bool withLog = true, size_t* used = nullptr)
{
    const uint8_t* p = block.data();
    size_t left = block.size();
    const int r = f.LoadState(&p, &left, withLog);
    if (used != nullptr)
        *used = static_cast<size_t>(p - block.data());
    return r;
}

int Check(CTgsFrame& f, const std::vector<uint8_t>& block, size_t* used = nullptr)
{
    const uint8_t* p = block.data();
    size_t left = block.size();
    const int r = f.CheckState(&p, &left, true);
    if (used != nullptr)
        *used = static_cast<size_t>(p - block.data());
    return r;
}

class TgsState : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pictures.ok);
        MakeBench();
    }
    // The bench over the pictures as they are now (the frame loads its skin when it is made).
    void MakeBench()
    {
        if (b)
            f->ClearScene();
        b.reset(); // the settings and the pixel library it published go first
        b = std::make_unique<Bench>();
        f = b->frame.get();
        b->frame->files["MAIN.TOB"] = tgstest::Pack(kTwoMessages);
        b->settings.config.fastEffects = 1;
        b->link.onStep = [this](tgsengine::RecordingLink& link) {
            reg.scheduler.RunDue(link.now);
            if (CImageObject* screen = f->Screen(0);
                screen->HasFilter() && screen->GetFilter()->Step(link.now) != 0)
                screen->DetachFilter(screen->GetApplyOnEnd());
            if (onStep)
                onStep(link);
        };
    }
    void TearDown() override
    {
        if (b)
            f->ClearScene();
        b.reset();
    }

    tgsrecord::Pictures pictures;
    tgsrecord::Registries reg;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
    std::function<void(tgsengine::RecordingLink&)> onStep;
};

TEST_F(TgsState, BlockFromTheTablesLoadsIntoTheRecords)
{
    Layout at{};
    const std::vector<uint8_t> block = HandBlock(&at);
    size_t used = 0;
    ASSERT_EQ(Check(*f, block, &used), 0);
    EXPECT_EQ(used, block.size());
    EXPECT_EQ(f->CurrentScript(), nullptr); // checking changed nothing
    ASSERT_EQ(Load(*f, block, true, &used), 0);
    EXPECT_EQ(used, block.size());
    EXPECT_EQ(f->StateReplaced(), 1);

    EXPECT_EQ(f->CurrentMessage(), 1);
    EXPECT_EQ(int64_t{f->Cursor()}, f->GetMessageOffset(f->CurrentScript(), 1));
    EXPECT_EQ(f->TransitionOption(0), 1);
    EXPECT_EQ(f->AutoTint(), 1);
    EXPECT_EQ(f->RememberedQuake(), (std::array<int32_t, 6>{1, 3, 4, 300, 1, 0}));
    EXPECT_EQ(f->MusicNumber(), 7);
    EXPECT_EQ(f->NextEffectChannel(), 2);
    EXPECT_EQ(f->ChoiceDisabled(0), 1);
    EXPECT_EQ(f->ChoiceDisabled(4), 1);
    EXPECT_EQ(f->PageWaitByte(), 1);
    const TgsLayerSlot& slot = f->LayerSlot(1);
    EXPECT_EQ(slot.effectKind, 11);
    EXPECT_EQ(slot.words[1], 40);
    EXPECT_STREQ(slot.text, "snow");

    const TgsPageRecord& front = f->Page(0);
    EXPECT_STREQ(front.name, "BG01A.ELG");
    EXPECT_EQ(front.colour, 0x123456u);
    EXPECT_EQ(front.colourMode, 1);
    EXPECT_EQ(front.variant, 1u);
    EXPECT_EQ(front.flipX, 1);
    EXPECT_EQ(front.x, 5);
    EXPECT_EQ(front.y, 6);
    EXPECT_EQ(front.viewLeft, -1);
    EXPECT_EQ(front.zoom, 1.5);
    EXPECT_EQ(front.angle, 64);
    EXPECT_EQ(front.image, nullptr); // pictures come back at the rebuild
    EXPECT_EQ(f->Page(1).colour, 0xFFu);

    const TgsSpriteRecord* s = f->FindSpriteSlot(0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, "CH1S.ELG");
    EXPECT_EQ(s->character, 3);
    EXPECT_EQ(s->x, 200);
    EXPECT_EQ(s->originY, 300);
    EXPECT_EQ(s->priority, 10200);
    EXPECT_EQ(s->colourMode, 3);
    EXPECT_EQ(s->positionMode, 1);
    EXPECT_EQ(s->flipY, 1);
    EXPECT_EQ(s->picture, 2);
    EXPECT_EQ(s->alpha, 128);
    EXPECT_EQ(s->pendingKind, 1);
    EXPECT_EQ(s->pendingArgument, 200);
    EXPECT_STREQ(s->pendingText, "(0,0)");
    EXPECT_EQ(f->FindSpriteSlot(2, 0, 0)->priority, 10000);

    EXPECT_EQ(f->WindowRecord().alignment, 2);
    EXPECT_EQ(f->WindowRecord().textX, 10);
    EXPECT_EQ(f->WindowRecord().colourIndex, -1);
    EXPECT_EQ(f->SoundChannel(0).name, "SE1");
    EXPECT_EQ(f->SoundChannel(0).flag, 1);
    EXPECT_EQ(f->NameText(), "Chapter");
    ASSERT_EQ(f->TextLog().Count(), 1);
    EXPECT_EQ(f->TextLog().GetEntry(0)->message.voice, "V01");
    ASSERT_NE(f->ResumePage(), nullptr);
    EXPECT_EQ(f->ResumePage()->voice, "V01");

    // Saved again before the resume: the same bytes but for the store's text cursor, which
    // now stands at the message's start.
    std::vector<uint8_t> again = block;
    Put32(again, 23, f->Cursor());
    EXPECT_EQ(Save(*f), again);
}

TEST_F(TgsState, SizesOfTheBlock)
{
    ASSERT_EQ(b->Run("@message 0\n"), 0);
    const uint32_t store = f->CTgsScriptStore::GetStateSize();
    // The fixed fields and the backlog flag, four silent channels, no name text, L, c and m.
    const std::vector<uint8_t> empty = Save(*f);
    EXPECT_EQ(f->GetStateSize(true), empty.size());
    EXPECT_EQ(empty.size(), store + 3661 + 4 + 1 + 4 + 5);
    // Asked for, but empty: flag 0 and no log bytes.
    EXPECT_EQ(f->TextLog().Count(), 0);
    EXPECT_EQ(empty[store + 3660], 0);
    // No choice is waited for: L counts the count byte and m only.
    EXPECT_EQ(empty[empty.size() - 9], 5);
    // A playing channel with a one-byte name costs four bytes.
    f->SoundChannel(1) = {"A", 1};
    EXPECT_EQ(Save(*f).size(), empty.size() + 3);
    EXPECT_EQ(f->GetStateSize(true), empty.size() + 3);
    // No room: refused, nothing written.
    std::vector<uint8_t> small(empty.size(), 0xAB);
    uint8_t* p = small.data();
    size_t left = small.size();
    EXPECT_EQ(f->SaveState(&p, &left, true), 1);
    EXPECT_EQ(left, small.size());
    EXPECT_EQ(small, std::vector<uint8_t>(empty.size(), 0xAB));
}

TEST_F(TgsState, DamagedBlocksAreRefusedWhole)
{
    Layout at{};
    const std::vector<uint8_t> good = HandBlock(&at);
    onStep = [](tgsengine::RecordingLink& link) { link.advance = true; };
    ASSERT_EQ(b->Run(kTwoMessages), 0);
    const std::vector<uint8_t> before = Save(*f);
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    auto set = [](size_t offset, uint8_t value) -> Edit { return [=](std::vector<uint8_t>& v) { v[offset] = value; }; };
    auto set32 = [](size_t offset, uint32_t value) -> Edit {
        return [=](std::vector<uint8_t>& v) { Put32(v, offset, value); };
    };
    auto cut = [](size_t length) -> Edit { return [=](std::vector<uint8_t>& v) { v.resize(length); }; };
    auto fill = [](size_t offset, size_t n) -> Edit {
        return [=](std::vector<uint8_t>& v) { std::memset(v.data() + offset, 'A', n); };
    };
    const size_t sprite0 = at.sprites;
    const struct {
        const char* what;
        Edit edit;
        int code;
    } cases[] = {
        {"store: a name without its NUL", set(10, 'X'), 1},
        {"store: a script that is not there", set(6, 'Q'), 1},
        {"store: cut", cut(10), 1},
        {"frame block cut", cut(at.frame + 100), 4},
        {"message number past the script", set32(at.frame, 2), 3},
        {"message number below -1", set32(at.frame, 0xFFFFFFFE), 4},
        {"transition option 2", set(at.frame + 4, 2), 4},
        {"quake kind 2", set32(at.frame + 8, 2), 4},
        {"window 1", set32(at.frame + 32, 1), 4},
        {"music below 0", set32(at.frame + 36, 0xFFFFFFFF), 4},
        {"next channel 4", set32(at.frame + 40, 4), 4},
        {"a disable mark of 2", set(at.frame + 46, 2), 4},
        {"voice marker 1", set32(at.frame + 52, 1), 4},
        {"layer kind 14", set32(at.frame + 56, 14), 4},
        {"layer kind below 0", set32(at.frame + 56, 0xFFFFFFFF), 4},
        {"layer text without its NUL", fill(at.frame + 56 + 28, 48), 4},
        {"page name without its NUL", fill(at.pages, 32), 4},
        {"animation name without its NUL", fill(at.pages + 124 + 32, 32), 4},
        {"page colour mode 5", set(at.pages + 73, 5), 4},
        {"page variant 3", set(at.pages + 74, 3), 4},
        {"page flip 2", set(at.pages + 77, 2), 4},
        {"page zoom not a number", set32(at.pages + 104, 0x7FC00000), 4},
        {"page zoom below 0", set32(at.pages + 104, 0xBF800000), 4},
        {"page animation state 3", set32(at.pages + 112, 3), 4},
        {"pages cut", cut(at.pages + 200), 4},
        {"sprite name without its NUL", fill(sprite0, 32), 4},
        {"sprite effect text without its NUL", fill(sprite0 + 92, 48), 4},
        {"sprite colour mode 7", set(sprite0 + 56, 7), 4},
        {"sprite placing 3", set(sprite0 + 57, 3), 4},
        {"sprite picture 7", set(sprite0 + 63, 7), 4},
        {"sprite effect kind 3", set32(sprite0 + 84, 3), 4},
        {"sprite priority of another group", set32(sprite0 + 52, 20000), 4},
        {"sprite priority between slots", set32(sprite0 + 52, 10050), 4},
        {"sprites cut", cut(sprite0 + 140 * 21 + 10), 4},
        {"window shown 2", set(at.window + 8, 2), 4},
        {"window alignment 3", set(at.window + 10, 3), 4},
        {"window colour index 256", set32(at.window + 24, 256), 4},
        {"backlog flag 2", set(at.logFlag, 2), 4},
        {"backlog entry of kind 9", set(at.logFlag + 5, 9), 2},
        {"backlog count past the end", set32(at.logFlag + 1, 1000), 2},
        {"channel named by one byte", set(at.channels, 1), 4},
        {"channel name without its NUL", set(at.channels + 4, 'X'), 4},
        {"name text without its NUL", set(at.nameText + 8, 'X'), 4},
        {"L past the end", set32(at.length, 1000), 4},
        {"L short of its fields", set32(at.length, 10), 4},
        {"L beyond its fields", [&](std::vector<uint8_t>& v) {
             Put32(v, at.length, static_cast<uint32_t>(at.end - at.length - 4 + 1));
             v.push_back(0);
         }, 4},
        {"nine choices", set(at.length + 4, 9), 4},
        {"m past L", set32(at.length + 5, 1000), 4},
        {"speaker without its NUL", set(at.length + 4 + 1 + 4 + 11 + 5, 'X'), 4},
        {"cut at the last byte", cut(at.end - 1), 4},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> block = good;
        c.edit(block);
        size_t used = 99;
        EXPECT_EQ(Check(*f, block, &used), c.code) << c.what;
        EXPECT_EQ(used, 0u) << c.what;
        EXPECT_EQ(Load(*f, block, true, &used), c.code) << c.what;
        EXPECT_EQ(used, 0u) << c.what;
        EXPECT_EQ(f->StateReplaced(), 0) << c.what;
        EXPECT_EQ(Save(*f), before) << c.what;
    }
    // The good block still loads after all of them.
    EXPECT_EQ(Load(*f, good), 0);
}

TEST_F(TgsState, MessageNumberMinusOneStartsAtTheText)
{
    Layout at{};
    std::vector<uint8_t> block = HandBlock(&at);
    Put32(block, at.frame, 0xFFFFFFFF);
    ASSERT_EQ(Load(*f, block), 0);
    EXPECT_EQ(f->CurrentMessage(), -1);
    EXPECT_EQ(f->Cursor(), 0u);
    // Without the backlog asked for, its bytes are read past and the log ends empty.
    ASSERT_EQ(Load(*f, block, false), 0);
    EXPECT_EQ(f->TextLog().Count(), 0);
}

// The rebuild restarts each layer kind from its words: the effect is made again and the slot
// holds the same words after; the fade-in happens unless the row's word says otherwise.
TEST_F(TgsState, RebuildRestartsEachLayerKind)
{
    const struct {
        int32_t kind;
        std::array<int32_t, 6> words;
        const char* text;
        bool fadeIn;
    } rows[] = {
        {1, {40, 1, 0}, "", false},          // noise with its second word set
        {1, {40, 0, 1}, "", true},
        {2, {0, 100, 1, 0}, "(0,0)", false}, // bg_panime on the front page
        {2, {1, 100, 1, 0}, "(0,0)", true},
        {3, {5, 5, 300, 0, 1, 0}, "", false},
        {3, {5, 5, 300, 1, 0, 1}, "", true},
        {4, {0, 10, 20, 30, 40, 1}, "", false},
        {6, {1, 10, 20, 30, 40, 0}, "", true},
        {7, {0, 2, 100}, "", false},
        {7, {1, 2, 100}, "", true},
        {8, {20000, 1, 1, 2, 0}, "SYS/CA020.TXT", false},
        {8, {20000, 0, 1, 1, 1}, "SYS/CA020.TXT", true},
        {8, {20000, 0, 0, 0, 0}, "SYS/CA020.TXT", false},
        {9, {500, 0, 0}, "", false},
        {9, {500, 0, 1}, "", true},
        {10, {40, 1, 1, 1}, "", false},
        {13, {40, 0, 1, 1}, "", true},
    };
    b->settings.config.fastEffects = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << " w1 " << row.words[0] << " w2 " << row.words[1]);
        ASSERT_EQ(f->StartScenario(false), 0);
        ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
        ASSERT_EQ(f->LoadLayerImage("BG12B.ELG", 1), 0);
        TgsLayerSlot& slot = f->LayerSlot(0);
        slot.effectKind = row.kind;
        for (size_t w = 0; w < 6; ++w)
            slot.words[w + 1] = row.words[w];
        std::strcpy(slot.text, row.text);
        TheLog() = tgsrecord::Log{};
        ASSERT_EQ(f->RebuildScene(), 0);
        EXPECT_EQ(TheLog().setUps.size(), 1u);
        EXPECT_EQ(f->LayerSlot(0).effectKind, row.kind);
        for (size_t w = 0; w < 6; ++w)
            EXPECT_EQ(f->LayerSlot(0).words[w + 1], row.words[w]) << "word " << w + 1;
        EXPECT_STREQ(f->LayerSlot(0).text, row.text);
        size_t crosses = 0;
        for (const auto& t : TheLog().transitions)
            crosses += t.name == "cross" ? 1 : 0;
        EXPECT_EQ(crosses, row.fadeIn ? 1u : 0u);
        ASSERT_FALSE(b->link.bgmCalls.empty());
        EXPECT_EQ(b->link.bgmCalls.back()[1], row.fadeIn ? 1000 : 0);
        f->ClearScene();
    }
}

// A load inside a page wait: the wait and the run end with -1 while the byte is set; the resume
// rebuilds the saved page and goes on at the loaded message, the page's collected text dropped.
TEST_F(TgsState, LoadInsideAWaitResumesAtTheLoadedMessage)
{
    const char* scenario = "@message 0\n"
                           "@speaker \"Taro\" \"V01\"\n"
                           "one\n"
                           "@page\n"
                           "@message 1\n"
                           "two\n"
                           "@page\n"
                           "@message 2\n"
                           "three\n"
                           "@page\n";
    b->frame->files["MAIN.TOB"] = tgstest::Pack(scenario);
    std::vector<uint8_t> saved;
    std::vector<std::string> seen;
    int loads = 0;
    int32_t savedEntries = 0;
    onStep = [&](tgsengine::RecordingLink& link) {
        if (!f->PageWaitByte())
            return;
        seen.emplace_back(f->MessageWindow()->GivenPageText());
        if (f->CurrentMessage() == 0 && saved.empty()) {
            saved = Save(*f);
            savedEntries = f->TextLog().Count();
        }
        if (f->CurrentMessage() == 2 && loads++ == 0) {
            ASSERT_EQ(Load(*f, saved), 0);
            return;
        }
        link.advance = true;
    };
    ASSERT_EQ(b->Run(scenario), -1);
    EXPECT_EQ(f->StateReplaced(), 1);
    EXPECT_EQ(f->WaitTimer(100), -1); // every wait ends while the byte is set
    EXPECT_EQ(f->RunText(), -1);
    EXPECT_EQ(f->CurrentMessage(), 0);
    EXPECT_EQ(f->TextLog().Count(), savedEntries);

    ASSERT_EQ(f->StartScenario(true), 0);
    EXPECT_EQ(f->StateReplaced(), 0);
    ASSERT_NE(f->MessageWindow(), nullptr);
    EXPECT_EQ(f->MessageWindow()->GivenPageText(), "one");
    EXPECT_TRUE(f->MessageWindow()->IsVisible());
    seen.clear();
    ASSERT_EQ(f->RunText(), 0);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), "one");
    EXPECT_EQ(seen.back(), "three");
    // The resumed page's text was not carried into the next page.
    std::vector<std::string> pages;
    for (int32_t i = 0; i < f->TextLog().Count(); ++i) {
        const TextLogEntry* e = f->TextLog().GetEntry(i);
        if (e->type == 0)
            pages.emplace_back(e->message.data.begin(), e->message.data.end());
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"one", "two", "three"}));
}

// The quick save and the quick load of the window menu, each inside a page wait: saved on the
// second page, loaded a page later. The run ends with -1 and the resume shows the saved page, not
// the first one, and goes on at the page after it; the page whose wait ran the save is the one
// the block names, whichever page shows when it is loaded.
TEST_F(TgsState, QuickLoadInALaterWaitResumesAtTheSavedPage)
{
    const char* scenario = "@message\n"
                           "@speaker \"Taro\"\n"
                           "one\n"
                           "@page\n"
                           "@message\n"
                           "@speaker \"Taro\"\n"
                           "two\n"
                           "@page\n"
                           "@message\n"
                           "three\n"
                           "@page\n"
                           "@message\n"
                           "four\n"
                           "@page\n";
    constexpr int kQuickSave = 3, kQuickLoad = 4; // action indexes of the window menu
    // The page-wait icon, so that the resumed page shows it.
    ASSERT_TRUE(pictures.Write("SYS/MS_CUR0.ELG", 16, 16, 32, [](int, int) { return 0xFFFFFFFFu; }));
    MakeBench();
    std::vector<uint8_t> saved;
    std::vector<std::string> seen;
    bool loaded = false;
    b->link.slotTitle = "T";
    b->link.onSave = [&](int, int) {
        saved = Save(*f);
        return 0;
    };
    b->link.onLoad = [&](int, int) { return Load(*f, saved); };
    onStep = [&](tgsengine::RecordingLink& link) {
        if (!f->PageWaitByte() || f->MessageWindow()->IsRevealing())
            return;
        // Each page with its speaker: the resumed page's name must not pass to the next page.
        const std::string text(f->MessageWindow()->GivenPageText());
        const std::string page = text + "/" + f->MessageWindow()->Name();
        if (seen.empty() || seen.back() != page)
            seen.push_back(page);
        if (text == "two" && saved.empty()) {
            link.action = kQuickSave;
            return;
        }
        if (text == "three" && !loaded) {
            loaded = true;
            link.action = kQuickLoad;
            return;
        }
        link.advance = true;
    };
    // Native 793 as the system script sees it: -1 asks for the resume.
    b->link.stopAfter = 20000; // a wait that never ends fails the test
    ASSERT_EQ(b->Run(scenario), -1);
    ASSERT_FALSE(saved.empty());
    ASSERT_EQ(b->link.loads.size(), 1u);
    EXPECT_EQ(f->StateReplaced(), 1);
    EXPECT_EQ(f->CurrentMessage(), 1);

    seen.clear();
    ASSERT_EQ(f->StartScenario(true), 0);
    EXPECT_EQ(f->MessageWindow()->GivenPageText(), "two");
    EXPECT_TRUE(f->MessageWindow()->IsWaitIconShown());
    ASSERT_EQ(f->RunText(), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"two/Taro", "three/", "four/"}));
    EXPECT_FALSE(f->NameWindow()->IsVisible());
    std::vector<std::string> logged;
    for (int32_t i = 0; i < f->TextLog().Count(); ++i) {
        const TextLogEntry* e = f->TextLog().GetEntry(i);
        if (e->type == 0)
            logged.push_back(std::string(e->message.data.begin(), e->message.data.end()) + "/" + e->message.name);
    }
    EXPECT_EQ(logged, (std::vector<std::string>{"one/Taro", "two/Taro", "three/", "four/"}));
}

// The milestone: a scene with a background zoomed, sprites of two groups with colour modes, a
// looping effect, music, a speaker and a choice is saved at its first page wait with its log; two
// pages on, inside a page wait, the buffer is loaded: the run ends with -1, the resume rebuilds
// the scene to the same frame pixel for pixel (quick screen effects), the loop plays again on its
// channel, the music is asked for again, and the log and the records equal the saved ones. Every
// cut of the buffer is refused with SaveState unchanged.
class TgsStateMilestone : public soundtest::SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_TRUE(pictures.ok);
        soundtest::Counter longer;
        longer.frames = 60 * 44100;
        pictures.dir.Write("SE/LOOP.CNT", soundtest::CounterFile(longer));
        // Pictures and sounds from one folder.
        ASSERT_EQ(SetBaseFolder(pictures.dir.Windows().c_str()), 0);
        player = std::make_unique<CSoundPlayer>();
        player->SetTaskScheduler(&scheduler);
        ASSERT_EQ(player->SetChannelCount(12), 0);
        g_pSoundManager = player.get();
        b = std::make_unique<Bench>();
        b->settings.config.fastEffects = 1;
        f = b->frame.get();
    }
    void TearDown() override
    {
        if (b)
            f->ClearScene();
        b.reset();
        g_pSoundManager = nullptr;
        player.reset();
        SoundTest::TearDown();
    }
    std::vector<uint32_t> Frame()
    {
        CImage out;
        EXPECT_EQ(out.Create(800, 600, 32, 0), 0);
        EXPECT_EQ(f->PageScene(0)->RenderToImage(&out, 0, kDrawAny, false), 0);
        std::vector<uint32_t> pixels(800 * 600);
        for (LONG y = 0; y < 600; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * 800], out.GetRowPointer(y), 800 * 4);
        return pixels;
    }
    std::vector<uint8_t> Records()
    {
        std::vector<uint8_t> out(2 * 124 + 22 * 140 + 48);
        uint8_t* p = out.data();
        EncodeTgsPage(f->Page(0), p);
        EncodeTgsPage(f->Page(1), p + 124);
        p += 248;
        for (int group : {0, 1, 2})
            for (uint8_t page : {0, 1})
                for (int slot = 0; slot < CTgsFrame::kGroupSlots[group]; ++slot, p += 140) {
                    TgsSpriteRecord r = *f->FindSpriteSlot(slot, page, group);
                    if (r.sprite != nullptr)
                        r.alpha = r.sprite->GetAlpha();
                    EncodeTgsSprite(r, p);
                }
        TgsWindowRecord window = f->WindowRecord();
        window.shown = f->MessageWindow() != nullptr && f->MessageWindow()->IsVisible() ? 1 : 0;
        EncodeTgsWindow(window, p);
        return out;
    }
    std::vector<uint8_t> Log()
    {
        const CTextLog& log = f->TextLog();
        if (log.Count() == 0)
            return {};
        const uint32_t from = log.GetEntry(0)->serial, to = log.GetEntry(log.Count() - 1)->serial;
        std::vector<uint8_t> out(log.GetSaveSize(from, to));
        uint8_t* p = out.data();
        EXPECT_EQ(log.Save(&p, from, to), 0);
        return out;
    }

    tgsrecord::Pictures pictures;
    CTimerManager scheduler;
    std::unique_ptr<CSoundPlayer> player;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
};

TEST_F(TgsStateMilestone, LoadInsideAWaitRebuildsTheSavedScene)
{
    const char* scenario = "@message 0\n"
                           "@bgm 3 0 1\n"
                           "@layerimage \"BG01A.ELG\" 0\n"
                           "@layerzoomset 64 \"1.25\" 400 300 0\n"
                           "@sprite 0 \"CH1S.ELG\" 1 0 0 0\n"
                           "@sprite 1 \"CH2M.ELG\" 2 0 0 0\n"
                           "@sprite 0 \"CH3X.ELG\" 0 0 0 1\n"
                           "@spcolormode 0 1 0 0 0 0\n"
                           "@spcolormode 0 3 0 0 0 1\n"
                           "@se \"SE/LOOP.CNT\" 0 0 1\n"
                           "@speaker \"Taro\" \"V01\"\n"
                           "first page\n"
                           "@page\n"
                           "@message 1\n"
                           "which?\n"
                           "@choice - \"yes\" \"no\" - - - - - - 0\n"
                           "@choicewait\n"
                           "@message 2\n"
                           "third page\n"
                           "@page\n"
                           "@message 3\n"
                           "fourth page\n"
                           "@page\n";
    std::vector<uint8_t> saved, savedLog, savedRecords;
    std::vector<uint32_t> savedFrame;
    int loads = 0;
    b->link.onStep = [&](tgsengine::RecordingLink& link) {
        winapi::AdvanceVirtualClock(link.stepMs);
        scheduler.RunDue(0);
        CTextLayer* layer = f->ChoiceLayer();
        if (layer != nullptr && layer->IsVisible() && layer->GetLineCount() > 1)
            layer->SelectLine(1);
        if (!f->PageWaitByte() || f->MessageWindow()->IsRevealing())
            return;
        if (f->CurrentMessage() == 0 && saved.empty()) {
            saved = Save(*f);
            savedFrame = Frame();
            savedLog = Log();
            savedRecords = Records();
        }
        if (f->CurrentMessage() == 3 && loads++ == 0) {
            ASSERT_EQ(Load(*f, saved), 0);
            return;
        }
        link.advance = true;
    };
    ASSERT_EQ(b->Run(scenario), -1);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(f->StateReplaced(), 1);
    EXPECT_FALSE(player->IsChannelPlaying(8)); // the cleared scene stopped the loop

    const size_t bgmCalls = b->link.bgmCalls.size();
    ASSERT_EQ(f->StartScenario(true), 0);
    EXPECT_EQ(f->CurrentMessage(), 0);
    EXPECT_EQ(Frame(), savedFrame);
    EXPECT_EQ(Log(), savedLog);
    const std::vector<uint8_t> records = Records();
    for (size_t i = 0; i < records.size() && i < savedRecords.size(); ++i)
        if (records[i] != savedRecords[i]) {
            ADD_FAILURE() << "record byte " << i << ": " << int(records[i]) << " saved " << int(savedRecords[i]);
            break;
        }
    EXPECT_TRUE(player->IsChannelPlaying(8));
    EXPECT_EQ(f->SoundChannel(0).name, "SE/LOOP.CNT");
    ASSERT_EQ(b->link.bgmCalls.size(), bgmCalls + 1);
    EXPECT_EQ(b->link.bgmCalls.back(), (std::array<int32_t, 3>{3, 0, 1}));
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->colourMode, 1);
    EXPECT_EQ(f->Page(0).zoom, 1.25);

    // Every cut of the buffer is refused; nothing changes.
    const std::vector<uint8_t> before = Save(*f);
    for (size_t n = 0; n < saved.size(); n += 7) {
        std::vector<uint8_t> cut(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(Load(*f, cut), 0) << n;
    }
    EXPECT_EQ(Save(*f), before);
    EXPECT_EQ(f->StateReplaced(), 0);
}

// The state tool reads through the engine's reader: every field by name; a damaged block gives
// its code and the offset where reading stopped, exit 1.
TEST(TgsStateTool, PrintsTheFieldsAndPointsAtDamage)
{
    Layout at{};
    std::vector<uint8_t> block = HandBlock(&at);
    TempFolder dir;
    ASSERT_TRUE(WriteWholeFile(dir.Linux("good.bin"), block.data(), block.size()));
    block[at.pages + 73] = 5;
    ASSERT_TRUE(WriteWholeFile(dir.Linux("bad.bin"), block.data(), block.size()));
    auto tool = [&](const std::string& file, const std::string& out) {
        const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool tgs state " +
                                    dir.Linux(file) + " > " + dir.Linux(out) + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(tool("good.bin", "good.txt"), 0);
    const std::string listing = dir.Read("good.txt");
    for (const char* line : {"message: 1\n", "music: 7\n", "layer[1]: kind 11 words 40 1 1 1 0 0 text \"snow\"",
                             "page.front: name \"BG01A.ELG\"", "sprite.A[0]: character 3 name \"CH1S.ELG\"",
                             "channel[0]: \"SE1\" flag 1", "name_text: \"Chapter\"", "voice: \"V01\"",
                             "backlog: 1 entries"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
    EXPECT_EQ(tool("bad.bin", "bad.txt"), 1);
    EXPECT_NE(dir.Read("bad.txt").find("code 4 at offset " + std::to_string(at.pages)), std::string::npos)
        << dir.Read("bad.txt");
}

} // namespace
