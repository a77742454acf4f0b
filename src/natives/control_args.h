// Words of the control natives: controls (by type code), fonts, images and texts read from a
// call's argument words as handles, and optional tails of arguments replaced by defaults.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "controls/control.h"
#include "display/display_objects.h"
#include "drawing/glyph_font.h"
#include "natives/native_args.h"

struct ControlArgs {
    SobNativeArgs& args;
    CScriptHostBase* host;

    explicit ControlArgs(SobNativeArgs& a) : args(a), host(NativeHost(a)) {}

    // Whether every word read so far was inside script memory and a host is there to act.
    bool Ready() const { return host != nullptr && !args.Faulted(); }

    uint32_t U32(uint32_t k) { return args.U32(k); }
    int32_t I32(uint32_t k) { return args.I32(k); }
    bool Flag(uint32_t k) { return args.U32(k) != 0; }
    uint8_t Byte(uint32_t k) { return static_cast<uint8_t>(args.U32(k)); }

    // A word as a string address: 0 is null; any other a checked view (marks the call when bad).
    const char* TextAt(uint32_t address)
    {
        if (address == 0)
            return nullptr;
        std::string_view text;
        if (!args.Memory().Str(address, &text)) {
            args.MarkFault();
            return nullptr;
        }
        return text.data();
    }
    const char* Text(uint32_t k) { return TextAt(args.U32(k)); }

    CControl* ControlAt(uint32_t handle) { return host != nullptr ? host->Object<CControl>(handle) : nullptr; }
    CControl* Control(uint32_t k) { return ControlAt(args.U32(k)); }
    // The control of word k when its type code is `type`, as its class; else null.
    template <class T>
    T* Typed(uint32_t k, int type)
    {
        CControl* control = Control(k);
        return control != nullptr && control->GetType() == type ? static_cast<T*>(control) : nullptr;
    }

    CFont* FontAt(uint32_t handle) { return host != nullptr ? host->Object<CFont>(handle) : nullptr; }
    CGlyphFont* GlyphAt(uint32_t handle) { return dynamic_cast<CGlyphFont*>(FontAt(handle)); }
    CGlyphFont* Glyph(uint32_t k) { return GlyphAt(args.U32(k)); }
    // The image that holds a surface's pixels (GetSurfaceImage), or null.
    CImage* ImageOf(uint32_t k)
    {
        return host != nullptr ? GetSurfaceImage(host->Object<CSurface>(args.U32(k))) : nullptr;
    }

    // Words [first, first + N) of an optional tail, or its defaults when word `first` is the
    // marker; the tail's other words are then not read (the script need not pass them).
    template <size_t N>
    std::array<int32_t, N> Tail(uint32_t first, uint32_t marker, const std::array<int32_t, N>& defaults)
    {
        if (args.U32(first) == marker)
            return defaults;
        std::array<int32_t, N> words{};
        for (size_t i = 0; i < N; ++i)
            words[i] = args.I32(first + static_cast<uint32_t>(i));
        return words;
    }
};

// What a creation hands out: the new control's handle, 0 when it was not made. The control is
// taken by reference: it is read after the Add call in the same argument list has set it.
template <class T>
uint32_t CreatedHandle(ControlArgs& c, int result, T* const& control)
{
    return result == 0 && control != nullptr ? c.host->ObjectHandle(control) : 0;
}

constexpr uint32_t kTailMarker = 65535;
constexpr uint32_t kTailMarkerMinus1 = 0xFFFFFFFFu;
