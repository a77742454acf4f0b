#include "platform/app_config.h"

#include <cstring>

#include "winapi/text.h"

const char kDefaultFaceNameUtf8[] = "ＭＳ ゴシック";

AppConfig* g_pAppConfig = nullptr;

void SetAppConfigDefaults(AppConfig* c)
{
    std::memset(c, 0, sizeof *c);
    // Flags whose default is on, one table row per run of fields.
    c->askBeforeWebPage = 1;
    c->colourTakenChoices = c->skipStopsAtUnread = c->hideCursor = c->soundOption = c->option9 = 1;
    c->hideSystemButtons = c->keepBackData = c->option15 = c->popupHints = 1;
    c->popupHintDelay = 750;
    c->unreadCharMs = 30;
    c->readNoWait = 1;
    c->readCharMs = 30;
    c->historyPages = 150;
    c->historyInSaves = 1;
    c->autoCharMs = 30;
    c->autoMinimumWait = 1000;
    std::strncpy(c->faceName, winapi::Sjis(kDefaultFaceNameUtf8), sizeof c->faceName - 1);
    c->antiAlias = 1;
    c->decoration = 2;
    c->drawTextFrame = 1;
    c->frameTransparency = 140;
    c->frameColour = (16u << 16) | (110u << 8) | 168u;
    c->masterOn = c->bgmOn = c->seOn = c->systemSeOn = c->voiceOn = 1;
    c->masterVolume = 256;
    c->bgmVolume = 150;
    c->seVolume = 160;
    c->systemSeVolume = 170;
    c->voiceVolume = 256;
    c->lowerBgmForVoice = 1;
    c->bgmLevelForVoice = 65;
    static const uint8_t kKeys[16] = {0x2C, 0x2D, 0x1E, 0x41, 0x42, 0x43, 0x44, 0x39,
                                      0x32, 0x2E, 0xD2, 0x1F, 0x0E, 0x14, 0xC9, 0xD1};
    std::memcpy(c->keys, kKeys, sizeof kKeys);
    c->fastForwardKey = 1;
    c->rightButtonAction = 1;
    c->wheelDownAdvances = 1;
    c->topMostFullScreen = 1;
    c->startInWindow = 1;
    c->enlargedDrawing = 1;
    c->powerOfTwoTextures = c->bilinear = c->copyThroughDc = 1;
    c->playMovies = c->movieWindow = 1;
    c->movieVolume = 256;
    c->confirmBack = c->confirmQuickLoad = 1;
    c->saveDialogTab = 2;
    c->ringBank1 = 5;
    c->confirmOverwrite = c->commentIsMessage = c->closeAfterSave = c->option182 = c->thumbnailNoFrame = 1;
    c->option190 = 1;
    c->clickSkipsEffects = 1;
    c->systemMenuStart = 5;
}
