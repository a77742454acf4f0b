// Fuzzes the frame's text-entry buffer: arbitrary WM_CHAR bytes, key presses and deliveries. A
// delivery holds at most 32 bytes and never half a Shift-JIS character.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "../tests/display/frame_test_game.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"

namespace {

class Checker : public ITextInputTarget {
public:
    uint8_t OnKeyDown(int) override { return 1; }
    uint8_t OnTextInput(const char* bytes, int count) override
    {
        if (count <= 0 || count > 32)
            __builtin_trap();
        // Walked from its start, the text ends on a whole character.
        int i = 0;
        while (i < count)
            i += winapi::IsSjisLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i != count)
            __builtin_trap();
        return 2;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    winapi::CurrentHost();
    if (winapi::CurrentHeadlessHost() == nullptr)
        return 0;
    // One frame and window for the whole run; every input starts with a fresh buffer.
    static FrameTestScreen* screen = new FrameTestScreen;
    static FrameTestGame* game = [] {
        auto* g = new FrameTestGame(screen, "FuzzText");
        g->configure = [](AppFrameOptions& o) { o.singleInstance = 0; };
        return g->Init() == 0 ? g : nullptr;
    }();
    if (game == nullptr)
        return 0;
    HWND hwnd = game->GetMainWindow();
    game->AttachTextInput(hwnd);
    Checker checker;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        // 0x00 delivers, 0x01 is a key press; every other byte is typed.
        if (b == 0)
            game->DeliverTextInput(&checker);
        else if (b == 1)
            SendMessageA(hwnd, WM_KEYDOWN, VK_LEFT, 0);
        else
            SendMessageA(hwnd, WM_CHAR, b, 1);
    }
    game->DeliverTextInput(&checker);
    game->DeliverTextInput(&checker);
    game->AttachTextInput(nullptr);
    return 0;
}
