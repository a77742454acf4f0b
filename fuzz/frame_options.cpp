// Fuzzes the application frame's options as a game's settings would set them (sizes, position,
// modes, depth, input mode, menu style, key options and the switches: any byte values) through
// Init and Exit on the headless host: a known code, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../tests/display/frame_test_game.h"
#include "support/fuzz_input.h"
#include "winapi/host_headless.h"

namespace {

class OptionsGame : public FrameTestGame {
public:
    using FrameTestGame::FrameTestGame;
    // The game thread, when the options ask for one, ends after its first frame.
    int OnThreadFrame() override { return 1; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    winapi::CurrentHost();
    if (winapi::CurrentHeadlessHost() == nullptr)
        return 0;
    FuzzInput in{data, size};
    FrameTestScreen screen;
    // Any of the screen's calls may fail.
    static const char* const kCalls[] = {"EnumDisplayDevices", "SetOutputSize",          "CreateSurfaceSprite",
                                         "CreateDisplay(full)", "CreateDisplay(window)", "RestoreDevice"};
    const uint8_t failures = in.Byte();
    for (int i = 0; i < 6; ++i)
        if (failures & (1u << i))
            screen.fail.insert(kCalls[i]);
    int code;
    {
        OptionsGame game(&screen, "FuzzFrame");
        game.logFolder = "Z:\\tmp\\";
        AppFrameOptions wanted;
        wanted.screenWidth = in.U16();
        wanted.screenHeight = in.U16();
        wanted.windowStyle = in.U32();
        wanted.windowExStyle = in.U32();
        wanted.singleInstance = in.Byte();
        wanted.screenModes = in.Byte();
        wanted.skipDriveCheck = in.Byte();
        wanted.reportInProgramFolder = in.Byte();
        wanted.fullScreenMenuStyle = in.Byte();
        wanted.gameThread = in.Byte() & 1;
        wanted.displayCanvas = in.Byte();
        wanted.useZBuffer = in.Byte();
        wanted.topMostInFullScreen = in.Byte();
        wanted.cursorPlacement = in.Byte();
        wanted.menuHoverDelay = in.U16();
        wanted.minimiseOnDeactivation = in.Byte();
        wanted.writeReport = in.Byte() & 1;
        wanted.inputMode = in.Byte();
        wanted.joysticks = in.Byte();
        wanted.disableScreenSaver = in.Byte();
        wanted.disablePowerSaving = in.Byte();
        wanted.keepSystemAwake = in.Byte();
        wanted.requestedMode = in.Byte();
        wanted.requestedDepth = in.Byte();
        wanted.windowX = static_cast<int32_t>(in.U32());
        wanted.windowY = static_cast<int32_t>(in.U32());
        wanted.keyOptions = in.Byte();
        game.configure = [&](AppFrameOptions& o) { o = wanted; };
        game.frameLimit = 1;
        code = game.Run(nullptr, nullptr, nullptr, SW_SHOW);
    }
    static const int kCodes[] = {0, 1, 2, 3, 5, 6, 7, 8, 11, 12, 13};
    bool known = false;
    for (int c : kCodes)
        known = known || c == code;
    if (!known)
        __builtin_trap();
    return 0;
}
