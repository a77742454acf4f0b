// The scenario frame's typed records: background pages, sprite slots, message-window records and
// layer slots. The words that the text log copies out of a page or a sprite are computed from the
// fields (LogWords), so they always say what the record holds.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CImage;
class CKadFile;
class CLayerEffect;
class CSprite;
class CTimedTask;

// ---- layers and sprites ----
struct TgsPageRecord {
    char name[32] = {};      // empty: no image
    char layerName[32] = {}; // the page's animation file
    uint32_t variant = 0;    // 0, or 1 or 2 from a BG name's letter
    uint32_t colour = 0;     // fill colour while the page has no image
    uint8_t colourMode = 0;  // 0 none, 1-4
    uint8_t flipX = 0, flipY = 0, letterbox = 0;
    uint8_t mosaic = 0;      // the last pixel operation's block size (0 none)
    int32_t x = 0, y = 0;    // the page position (its scene's background offset)
    // The view rectangle of the 800 x 600 screen; viewLeft -1: none.
    int32_t viewLeft = -1, viewTop = 0, viewRight = 0, viewBottom = 0;
    int32_t angle = 0;       // rotation in 1/512 turns while zoomed
    int32_t frame = -1;
    double zoom = 0;         // 0: not zoomed
    // Held through the frame's image counts (HoldImage / DropImage): shared with the other page
    // when both show the same picture.
    CImage* image = nullptr;
    // The page's scene rendered into one picture (RenderLayer), owned; null until first used.
    CImage* renderImage = nullptr;
    uint8_t rendered = 0;
    // The background effect, the quake and a third effect; the "bg_anime" animation.
    CLayerEffect* effects[3] = {};
    CLayerEffect* animation = nullptr;
    CKadFile* animationFile = nullptr; // owned: the animation's group file
    uint8_t animationState = 0;        // 1 playing, 2 paused
    int32_t animationGroup = 0, animationEntry = 0; // where the animation started playing
    uint8_t shown = 0;

    // The eleven words the text log keeps: offset x, y, view x, y, width, height, colour, colour
    // mode, flips, frame and the zoom in thousandths.
    std::array<int32_t, 11> LogWords() const;
    // Takes every field of other that comes before the image (the page's own `shown` stays):
    // what a page shows, without its picture, render picture, effects or animation.
    void CopyFieldsFrom(const TgsPageRecord& other);
};

struct TgsSpriteRecord {
    char name[32] = {};
    // The character the slot shows (the voice table's index for the picture's name; INT32_MAX
    // when none matches); negative: the slot is empty.
    int32_t character = -1;
    int32_t x = 0, y = 0, originX = 0, originY = 0;
    int32_t priority = 0;
    int32_t positionMode = -1; // the last PlaceSprite mode, -1 none
    uint8_t colourMode = 0;
    uint8_t flipX = 0, flipY = 0;
    uint8_t mosaic = 0;        // the last pixel operation's block size (0 none)
    uint8_t offScreen = 0;
    uint8_t reload = 0;        // load the picture again even under the same name
    // Held through the frame's image counts; shared with the same slot of the other page.
    CImage* image = nullptr;
    CSprite* sprite = nullptr; // owned, in the page's display list
    CLayerEffect* effect = nullptr;
    // ---- effect control ----
    // The picture shown (0-6 for part lists), the zoom an animation left (zoom, angle in 1/512
    // turns, centre) and an animation the scene rebuild starts again: 0 none, 1 sp_panime,
    // 2 sp_parts, with its argument word and text.
    int32_t picture = 0;
    double animationZoom = 0;
    int32_t animationAngle = 0, zoomX = 0, zoomY = 0;
    int32_t pendingKind = 0;
    int32_t pendingArgument = 0;
    char pendingText[48] = {};
    // The sprite's alpha as a saved state gives it back (read from the sprite when saved).
    uint8_t alpha = 255;

    // The seven words the text log keeps: position mode, colour mode, flips, the off-screen flag,
    // the character number and the two origin words.
    std::array<int32_t, 7> LogWords() const;
    // Takes every field of other that comes before the image: name, character, position, origin,
    // priority, placing, colour mode, flips and the reload mark.
    void CopyFieldsFrom(const TgsSpriteRecord& other);
};

// The style of one message window (the start values of command 23's SetWindowStyle).
struct TgsWindowRecord {
    int32_t baseX = 400, baseY = 561;
    int32_t frameKind = 0, fadeTime = 0;
    int32_t textX = 400, textY = 561;
    int32_t sprite = -1, group = -1;
    int32_t colourIndex = 0;
    uint8_t textMode = 0;
    uint8_t alignment = 0; // 0 centre, 1 left, 2 right
    // As a saved state holds them: the window was shown, and its sprite's zoom (0: none), angle
    // and pivot.
    uint8_t shown = 0;
    double zoom = 0;
    int32_t angle = 0, pivotX = 0, pivotY = 0;
    CLayerEffect* effects[2] = {};
};

// ---- effect control ----
// What a layer slot's effect was started with, so that a saved state can start it again: word 0
// (the kind), words 1-6 and a text of at most 47 characters.
struct TgsLayerSlot {
    int32_t effectKind = 0;         // 0 none; else a restartable layer effect
    std::array<int32_t, 7> words{}; // [1]-[6] the kind's words ([0] is the kind's place)
    char text[48] = {};
    CLayerEffect* effect = nullptr;
};

// ---- sound channels ----
// What one of the scenario's four effect channels (sound-manager channels 8 to 11) last looped, so
// that a saved state can start it again: the file name (empty: nothing to restart) and the flag
// byte it was started with (1 streamed). The name's stored size is its length + 1.
struct TgsSoundChannel {
    std::string name;
    uint8_t flag = 0;
};
