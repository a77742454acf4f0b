// Handles of engine objects: a handle serves its object's kind and every base of it, nothing
// else, and yields the object exactly as the asked class (a base at an offset included); an
// object has one handle whichever class it is handed out through, and its end retires it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <type_traits>

#include "controls/list_layer.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "display/task.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "raster/image.h"
#include "sound/loaded_sound.h"
#include "sound/stream_sound.h"
#include "support/host_fixture.h"

namespace {

using hosttest::HostFixture;
using Kind = ScriptObjectType;

// A sprite that is not its class's first base: its CSprite (and CDrawable) part lies at an offset.
struct Padding {
    virtual ~Padding() = default;
    long long bytes[3] = {};
};
class OffsetSprite : public Padding, public CSprite {};

// Every class a lookup may name here: each is asked for the handle, and must give the object
// (as that class) exactly when its kind is among served, null otherwise.
template <class... Asked>
struct Lookups {
    template <class Object>
    static void Check(CScriptHost& host, uint32_t handle, Object* object, std::initializer_list<Kind> served)
    {
        (CheckOne<Asked>(host, handle, object, served), ...);
    }
    template <class A, class Object>
    static void CheckOne(CScriptHost& host, uint32_t handle, Object* object, std::initializer_list<Kind> served)
    {
        constexpr Kind kind = ScriptObjectKind<A>();
        const bool serves = std::find(served.begin(), served.end(), kind) != served.end();
        A* expected = nullptr;
        if constexpr (std::is_base_of_v<A, Object>)
            expected = serves ? static_cast<A*>(object) : nullptr;
        else
            EXPECT_FALSE(serves) << "kind " << static_cast<int>(kind) << " is no base of the object";
        EXPECT_EQ(host.Object<A>(handle), expected) << "asked as kind " << static_cast<int>(kind);
    }
};
using AllLookups = Lookups<CSurface, CImage, CDrawable, CSprite, CPrimitiveObject, CTask, CControl, CTextPanelBase,
                           CTextLayerBase, CScrollControl, CListBase, CListLayer, CSoundBuffer, CLoadedSound,
                           CStreamSound>;

// Makes an object, hands it out through the class the row names and checks every lookup.
template <class Object, class HandedAs = Object>
std::function<void(CScriptHost&, std::initializer_list<Kind>)> Row()
{
    return [](CScriptHost& host, std::initializer_list<Kind> served) {
        auto* object = new Object();
        const uint32_t handle = host.ObjectHandle(static_cast<HandedAs*>(object));
        ASSERT_NE(handle, 0u);
        AllLookups::Check(host, handle, object, served);
        delete object;
        AllLookups::Check(host, handle, object, {}); // retired with the object
    };
}

TEST(ScriptObjectHandles, AHandleServesItsKindAndItsBases)
{
    const struct {
        const char* name;
        std::function<void(CScriptHost&, std::initializer_list<Kind>)> run;
        std::initializer_list<Kind> served;
    } cases[] = {
        {"sprite", Row<CSprite>(), {Kind::Drawable, Kind::Sprite}},
        {"sprite whose base lies at an offset", Row<OffsetSprite>(), {Kind::Drawable, Kind::Sprite}},
        {"primitive", Row<CPrimitiveObject>(), {Kind::Drawable, Kind::Primitive}},
        {"image", Row<CImage>(), {Kind::Surface, Kind::Image}},
        {"text panel (a kind through its base class)", Row<CTextPanel>(), {Kind::Control, Kind::TextPanel}},
        {"text layer", Row<CTextLayer>(), {Kind::Control, Kind::TextLayer}},
        {"list layer, two levels below control", Row<CListLayer>(), {Kind::Control, Kind::ListBase, Kind::ListLayer}},
        {"list layer handed out as a control", Row<CListLayer, CControl>(), {Kind::Control}},
        {"scroll control", Row<CScrollControl>(), {Kind::Control, Kind::Scroll}},
        {"streamed sound", Row<CStreamSound>(), {Kind::SoundBuffer, Kind::StreamSound}},
        {"loaded sound", Row<CLoadedSound>(), {Kind::SoundBuffer, Kind::LoadedSound}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HostFixture f;
        c.run(f.Start(), c.served);
    }
}

TEST(ScriptObjectHandles, AnObjectKeepsOneHandleThroughEveryClass)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    {
        SCOPED_TRACE("handed out as a control first, then as a text panel: the handle narrows");
        CTextPanel panel;
        const uint32_t handle = host.ObjectHandle(static_cast<CControl*>(&panel));
        EXPECT_EQ(host.Object<CTextPanelBase>(handle), nullptr);
        EXPECT_EQ(host.ObjectHandle(&panel), handle);
        EXPECT_EQ(host.Object<CTextPanelBase>(handle), &panel);
        EXPECT_EQ(host.ObjectHandle(static_cast<CControl*>(&panel)), handle); // a base does not widen it again
        EXPECT_EQ(host.Object<CTextPanelBase>(handle), &panel);
    }
    {
        SCOPED_TRACE("a base at an offset: one handle, ended through the base's destructor");
        auto* sprite = new OffsetSprite();
        const uint32_t handle = host.ObjectHandle(sprite);
        EXPECT_EQ(host.ObjectHandle(static_cast<CDrawable*>(sprite)), handle);
        EXPECT_EQ(host.Object<CDrawable>(handle), static_cast<CDrawable*>(sprite));
        const uint32_t owner = host.Memory().Allocate(4);
        host.Memory().Store32(owner, handle);
        ASSERT_TRUE(host.ClearOnDestruction(handle, owner));
        delete sprite;
        uint32_t cell = 1;
        host.Memory().Load32(owner, &cell);
        EXPECT_EQ(cell, 0u);
        EXPECT_EQ(host.Object<CSprite>(handle), nullptr);
    }
}

} // namespace
