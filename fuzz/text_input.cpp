// The text input field driven by the input: single- or multi-line fields of random sizes and
// capacities take key codes, typed bytes (with Enter, Backspace, line breaks and stray lead
// bytes) and clicks. After each step the text fits, the caret and the first visible byte sit on
// character boundaries, and no half character ends the text.
#include "controls/text_input.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/input_source.h"
#include "support/fuzz_input.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Shared {
    Shared()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\fuzz\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        g_pCosTable = &cos;
        font.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
        vertical.SetFont(12, 0, 0, winapi::Sjis("@ＭＳ ゴシック"));
        vertical.SetAngle(2700);
    }
    std::unique_ptr<CPixelLibrary> library;
    CCosTable cos;
    CGlyphFont font, vertical;
};

class Click : public CInputSource {
public:
    bool IsDown(int code) override { return code == 0; }
    bool IsPushed(int code) override { return code == 0; }
    int FindFirstDown() override { return 0; }
    int FindFirstPushed() override { return 0; }
    void Clear() override {}
};

// True when p is a character boundary of text.
bool Boundary(const char* text, int p)
{
    int i = 0;
    while (i < p && text[i])
        i += winapi::IsSjisLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] ? 2 : 1;
    return i == p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Shared shared;
    FuzzInput in{data, size};
    CDrawList list;
    CTextInput input;
    const int lines = in.Small(4);
    CGlyphFont& font = in.Small(2) ? shared.vertical : shared.font;
    input.SetMaxLength(1 + in.Small(40));
    char caller[16] = "abc";
    const int width = in.Small(200);
    const int created =
        lines >= 2 ? input.CreateMultiLine(&list, 1, nullptr, nullptr, &font, lines, width, caller, 16, 0, 0,
                                           in.Small(4), in.Small(3), in.Small(2), 1)
                   : input.CreateSingleLine(&list, 1, nullptr, nullptr, &font, width, caller, 16, 0, 0, in.Small(4),
                                            in.Small(2), 1);
    if (created != 0)
        return 0;
    static const int kKeys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_DELETE, 'A'};
    Click click;
    for (int step = 0; step < 48 && !in.AtEnd(); ++step) {
        const int op = in.Small(4);
        if (op == 0) {
            input.OnKeyDown(kKeys[in.Small(8)]);
        } else if (op == 1) {
            input.OnMouseInput(in.Small(input.GetWidth() + 4), in.Small(input.GetHeight() + 4), &click);
        } else {
            char bytes[8];
            const int n = 1 + in.Small(8);
            for (int i = 0; i < n; ++i) {
                static const char kSpecial[] = {'\x08', '\x0A', '\x0D', '\x82', '\xA0', '\xB1', 'a', '\x81'};
                const uint8_t b = in.Byte();
                bytes[i] = (b & 0x80) ? static_cast<char>(b) : kSpecial[b & 7];
            }
            input.OnTextInput(bytes, n);
        }
        const char* text = input.GetText();
        if (!text)
            __builtin_trap();
        const int length = static_cast<int>(std::strlen(text));
        if (length > input.GetMaxLength() || !Boundary(text, input.GetCaret()) || !Boundary(text, length))
            __builtin_trap();
        if (lines < 2 && (!Boundary(text, input.GetFirstVisible()) || input.GetFirstVisible() > input.GetCaret()))
            __builtin_trap();
        // A lead byte ending the text would be half a character.
        int last = -1;
        for (int i = 0; i < length;) {
            last = i;
            i += winapi::IsSjisLeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] ? 2 : 1;
        }
        if (last >= 0 && last == length - 1 && winapi::IsSjisLeadByte(static_cast<unsigned char>(text[last])))
            __builtin_trap();
    }
    input.Commit();
    if (std::strlen(caller) > 15)
        __builtin_trap();
    return 0;
}
