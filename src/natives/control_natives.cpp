// Natives 723-736 (see control_natives.h).
#include "natives/control_natives.h"

#include "controls/control_command.h"
#include "controls/control_parts.h"
#include "controls/image_map.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "natives/control_args.h"
#include "natives/typed_control_natives.h"

namespace {

// Reads the control of word 0 and the words after it; answers `none` for a word that names no
// control, else runs the operation.
template <class Words, class Act>
uint32_t OnControl(SobNativeArgs& args, uint32_t none, Words words, Act act)
{
    ControlArgs c(args);
    CControl* control = c.Control(0);
    const auto w = words(c);
    if (!c.Ready())
        return 0;
    if (control == nullptr)
        return none;
    return act(*control, w);
}

struct NoWords {
    int operator()(ControlArgs&) const { return 0; }
};

} // namespace

uint32_t NativeControlSetUserValue(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.I32(1); },
                     [](CControl& control, int32_t value) {
                         control.SetUserValue(value);
                         return 1u;
                     });
}

uint32_t NativeControlSetName(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.Text(1); },
                     [](CControl& control, const char* name) {
                         control.SetHintText(name);
                         return 1u;
                     });
}

uint32_t NativeControlSetExtra(SobNativeArgs& args)
{
    struct Four {
        int32_t v[4];
    };
    return OnControl(args, 0, [](ControlArgs& c) { return Four{{c.I32(1), c.I32(2), c.I32(3), c.I32(4)}}; },
                     [](CControl& control, const Four& f) {
                         control.SetExtraValues(f.v[0], f.v[1], f.v[2], f.v[3]);
                         return 1u;
                     });
}

uint32_t NativeControlSetChannels(SobNativeArgs& args)
{
    struct Channels {
        int32_t activate, enter, leave;
    };
    return OnControl(args, 0xFFFFFFFFu, [](ControlArgs& c) { return Channels{c.I32(1), c.I32(2), c.I32(3)}; },
                     [](CControl& control, const Channels& ch) -> uint32_t {
                         switch (control.GetType()) {
                         case kControlButton:
                         case kControlToggle:
                         case kControlRect:
                         case kControlImageButton:
                             // These four keep their events in a command record.
                             if (auto* holder = dynamic_cast<CCommandHolder*>(&control)) {
                                 holder->SetCommand(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, ch.activate, ch.enter, ch.leave);
                                 return 0;
                             }
                             return 1;
                         case kControlScroll:
                             static_cast<CScrollControl&>(control).SetSounds(nullptr, nullptr, nullptr, ch.activate,
                                                                             ch.enter, ch.leave);
                             return 0;
                         case kControlTextLayer:
                             static_cast<CTextLayerBase&>(control).SetSounds(nullptr, nullptr, nullptr, ch.activate,
                                                                             ch.enter, ch.leave);
                             return 0;
                         case kControlImageMap:
                             static_cast<CImageMap&>(control).SetSounds(nullptr, nullptr, nullptr, ch.activate,
                                                                        ch.enter, ch.leave);
                             return 0;
                         default:
                             return 1;
                         }
                     });
}

uint32_t NativeControlSetEnabled(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.Flag(1); },
                     [](CControl& control, bool on) { return control.SetEnabled(on) ? 1u : 0u; });
}

uint32_t NativeControlIsEnabled(SobNativeArgs& args)
{
    return OnControl(args, 0, NoWords{}, [](CControl& control, int) { return control.IsEnabled() ? 1u : 0u; });
}

uint32_t NativeControlSetVisible(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.Flag(1); },
                     [](CControl& control, bool on) {
                         control.SetVisible(on);
                         return 1u;
                     });
}

uint32_t NativeControlIsVisible(SobNativeArgs& args)
{
    return OnControl(args, 0, NoWords{}, [](CControl& control, int) { return control.IsVisible() ? 1u : 0u; });
}

uint32_t NativeControlSetPosition(SobNativeArgs& args)
{
    struct Point {
        int32_t x, y;
    };
    return OnControl(args, 0, [](ControlArgs& c) { return Point{c.I32(1), c.I32(2)}; },
                     [](CControl& control, const Point& p) {
                         return static_cast<uint32_t>(control.SetPosition(p.x, p.y));
                     });
}

uint32_t NativeControlSetPriority(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.I32(1); },
                     [](CControl& control, int32_t priority) {
                         return static_cast<uint32_t>(control.SetPriority(priority, 0, true));
                     });
}

uint32_t NativeControlSetAlpha(SobNativeArgs& args)
{
    return OnControl(args, 0, [](ControlArgs& c) { return c.Byte(1); },
                     [](CControl& control, uint8_t alpha) { return static_cast<uint32_t>(control.SetAlpha(alpha)); });
}

uint32_t NativeControlWidth(SobNativeArgs& args)
{
    return OnControl(args, 0, NoWords{}, [](CControl& control, int) { return static_cast<uint32_t>(control.GetWidth()); });
}

uint32_t NativeControlHeight(SobNativeArgs& args)
{
    return OnControl(args, 0, NoWords{},
                     [](CControl& control, int) { return static_cast<uint32_t>(control.GetHeight()); });
}

uint32_t NativeControlPart(SobNativeArgs& args)
{
    ControlArgs c(args);
    CControl* control = c.Control(0);
    const int32_t index = c.I32(1);
    if (!c.Ready() || control == nullptr)
        return 0;
    return ControlPartHandle(*c.host, GetObjectPart(control, index));
}
