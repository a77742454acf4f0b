// The handle table: handles find their object only with the right generation and with their own
// type or a base of it.
#include <gtest/gtest.h>

#include "script/script_handle_table.h"

namespace {

TEST(ScriptHandleTable, OnlyLiveHandlesOfTheRightTypeFindTheirObject)
{
    CScriptHandleTable table;
    int a = 0, b = 0;
    const uint32_t ha = table.Add(&a, ScriptObjectType::Sprite);
    const uint32_t hb = table.Add(&b, ScriptObjectType::Control);
    ASSERT_NE(ha, 0u);
    EXPECT_EQ(ha, 0x40000000u);
    EXPECT_EQ(hb, 0x40000100u);
    EXPECT_EQ(table.Get(ha, ScriptObjectType::Sprite), &a);
    EXPECT_EQ(table.Get(ha, ScriptObjectType::Any), &a);
    ScriptObjectType type = ScriptObjectType::Any;
    EXPECT_EQ(table.Get(hb, &type), &b);
    EXPECT_EQ(type, ScriptObjectType::Control);

    const struct {
        const char* name;
        uint32_t word;
        ScriptObjectType type;
    } nulls[] = {
        {"zero", 0, ScriptObjectType::Any},
        {"wrong type", ha, ScriptObjectType::Control},
        {"wrong generation", ha + 1, ScriptObjectType::Any},
        {"slot never used", 0x40000200u, ScriptObjectType::Any},
        {"script address", 0x10000u, ScriptObjectType::Any},
        {"native cell", 0x7F000000u, ScriptObjectType::Any},
        {"last word below the natives", 0x7EFFFFFFu, ScriptObjectType::Any},
        {"negative word", 0xC0000000u, ScriptObjectType::Any},
    };
    for (const auto& c : nulls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(table.Get(c.word, c.type), nullptr);
        if (c.type == ScriptObjectType::Any) {
            EXPECT_FALSE(table.Remove(c.word));
        }
    }
    EXPECT_EQ(table.Add(nullptr, ScriptObjectType::Sprite), 0u);
    EXPECT_EQ(table.Add(&a, ScriptObjectType::Any), 0u);

    EXPECT_TRUE(table.Remove(ha));
    EXPECT_EQ(table.Get(ha, ScriptObjectType::Any), nullptr); // stale
    EXPECT_FALSE(table.Remove(ha));
    EXPECT_EQ(table.Count(), 1u);
}

TEST(ScriptHandleTable, AHandleServesItsTypeAndItsBasesOnly)
{
    using T = ScriptObjectType;
    const struct {
        T made, asked;
        bool served;
    } cases[] = {
        {T::Sprite, T::Sprite, true},         {T::Sprite, T::Drawable, true},    {T::Sprite, T::Any, true},
        {T::Drawable, T::Sprite, false},      {T::Sprite, T::Primitive, false},  {T::Sprite, T::Control, false},
        {T::TextPanel, T::Control, true},     {T::Control, T::TextPanel, false}, {T::TextPanel, T::TextLayer, false},
        {T::ListLayer, T::ListBase, true},    {T::ListLayer, T::Control, true},  {T::ListBase, T::ListLayer, false},
        {T::Image, T::Surface, true},         {T::Image, T::Drawable, false},    {T::StreamSound, T::SoundBuffer, true},
        {T::StreamSound, T::LoadedSound, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "made " << static_cast<int>(c.made) << ", asked " << static_cast<int>(c.asked));
        CScriptHandleTable table;
        int object = 0;
        const uint32_t handle = table.Add(&object, c.made);
        EXPECT_EQ(table.Get(handle, c.asked), c.served ? &object : nullptr);
    }
}

TEST(ScriptHandleTable, AHandleNarrowsToADerivedTypeOnly)
{
    using T = ScriptObjectType;
    const struct {
        const char* name;
        T made, given;
        bool answer;
        T after;
    } cases[] = {
        {"a derived type", T::Control, T::TextPanel, true, T::TextPanel},
        {"two levels down", T::Control, T::ListLayer, true, T::ListLayer},
        {"the same type", T::Sprite, T::Sprite, true, T::Sprite},
        {"a base does not widen it", T::TextPanel, T::Control, false, T::TextPanel},
        {"an unrelated type", T::Sprite, T::Control, false, T::Sprite},
        {"a sibling", T::TextPanel, T::TextLayer, false, T::TextPanel},
        {"Any", T::Sprite, T::Any, false, T::Sprite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptHandleTable table;
        int object = 0;
        const uint32_t handle = table.Add(&object, c.made);
        EXPECT_EQ(table.Narrow(handle, c.given), c.answer);
        T type = T::Any;
        EXPECT_EQ(table.Get(handle, &type), &object);
        EXPECT_EQ(type, c.after);
        table.Remove(handle);
        EXPECT_FALSE(table.Narrow(handle, c.made)); // stale
    }
}

TEST(ScriptHandleTable, FreedSlotsAreReusedOldestFirst)
{
    CScriptHandleTable table(3);
    int o[4] = {};
    const uint32_t h0 = table.Add(&o[0], ScriptObjectType::Image);
    const uint32_t h1 = table.Add(&o[1], ScriptObjectType::Image);
    const uint32_t h2 = table.Add(&o[2], ScriptObjectType::Image);
    EXPECT_EQ(table.Add(&o[3], ScriptObjectType::Image), 0u); // full
    table.Remove(h2);
    table.Remove(h0);
    const uint32_t reused = table.Add(&o[3], ScriptObjectType::Image);
    EXPECT_EQ(reused >> 8, h2 >> 8); // the slot freed first
    EXPECT_NE(reused, h2);
    EXPECT_EQ(table.Get(h1, ScriptObjectType::Image), &o[1]);
}

TEST(ScriptHandleTable, AReusedSlotNeverRevivesAnOldHandle)
{
    CScriptHandleTable table(1);
    int object = 0;
    std::vector<uint32_t> old;
    for (int i = 0; i < 256; ++i) {
        const uint32_t h = table.Add(&object, ScriptObjectType::Task);
        ASSERT_NE(h, 0u) << i;
        for (uint32_t stale : old)
            ASSERT_EQ(table.Get(stale, ScriptObjectType::Any), nullptr);
        old.push_back(h);
        ASSERT_TRUE(table.Remove(h));
    }
    // The slot has given out all 256 generations; it is retired rather than wrapped.
    EXPECT_EQ(table.Add(&object, ScriptObjectType::Task), 0u);
}

} // namespace
