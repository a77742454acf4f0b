// The scenario frame's typed records: background pages, sprite slots, message-window records and
// layer slots. The words that the text log copies out of a page or a sprite are kept as their own
// arrays (the log stores them unchanged).
#pragma once

#include <array>
#include <cstdint>

class CImage;
class CSprite;
class CTimedTask;

struct TgsPageRecord {
    char name[32] = {};      // empty: no image
    char layerName[32] = {}; // the page's animation file
    uint32_t variant = 0;
    uint32_t colour = 0;
    uint8_t colourMode = 0;
    uint8_t flipX = 0, flipY = 0, letterbox = 0;
    // The eleven words the text log keeps: offset x, y, view x, y, width, height, colour,
    // colour mode, flips, frame and the zoom in thousandths.
    std::array<int32_t, 11> logWords{};
    int32_t frame = -1;
    double zoom = 0;
    CImage* image = nullptr;
    CTimedTask* effects[3] = {};
    CTimedTask* animation = nullptr;
    uint8_t shown = 0;
};

struct TgsSpriteRecord {
    char name[32] = {};
    int32_t character = -1; // negative: none
    int32_t x = 0, y = 0, originX = 0, originY = 0;
    int32_t priority = 0;
    // The seven words the text log keeps: position mode, colour mode, flips, the off-screen flag,
    // the character number and the two origin words.
    std::array<int32_t, 7> logWords{};
    CImage* image = nullptr;
    CSprite* sprite = nullptr;
    CTimedTask* effect = nullptr;
};

// The style of one message window (the start values of command 23's SetWindowStyle).
struct TgsWindowRecord {
    int32_t baseX = 400, baseY = 561;
    int32_t frameKind = 0, fadeTime = 0;
    int32_t textX = 400, textY = 561;
    int32_t sprite = -1, group = -1;
    int32_t colourIndex = 0;
    uint8_t textMode = 0;
    CTimedTask* effects[2] = {};
};

struct TgsLayerSlot {
    int32_t effectKind = 0; // 0 none; else a restartable layer effect
    CTimedTask* effect = nullptr;
};
