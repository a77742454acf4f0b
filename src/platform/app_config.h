// AppConfig: the game's 196-byte settings block (APP_CFG.DAT), with every field at its stored
// offset. The game application owns one and publishes it as g_pAppConfig; the scenario engine,
// the sound layer and the natives read it directly.
#pragma once

#include <cstddef>
#include <bit>
#include <cstdint>

#pragma pack(push, 1)
struct AppConfig {
    uint8_t askBeforeWebPage;        // 0
    uint8_t detailedReport;          // 1
    uint8_t lastSheetPage;           // 2
    uint8_t fastEffects;             // 3
    uint8_t colourTakenChoices;      // 4
    uint8_t skipStopsAtUnread;       // 5
    uint8_t choicesEndSkip;          // 6
    uint8_t hideCursor;              // 7
    uint8_t soundOption;             // 8
    uint8_t option9;                 // 9
    uint8_t bottomHidesFrame;        // 10
    uint8_t hideSystemButtons;       // 11
    uint8_t autoSaveAtChoices;       // 12
    uint8_t keepBackData;            // 13
    uint8_t option14;                // 14
    uint8_t option15;                // 15
    uint8_t popupHints;              // 16
    uint8_t pad17[3];                // 17
    uint32_t popupHintDelay;         // 20
    uint8_t unreadNoWait;            // 24
    uint8_t unreadCharMs;            // 25
    uint8_t readNoWait;              // 26
    uint8_t readCharMs;              // 27
    uint8_t option28;                // 28
    uint8_t historyPages;            // 29
    uint8_t historyInSaves;          // 30
    uint8_t autoCharMs;              // 31
    uint32_t autoMinimumWait;        // 32
    char faceName[32];               // 36
    uint8_t antiAlias;               // 68
    uint8_t gradient;                // 69
    uint8_t decoration;              // 70
    uint8_t bold;                    // 71
    uint8_t boldRuby;                // 72
    uint8_t drawTextFrame;           // 73
    uint8_t frameTransparency;       // 74
    uint8_t pad75;                   // 75
    uint32_t frameColour;            // 76, 0x00RRGGBB
    uint8_t voiceCharacter;          // 80
    uint8_t masterOn;                // 81
    uint8_t bgmOn;                   // 82
    uint8_t seOn;                    // 83
    uint8_t systemSeOn;              // 84
    uint8_t voiceOn;                 // 85
    uint8_t oneVoiceVolume;          // 86
    uint8_t pad87;                   // 87
    int32_t masterVolume;            // 88
    int32_t bgmVolume;               // 92
    int32_t seVolume;                // 96
    int32_t systemSeVolume;          // 100
    int32_t voiceVolume;             // 104
    uint8_t stopVoiceAtNext;         // 108
    uint8_t lowerBgmForVoice;        // 109
    uint8_t option110[3];            // 110
    uint8_t bgmLevelForVoice;        // 113
    uint8_t keys[16];                // 114
    uint8_t fastForwardKey;          // 130
    uint8_t noFastForwardUnread;     // 131
    uint8_t useJoystick;             // 132
    uint8_t joystickButtons[16];     // 133
    uint8_t rightButtonAction;       // 149
    uint8_t option150;               // 150
    uint8_t rightClickEndsAuto;      // 151
    uint8_t wheelButtonAction;       // 152
    uint8_t wheelDownAdvances;       // 153
    uint8_t changeResolution;        // 154
    uint8_t topMostFullScreen;       // 155
    uint8_t resolutionMethod;        // 156, 1 or 2 (0 at load: chosen by the display)
    uint8_t targetMonitor;           // 157, 0 automatic, n = monitor n - 1
    uint8_t startInWindow;           // 158
    uint8_t keepWindowPosition;      // 159
    uint8_t enlargedDrawing;         // 160, 1 + method (0 at load: chosen by the display)
    uint8_t drawingAlways;           // 161
    uint8_t powerOfTwoTextures;      // 162
    uint8_t bilinear;                // 163
    uint8_t copyThroughDc;           // 164
    uint8_t playMovies;              // 165
    uint8_t movieWindow;             // 166
    uint8_t pad167;                  // 167
    int32_t movieVolume;             // 168
    uint8_t confirmBack;             // 172
    uint8_t confirmQuickLoad;        // 173
    uint8_t saveDialogTab;           // 174
    uint8_t lastSaveTab;             // 175
    uint8_t lastSavePosition;        // 176
    uint8_t ringBank0;               // 177
    uint8_t ringBank1;               // 178
    uint8_t confirmOverwrite;        // 179
    uint8_t commentIsMessage;        // 180
    uint8_t closeAfterSave;          // 181
    uint8_t option182;               // 182
    uint8_t thumbnailNoFrame;        // 183
    uint8_t confirmLoad;             // 184
    uint8_t autoSaveBeforeLoad;      // 185
    uint8_t savedOnce;               // 186
    uint8_t lastSlotBank0;           // 187
    uint8_t lastSlotBank1;           // 188
    uint8_t fastSystemScreens;       // 189
    uint8_t option190;               // 190
    uint8_t clickSkipsEffects;       // 191
    uint8_t systemMenuStart;         // 192
    uint8_t saveDialogPosition;      // 193
    uint8_t pad194[2];               // 194
};
#pragma pack(pop)

static_assert(sizeof(AppConfig) == 196);
static_assert(std::endian::native == std::endian::little, "the block is stored as it lies in memory");
static_assert(offsetof(AppConfig, popupHintDelay) == 20 && offsetof(AppConfig, faceName) == 36 &&
              offsetof(AppConfig, frameColour) == 76 && offsetof(AppConfig, masterVolume) == 88 &&
              offsetof(AppConfig, keys) == 114 && offsetof(AppConfig, joystickButtons) == 133 &&
              offsetof(AppConfig, movieVolume) == 168 && offsetof(AppConfig, saveDialogPosition) == 193);

// The default face name of the text: a Japanese Gothic face.
extern const char kDefaultFaceNameUtf8[];

// Fills every field with its default (the face name in Shift-JIS, alignment bytes 0).
void SetAppConfigDefaults(AppConfig* config);

// The game's settings block, or null before the scripts start (tools and tests without a game).
extern AppConfig* g_pAppConfig;
