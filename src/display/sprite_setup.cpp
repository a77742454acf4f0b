#include "display/sprite_setup.h"

#include "display/image_object.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "raster/image.h"

namespace {

int Place(CSprite* sprite, CImage* image, LONG x, LONG y, LONG left, LONG top, LONG right, LONG bottom)
{
    const RECT source{left, top, right, bottom};
    return sprite->SetImage(image, left >= 0 ? &source : nullptr, x, y) == 0 ? 0 : 3;
}

int Insert(CSprite* sprite, int priority, bool visible, uint8_t overlay, CImageObject* canvas)
{
    if (priority >= 0) {
        if (canvas == nullptr && g_pDisplay != nullptr)
            canvas = g_pDisplay->GetFrameImage();
        if (canvas == nullptr)
            return 3;
        CDrawList* list = nullptr;
        if (overlay)
            list = canvas->GetOverlayList();
        else if (CScene* scene = canvas->GetScene())
            list = &scene->GetList();
        const DWORD group = g_pDisplay != nullptr ? g_pDisplay->GetDrawableGroup() : 0;
        if (list == nullptr || list->Insert(sprite, static_cast<uint32_t>(priority), group) != 0)
            return 3;
    }
    sprite->SetVisible(visible);
    return 0;
}

} // namespace

int SetUpSpriteFromFile(CSprite* sprite, CImage* image, const char* file, LONG x, LONG y, int keyMode,
                        int32_t keyValue, LONG left, LONG top, LONG right, LONG bottom, int priority, bool visible,
                        uint8_t overlay, CImageObject* canvas)
{
    if (sprite == nullptr || image == nullptr)
        return 1;
    if (file == nullptr || image->Load(file, nullptr, 0, 0) != 0)
        return 2;
    if (const int code = Place(sprite, image, x, y, left, top, right, bottom); code != 0)
        return code;
    const auto value = static_cast<uint32_t>(keyValue);
    if (keyMode == 0)
        image->SetColorKeyRgb(static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value));
    else if (keyMode >= 1)
        image->SetColorKeyAt(static_cast<LONG>(value & 0xFFFF), static_cast<LONG>(value >> 16));
    else if (keyMode < -1) {
        sprite->SetBlendMode(2);
        sprite->SetAlpha(static_cast<BYTE>(keyValue));
    }
    return Insert(sprite, priority, visible, overlay, canvas);
}

int SetUpSpriteFromImage(CSprite* sprite, CImage* image, LONG x, LONG y, uint8_t blendMode, int32_t alpha, LONG left,
                         LONG top, LONG right, LONG bottom, int priority, bool visible, uint8_t overlay,
                         CImageObject* canvas)
{
    if (sprite == nullptr || image == nullptr)
        return 1;
    if (const int code = Place(sprite, image, x, y, left, top, right, bottom); code != 0)
        return code;
    if (blendMode != 0) {
        sprite->SetBlendMode(blendMode);
        sprite->SetAlpha(static_cast<BYTE>(alpha));
    }
    return Insert(sprite, priority, visible, overlay, canvas);
}
