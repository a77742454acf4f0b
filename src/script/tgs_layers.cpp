// The scenario frame's layers and sprites: background pages and the sprite slots of the three
// groups, each kept for the front and the back page, their pictures, colour modes, placement and
// priorities. A picture shown by both pages is held twice (HoldImage) and freed by its last
// holder; a colour mode or pixel operation first gives the page or slot a copy of its own.
#include "script/tgs_layers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/kad_file.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "files/object_plugin_manager.h"
#include "files/path_utils.h"
#include "platform/decimal_text.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "script/text_log.h"
#include "script/tgs_frame.h"
#include "sound/sound_player.h"
#include "winapi/kernel_string.h"

namespace {

bool SameName(const char* field, const char* name)
{
    return field[0] != 0 && name != nullptr && lstrcmpiA(field, name) == 0;
}

// Tone, greyscale, colourise and invert by mode; unknown modes change nothing.
void ApplyColourMode(CImage& image, uint8_t mode)
{
    switch (mode) {
    case 1:
        Grayscale(image, nullptr);
        break;
    case 2:
        Grayscale(image, nullptr);
        Colorize(image, 152, 128, 107, 24, 0, -4, nullptr);
        break;
    case 3:
        Invert(image, 0, nullptr);
        break;
    case 4:
        image.AdjustBrightness(150, nullptr);
        break;
    case 5:
        Colorize(image, 132, 132, 126, 8, 8, -9, nullptr);
        break;
    case 6:
        Colorize(image, 125, 120, 131, -13, 2, 0, nullptr);
        break;
    default:
        break;
    }
}

// 0 the mode may be applied; 2 another mode is on (3 on 3 restores and is allowed).
int CheckColourMode(uint8_t current, uint8_t mode)
{
    if (mode == 0 || current == 0 || (mode == 3 && current == 3))
        return 0;
    return 2;
}

uint8_t NextColourMode(uint8_t current, uint8_t mode)
{
    if (mode == 0)
        return current;
    return mode == 3 && current == 3 ? 0 : mode;
}

void Flip(CImage& image, uint8_t flipX, uint8_t flipY)
{
    if (flipX != 0)
        PixelLibOp14(image, nullptr);
    if (flipY != 0)
        PixelLibOp16(image, nullptr);
}

// The file part of a name, without folders.
std::string FilePart(const char* name)
{
    char file[MAX_PATH] = {};
    if (name != nullptr && std::strlen(name) < MAX_PATH)
        GetFileName(name, file, true);
    return file;
}

} // namespace

namespace {

// Cancels a page's animation and frees its group file (the effect never reads it after its cancel).
void ReleaseAnimation(TgsPageRecord& p)
{
    if (p.animation != nullptr) {
        if (g_pObjectManager == nullptr || !g_pObjectManager->Cancel(p.animation))
            p.animation->SetOwnerSlot<CLayerEffect>(nullptr);
        p.animation = nullptr;
    }
    delete p.animationFile;
    p.animationFile = nullptr;
    p.animationState = 0;
    p.layerName[0] = 0;
}

} // namespace

// ---- free helpers ----

void CopyRecordName(char (&field)[32], const char* name)
{
    const std::string cut = CutSjis(name != nullptr ? name : "", sizeof field - 1);
    std::memcpy(field, cut.data(), cut.size());
    field[cut.size()] = 0;
}

uint32_t BackgroundVariant(const char* name, const std::vector<int32_t>& table)
{
    const std::string file = FilePart(name);
    const char* p = file.c_str();
    if ((p[0] != 'B' && p[0] != 'b') || (p[1] != 'G' && p[1] != 'g'))
        return 0;
    p += 2;
    if (*p < '0' || *p > '9')
        return 0;
    int64_t number = 0;
    while (*p >= '0' && *p <= '9') {
        number = number * 10 + (*p - '0');
        if (number > INT32_MAX)
            return 0;
        ++p;
    }
    const char letter = static_cast<char>(*p & ~0x20);
    if (letter < 'A' || letter > 'C')
        return 0;
    const int32_t group = letter - 'A' + 1;
    const uint32_t variant = letter == 'A' ? 1 : 2;
    // The letter's group: from the entry -group to the next header or the end.
    bool inGroup = false, empty = true;
    for (const int32_t v : table) {
        if (v == 0)
            break;
        if (v < 0) {
            if (inGroup)
                break;
            inGroup = v == -group;
            continue;
        }
        if (!inGroup)
            continue;
        empty = false;
        if (v == number)
            return variant;
    }
    return inGroup && empty ? variant : 0;
}

int32_t FindPictureOffset(const uint8_t* chain, size_t size, int32_t key)
{
    if (chain == nullptr || size < 5)
        return 0;
    const uint32_t length =
        chain[1] | (uint32_t(chain[2]) << 8) | (uint32_t(chain[3]) << 16) | (uint32_t(chain[4]) << 24);
    // The length counts its own four bytes; the block never reaches past the chain.
    if (length < 4)
        return 0;
    const size_t data = std::min<size_t>(length - 4, size - 5);
    const uint8_t* entry = chain + 5;
    for (size_t at = 0; at + 6 <= data; at += 6) {
        const auto k = static_cast<int16_t>(entry[at] | (entry[at + 1] << 8));
        if (k == key)
            return static_cast<int16_t>(entry[at + 4] | (entry[at + 5] << 8));
    }
    return 0;
}

// ---- records ----

std::array<int32_t, 11> TgsPageRecord::LogWords() const
{
    const bool view = viewLeft != -1;
    return {x,
            y,
            viewLeft,
            view ? viewTop : 0,
            view ? viewRight - viewLeft : 0,
            view ? viewBottom - viewTop : 0,
            static_cast<int32_t>(colour),
            colourMode,
            flipX | (flipY << 1) | (letterbox << 2),
            frame,
            static_cast<int32_t>(std::clamp(zoom * 1000.0, -2147483648.0, 2147483647.0))};
}

std::array<int32_t, 7> TgsSpriteRecord::LogWords() const
{
    return {positionMode, colourMode, flipX | (flipY << 1), offScreen, character, originX, originY};
}

void TgsPageRecord::CopyFieldsFrom(const TgsPageRecord& o)
{
    std::memcpy(name, o.name, sizeof name);
    std::memcpy(layerName, o.layerName, sizeof layerName);
    variant = o.variant;
    colour = o.colour;
    colourMode = o.colourMode;
    flipX = o.flipX;
    flipY = o.flipY;
    letterbox = o.letterbox;
    mosaic = o.mosaic;
    x = o.x;
    y = o.y;
    viewLeft = o.viewLeft;
    viewTop = o.viewTop;
    viewRight = o.viewRight;
    viewBottom = o.viewBottom;
    angle = o.angle;
    frame = o.frame;
    zoom = o.zoom;
}

void TgsSpriteRecord::CopyFieldsFrom(const TgsSpriteRecord& o)
{
    std::memcpy(name, o.name, sizeof name);
    character = o.character;
    x = o.x;
    y = o.y;
    originX = o.originX;
    originY = o.originY;
    priority = o.priority;
    positionMode = o.positionMode;
    colourMode = o.colourMode;
    flipX = o.flipX;
    flipY = o.flipY;
    mosaic = o.mosaic;
    offScreen = o.offScreen;
    reload = o.reload;
}

// ---- set-up and teardown ----

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

void CTgsFrame::ReleaseLayers()
{
    for (uint8_t page = 0; page < 2; ++page) {
        ResetSpriteGroups(page, -1);
        TgsPageRecord& p = Page(page);
        ReleaseAnimation(p);
        if (CScene* scene = PageScene(page)) {
            scene->ReleaseBackgroundWork();
            scene->SetBackgroundImage(nullptr, 0, 0, true);
        }
        DropImage(p.image);
        delete p.renderImage;
        p = TgsPageRecord{};
    }
    InitLayers();
}

void CTgsFrame::DetachScreens()
{
    if (m_canvas != nullptr)
        m_canvas->SetSceneSwapHandler(nullptr, nullptr);
    if (m_ownBackCanvas) {
        if (m_canvas != nullptr && m_canvas->GetBackCanvas() == m_ownBackCanvas.get())
            m_canvas->SetBackCanvas(nullptr);
        m_ownBackCanvas.reset();
    }
    m_pScreens = {};
}

int CTgsFrame::AttachScreens()
{
    m_pScreens = {m_canvas, nullptr};
    if (m_canvas == nullptr)
        return 1;
    if (m_canvas->GetBackCanvas() == nullptr) {
        // A canvas without a back page gets one of the frame's own, of its size.
        const CImage* image = m_canvas->GetImage();
        auto back = std::make_unique<CSurfaceSprite>();
        if (image == nullptr || back->Create(image->GetWidth(), image->GetHeight(), 32, 2) != 0 ||
            m_canvas->SetBackCanvas(back.get()) != 0)
            return 1;
        m_ownBackCanvas = std::move(back);
    }
    m_pScreens[1] = m_canvas->GetBackCanvas();
    m_canvas->SetSceneSwapHandler([](void* self) { static_cast<CTgsFrame*>(self)->CarryWindowsToFront(); }, this);
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

// ---- image counts ----

namespace {

// A copy of image for one holder of a shared picture; null when it cannot be made.
CImage* CopyImage(const CImage* image)
{
    auto* copy = new CImage;
    if (copy->CopyFrom(image, 0) != 0) {
        delete copy;
        return nullptr;
    }
    copy->SetAlphaFlag(image->HasAlpha());
    copy->SetUserValue1(image->GetUserValue1());
    copy->SetUserValue2(image->GetUserValue2());
    if (image->GetExtraDataSize() != 0)
        copy->SetExtraData(image->GetExtraData(), image->GetExtraDataSize());
    return copy;
}

} // namespace


void CTgsFrame::HoldImage(CImage* image)
{
    if (image == nullptr)
        return;
    for (auto& [held, count] : m_imageRefs) {
        if (held == image) {
            ++count;
            return;
        }
    }
    m_imageRefs.emplace_back(image, 1);
}

void CTgsFrame::DropImage(CImage* image)
{
    if (image == nullptr)
        return;
    for (auto it = m_imageRefs.begin(); it != m_imageRefs.end(); ++it) {
        if (it->first == image) {
            if (--it->second == 0) {
                m_imageRefs.erase(it);
                delete image;
            }
            return;
        }
    }
    delete image; // never held: the caller's own
}

bool CTgsFrame::IsImageShared(const CImage* image) const
{
    for (const auto& [held, count] : m_imageRefs) {
        if (held == image)
            return count > 1;
    }
    return false;
}

CImage* CTgsFrame::TakeImage(CImage* image)
{
    if (image == nullptr)
        return nullptr;
    if (!IsImageShared(image)) {
        std::erase_if(m_imageRefs, [image](const auto& e) { return e.first == image; });
        return image;
    }
    CImage* copy = CopyImage(image);
    DropImage(image);
    return copy;
}

// ---- background pages ----

namespace {

void ShowPage(CScene* scene, const TgsPageRecord& p)
{
    if (scene == nullptr)
        return;
    if (p.image == nullptr) {
        scene->SetBackgroundImage(nullptr, 0, 0, false);
        scene->SetBackgroundColor(p.colour, true);
        return;
    }
    // While zoomed, x and y are the zoom's centre, not the picture's place.
    const bool zoomed = p.viewLeft == -1 && p.zoom != 0;
    scene->SetBackgroundImage(p.rendered != 0 && p.renderImage != nullptr ? p.renderImage : p.image,
                              zoomed ? 0 : p.x, zoomed ? 0 : p.y, true);
    if (p.viewLeft != -1) {
        const RECT view{p.viewLeft, p.viewTop, p.viewRight, p.viewBottom};
        scene->SetBackgroundView(0, 0, CTgsFrame::kScreenWidth, CTgsFrame::kScreenHeight, &view);
    } else if (p.zoom != 0) {
        scene->SetBackgroundRotateZoom(p.x, p.y, p.angle, p.zoom);
    }
}

} // namespace

int CTgsFrame::RenderLoggedScene(const TextLogScene& logged, CImage* target)
{
    if (target == nullptr || target->Create(kScreenWidth, kScreenHeight, 32, 0) != 0)
        return 1;
    // The pictures and sprites outlive the scene, whose list lets them go first.
    CImage picture;
    std::vector<std::unique_ptr<CImage>> images;
    std::vector<std::unique_ptr<CSprite>> sprites;
    CScene scene;
    if (scene.SetTarget(target, true) != 0)
        return 1;
    const auto& w = logged.words;
    TgsPageRecord page;
    page.x = w[0];
    page.y = w[1];
    if (w[2] != -1 && w[4] > 0 && w[5] > 0) {
        page.viewLeft = w[2];
        page.viewTop = w[3];
        page.viewRight = static_cast<int32_t>(std::min<int64_t>(int64_t{w[2]} + w[4], INT32_MAX));
        page.viewBottom = static_cast<int32_t>(std::min<int64_t>(int64_t{w[3]} + w[5], INT32_MAX));
    }
    page.colour = static_cast<uint32_t>(w[6]);
    page.zoom = w[10] > 0 ? w[10] / 1000.0 : 0;
    if (!logged.background.empty() && logged.background.size() < MAX_PATH &&
        picture.Load(logged.background.c_str(), nullptr, 0, 0) == 0) {
        ApplyColourMode(picture, static_cast<uint8_t>(w[7]));
        Flip(picture, static_cast<uint8_t>(w[8] & 1), static_cast<uint8_t>((w[8] & 2) != 0));
        if ((w[8] & 4) != 0) {
            picture.FillRect32XYWH(0, 0, kScreenWidth, 75, 0xFF000000);
            picture.FillRect32XYWH(0, 525, kScreenWidth, 75, 0xFF000000);
        }
        page.image = &picture;
    }
    ShowPage(&scene, page);
    // In the log's order, each over the ones before.
    for (const TextLogSceneItem& item : logged.items) {
        auto image = std::make_unique<CImage>();
        if (item.name.empty() || item.name.size() >= MAX_PATH || image->Load(item.name.c_str(), nullptr, 0, 0) != 0)
            continue;
        ApplyColourMode(*image, static_cast<uint8_t>(item.words[1]));
        Flip(*image, static_cast<uint8_t>(item.words[2] & 1), static_cast<uint8_t>((item.words[2] & 2) != 0));
        auto sprite = std::make_unique<CSprite>();
        sprite->SetImage(image.get(), nullptr, item.x, item.y);
        if (image->HasAlpha())
            sprite->SetBlendMode(2);
        if (scene.GetList().Insert(sprite.get(), 0, 0) != 0)
            continue;
        images.push_back(std::move(image));
        sprites.push_back(std::move(sprite));
    }
    scene.Redraw(nullptr, nullptr, 0, 0);
    return 0;
}

int CTgsFrame::LoadLayerImage(const char* name, uint8_t page)
{
    StopTransition();
    ResetBackgroundEffects(page, false);
    TgsPageRecord& p = Page(page);
    if (name == nullptr || *name == 0)
        return ClearLayer(p.colour, page);
    if (SameName(p.name, name) && p.image != nullptr && p.x == 0 && p.y == 0 && p.flipX == 0 && p.flipY == 0 &&
        p.zoom == 0 && p.frame == -1 && p.viewLeft == -1)
        return 0;
    CopyRecordName(p.name, name);
    p.x = p.y = 0;
    p.viewLeft = -1;
    p.viewTop = p.viewRight = p.viewBottom = 0;
    p.flipX = p.flipY = p.letterbox = p.mosaic = 0;
    p.colourMode = 0;
    p.zoom = 0;
    p.angle = 0;
    p.frame = -1;
    p.rendered = 0;
    p.variant = BackgroundVariant(p.name, m_bgTable);
    auto* image = new CImage;
    const bool loaded = image->Load(p.name, nullptr, 0, 0) == 0;
    DropImage(p.image);
    p.image = nullptr;
    if (CScene* scene = PageScene(page))
        scene->ReleaseBackgroundWork();
    if (!loaded) {
        delete image;
        p.name[0] = 0;
        ShowPage(PageScene(page), p);
        return 1;
    }
    HoldImage(image);
    p.image = image;
    ShowPage(PageScene(page), p);
    return 0;
}

int CTgsFrame::ClearLayer(uint32_t colour, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    ReleaseAnimation(p);
    DropImage(p.image);
    p.image = nullptr;
    p.name[0] = 0;
    p.variant = 0;
    p.colour = colour;
    p.colourMode = 0;
    p.flipX = p.flipY = p.letterbox = p.mosaic = 0;
    p.x = p.y = 0;
    p.viewLeft = -1;
    p.viewTop = p.viewRight = p.viewBottom = 0;
    p.angle = 0;
    p.zoom = 0;
    p.frame = -1;
    p.rendered = 0;
    if (CScene* scene = PageScene(page))
        scene->ReleaseBackgroundWork();
    ShowPage(PageScene(page), p);
    return 0;
}

int CTgsFrame::SetLayerColor(uint32_t colour, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    p.colour = colour;
    if (p.image == nullptr)
        ShowPage(PageScene(page), p);
    return 0;
}

bool CTgsFrame::UnshareLayerImage(uint8_t page)
{
    TgsPageRecord& p = Page(page);
    if (p.image == nullptr || !IsImageShared(p.image))
        return false;
    CImage* copy = CopyImage(p.image);
    if (copy == nullptr)
        return false;
    DropImage(p.image);
    HoldImage(copy);
    p.image = copy;
    ShowPage(PageScene(page), p);
    return true;
}

int CTgsFrame::SetLayerColorMode(uint8_t mode, uint8_t flipX, uint8_t flipY, uint8_t letterbox, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    if (p.image == nullptr)
        return 1;
    if (CheckColourMode(p.colourMode, mode) != 0)
        return 2;
    if (mode == 0 && flipX == 0 && flipY == 0 && letterbox == 0)
        return 0;
    UnshareLayerImage(page);
    if (IsImageShared(p.image))
        return 1; // no copy could be made: the other page's picture stays as it is
    ApplyColourMode(*p.image, mode > 4 ? 0 : mode);
    p.colourMode = NextColourMode(p.colourMode, mode > 4 ? 0 : mode);
    Flip(*p.image, flipX, flipY);
    p.flipX ^= flipX != 0 ? 1 : 0;
    p.flipY ^= flipY != 0 ? 1 : 0;
    if (letterbox != 0) {
        p.letterbox = 1;
        p.image->FillRect32XYWH(0, 0, kScreenWidth, 75, 0xFF000000);
        p.image->FillRect32XYWH(0, 525, kScreenWidth, 75, 0xFF000000);
    }
    ShowPage(PageScene(page), p);
    return 0;
}

int CTgsFrame::ApplyLayerPixelOp(uint8_t amount, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    if (p.image == nullptr)
        return 1;
    if (p.flipX != 0 || p.flipY != 0)
        return 2;
    UnshareLayerImage(page);
    if (IsImageShared(p.image))
        return 1;
    PixelLibOp13(*p.image, amount, amount, 0, 0);
    p.mosaic = amount;
    ShowPage(PageScene(page), p);
    return 0;
}

int CTgsFrame::SetLayerOffset(int32_t x, int32_t y, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    p.x = x;
    p.y = y;
    p.frame = -1;
    CScene* scene = PageScene(page);
    if (p.zoom != 0) {
        p.zoom = 0;
        p.angle = 0;
        if (scene != nullptr) {
            scene->ReleaseBackgroundWork();
            ShowPage(scene, p);
        }
        return 0;
    }
    if (scene != nullptr)
        scene->SetBackgroundPosition(x, y, true);
    return 0;
}

int CTgsFrame::SetLayerViewRect(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    CScene* scene = PageScene(page);
    if (width <= 0 || height <= 0) {
        p.viewLeft = -1;
        p.viewTop = p.viewRight = p.viewBottom = 0;
    } else {
        p.viewLeft = std::clamp(x, 0, kScreenWidth);
        p.viewTop = std::clamp(y, 0, kScreenHeight);
        p.viewRight = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + width, p.viewLeft, kScreenWidth));
        p.viewBottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} + height, p.viewTop, kScreenHeight));
        p.zoom = 0;
    }
    if (scene != nullptr) {
        scene->ReleaseBackgroundWork();
        ShowPage(scene, p);
    }
    return 0;
}

int CTgsFrame::RenderLayer(bool on, uint8_t page, bool value)
{
    TgsPageRecord& p = Page(page);
    CScene* scene = PageScene(page);
    if (scene == nullptr)
        return 1;
    if (!on) {
        p.rendered = 0;
        ShowPage(scene, p);
        return 0;
    }
    if (p.renderImage == nullptr) {
        p.renderImage = new CImage;
        if (p.renderImage->Create(kScreenWidth, kScreenHeight, 32, 0) != 0) {
            delete p.renderImage;
            p.renderImage = nullptr;
            return 1;
        }
    }
    if (scene->RenderToImage(p.renderImage, 0, kDrawAny, value) != 0)
        return 1;
    p.rendered = 1;
    scene->SetBackgroundImage(p.renderImage, 0, 0, true);
    return 0;
}

int CTgsFrame::StartLayerZoom(int32_t x, int32_t y, const char* zoomText, uint8_t page)
{
    EffectCallbackFunc apply =
        g_pObjectPluginManager != nullptr ? g_pObjectPluginManager->FindCallbackFunc2("bg_zoom") : nullptr;
    if (apply == nullptr)
        return -2;
    CEffectArgs in;
    in.AddObject(Screen(page));
    in.AddInt(x);
    in.AddInt(y);
    in.AddText(zoomText);
    CEffectArgs out;
    const int r = apply(in, &out);
    if (r != 0)
        return r;
    TgsPageRecord& p = Page(page);
    p.x = p.y = 0;
    p.zoom = 0;
    p.viewLeft = out.IntAt(4);
    p.viewTop = out.IntAt(5);
    p.viewRight = p.viewLeft + out.IntAt(6);
    p.viewBottom = p.viewTop + out.IntAt(7);
    return 0;
}

int CTgsFrame::SetLayerZoom(int32_t angle, const char* zoomText, int32_t x, int32_t y, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    CScene* scene = PageScene(page);
    if (p.image == nullptr || scene == nullptr) {
        p.zoom = 0;
        return 0;
    }
    const double zoom = ReadDecimalText(zoomText, 1.0);
    if (zoom <= 0)
        return 1;
    if (!scene->SetBackgroundRotateZoom(x, y, angle, zoom) && scene->GetBackgroundWork() == nullptr)
        return 1;
    p.zoom = zoom;
    p.angle = angle;
    p.x = x;
    p.y = y;
    p.viewLeft = -1;
    return 0;
}


int CTgsFrame::LoadLayerAnimation(const char* file, int32_t group, int32_t entry, uint8_t page)
{
    TgsPageRecord& p = Page(page);
    ReleaseAnimation(p);
    if (file == nullptr || *file == 0 || std::strlen(file) >= MAX_PATH)
        return 1;
    auto* kad = new CKadFile;
    if (kad->Load(file) != 0) {
        delete kad;
        return 1;
    }
    // The frame files lie beside the group file.
    char folder[MAX_PATH] = {};
    std::memcpy(folder, file, std::strlen(file));
    SplitPath(folder, nullptr);
    p.animationFile = kad;
    if (CreateLayerEffect("bg_anime", Screen(page), CEffectArgs::Of(static_cast<CGroupFile*>(kad), folder, group, entry, 1, 1),
                          &p.animation) != 0) {
        ReleaseAnimation(p);
        return 2;
    }
    CopyRecordName(p.layerName, file);
    p.animationState = 1;
    p.animationGroup = group;
    p.animationEntry = entry;
    return 0;
}

int CTgsFrame::ControlLayerAnimation(int mode, int32_t x, int32_t y, uint8_t page)
{
    if (mode < 0 || mode > 5)
        return 1;
    TgsPageRecord& p = Page(page);
    if (p.animation == nullptr)
        return 2;
    if (mode == 1) {
        // The animation's frames take the place of the page's picture.
        DropImage(p.image);
        p.image = nullptr;
        p.name[0] = 0;
    }
    if (p.animation->SetParams(mode, x, y) != 0)
        return 3;
    if (mode == 1 || mode == 3)
        p.animationState = 1;
    else if (mode == 2)
        p.animationState = 2;
    else if (mode == 4)
        p.animationState = 0;
    return 0;
}

// ---- sprites ----

void CTgsFrame::ReleaseSprite(TgsSpriteRecord& r, uint8_t page)
{
    if (r.effect != nullptr) {
        if (g_pObjectManager == nullptr || !g_pObjectManager->Cancel(r.effect))
            r.effect->SetOwnerSlot<CLayerEffect>(nullptr);
        r.effect = nullptr;
    }
    if (r.sprite != nullptr) {
        if (CScene* scene = PageScene(page))
            scene->GetList().Remove(r.sprite);
        delete r.sprite;
        r.sprite = nullptr;
    }
    DropImage(r.image);
    r.image = nullptr;
    r.name[0] = 0;
    r.character = -1;
    r.colourMode = 0;
    r.flipX = r.flipY = r.mosaic = 0;
    r.offScreen = 0;
    r.positionMode = -1;
    r.reload = 0;
}

int CTgsFrame::LoadSpriteImage(int slot, const char* name, uint8_t page, int group, bool reload)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (name == nullptr || *name == 0) {
        ReleaseSprite(*r, page);
        return 0;
    }
    if (SameName(r->name, name) && r->sprite != nullptr && r->reload == 0 && !reload)
        return 0;
    const int32_t x = r->x, y = r->y;
    ReleaseSprite(*r, page);
    if (!AttachSpritePicture(*r, name, page))
        return 2;
    CImage* image = r->image;
    CSprite* sprite = r->sprite;
    // The picture's bottom centre stands at the record's position.
    r->originX = image->GetWidth() / 2;
    r->originY = image->GetHeight();
    r->x = x;
    r->y = y;
    sprite->SetPosition(x - r->originX, y - r->originY);
    int32_t character = INT32_MAX;
    if (g_pSoundManager != nullptr) {
        const int found = g_pSoundManager->PlayVoice(-2, FilePart(r->name).c_str(), 0, nullptr);
        if (found >= 0)
            character = found;
    }
    r->character = character;
    const uint32_t variant = Page(page).variant;
    if (m_autoTint != 0 && r->character != 1 && (variant == 1 || variant == 2))
        SetSpriteColorMode(slot, static_cast<uint8_t>(variant + 4), 0, 0, page, group);
    return 0;
}

bool CTgsFrame::AttachSpritePicture(TgsSpriteRecord& r, const char* name, uint8_t page)
{
    auto* image = new CImage;
    if (image->Load(name, nullptr, 0, 0) != 0) {
        delete image;
        return false;
    }
    auto* sprite = new CSprite;
    sprite->SetImage(image, nullptr, 0, 0);
    if (image->HasAlpha())
        sprite->SetBlendMode(2);
    CScene* scene = PageScene(page);
    if (scene == nullptr || scene->GetList().Insert(sprite, static_cast<uint32_t>(r.priority), 0) != 0) {
        delete sprite;
        delete image;
        return false;
    }
    HoldImage(image);
    CopyRecordName(r.name, name);
    r.image = image;
    r.sprite = sprite;
    return true;
}

int CTgsFrame::LoadSpriteRecord(int group, int slot, uint8_t page)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (r->character < 0 || r->name[0] == 0 || r->sprite != nullptr)
        return 0;
    // The name is copied out: attaching writes it back into the same field.
    char name[sizeof r->name];
    std::memcpy(name, r->name, sizeof name);
    if (!AttachSpritePicture(*r, name, page)) {
        // The slot stays empty rather than half filled.
        const int32_t priority = r->priority;
        *r = TgsSpriteRecord{};
        r->priority = priority;
        return 2;
    }
    r->sprite->SetPosition(r->x - r->originX, r->y - r->originY);
    return 0;
}

int CTgsFrame::RefreshLayerImage(uint8_t page)
{
    TgsPageRecord& p = Page(page);
    if (p.name[0] == 0)
        return 1;
    auto* image = new CImage;
    if (image->Load(p.name, nullptr, 0, 0) != 0) {
        delete image;
        p.name[0] = 0;
        ShowPage(PageScene(page), p);
        return 1;
    }
    DropImage(p.image);
    HoldImage(image);
    p.image = image;
    ShowPage(PageScene(page), p);
    return 0;
}

namespace {

// The record's own picture for a change in place: a shared one is copied first → null when no
// copy could be made.
CImage* OwnSpriteImage(CTgsFrame& frame, TgsSpriteRecord& r)
{
    if (!frame.IsImageShared(r.image))
        return r.image;
    CImage* copy = CopyImage(r.image);
    if (copy == nullptr)
        return nullptr;
    frame.DropImage(r.image);
    frame.HoldImage(copy);
    r.image = copy;
    if (r.sprite != nullptr)
        r.sprite->ReplaceImage(copy);
    return copy;
}

} // namespace

int CTgsFrame::SetSpriteColorMode(int slot, uint8_t mode, uint8_t flipX, uint8_t flipY, uint8_t page, int group)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (r->image == nullptr || CheckColourMode(r->colourMode, mode) != 0)
        return 2;
    if (mode == 0 && flipX == 0 && flipY == 0)
        return 0;
    CImage* image = OwnSpriteImage(*this, *r);
    if (image == nullptr)
        return 2;
    const uint8_t applied = mode > 6 ? 0 : mode;
    ApplyColourMode(*image, applied);
    r->colourMode = NextColourMode(r->colourMode, applied);
    Flip(*image, flipX, flipY);
    r->flipX ^= flipX != 0 ? 1 : 0;
    r->flipY ^= flipY != 0 ? 1 : 0;
    if (r->sprite != nullptr)
        r->sprite->ReplaceImage(image);
    return 0;
}

int CTgsFrame::ApplySpritePixelOp(int slot, uint8_t amount, uint8_t page, int group)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (r->image == nullptr || r->flipX != 0 || r->flipY != 0)
        return 2;
    CImage* image = OwnSpriteImage(*this, *r);
    if (image == nullptr)
        return 2;
    PixelLibOp13(*image, amount, amount, 0, 0);
    r->mosaic = amount;
    if (r->sprite != nullptr)
        r->sprite->ReplaceImage(image);
    return 0;
}

int CTgsFrame::PlaceSprite(int slot, int32_t mode, uint8_t offScreen, uint8_t page, int group)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (r->image == nullptr)
        return 2;
    static constexpr int32_t kPlaces[3] = {400, 200, 600};
    if (mode < 0 || mode > 2)
        return 1;
    const int32_t w = r->image->GetWidth(), h = r->image->GetHeight();
    r->x = kPlaces[mode];
    r->y = kScreenHeight;
    if (offScreen != 0) {
        if (mode == 0)
            r->y = h + kScreenHeight;
        else if (mode == 2)
            r->x = w + kScreenWidth;
        else
            r->x = -w;
    }
    r->positionMode = mode;
    r->offScreen = offScreen != 0 ? 1 : 0;
    if (r->sprite != nullptr)
        r->sprite->SetPosition(r->x - r->originX, r->y - r->originY);
    return 0;
}

int CTgsFrame::MoveSprite(int slot, int32_t dx, int32_t dy, uint8_t page, int group)
{
    TgsSpriteRecord* r = FindSpriteSlot(slot, page, group);
    if (r == nullptr)
        return 1;
    if (r->sprite == nullptr)
        return 2;
    r->x = static_cast<int32_t>(std::clamp<int64_t>(int64_t{r->originX} + dx, INT32_MIN, INT32_MAX));
    r->y = static_cast<int32_t>(std::clamp<int64_t>(int64_t{r->originY} + dy, INT32_MIN, INT32_MAX));
    r->sprite->SetPosition(r->x - r->originX, r->y - r->originY);
    return 0;
}

void CTgsFrame::UpdateSpritePriority(TgsSpriteRecord& r, uint8_t page)
{
    if (r.sprite == nullptr)
        return;
    if (CScene* scene = PageScene(page))
        scene->GetList().SetPriority(r.sprite, static_cast<uint32_t>(r.priority), true);
    // A change running on the sprite shows its own pictures at the sprite's place in the order.
    if (r.effect != nullptr)
        r.effect->MoveOwnSprites(static_cast<uint32_t>(r.priority));
}

namespace {

// Moves one slot to the top (toTop) or the bottom of its group's priorities.
int Restack(CTgsFrame& frame, int slot, uint8_t page, int group, bool resort, bool toTop)
{
    int count = 0;
    TgsSpriteRecord* const* records = frame.GetSpriteGroup(group, page, &count);
    if (records == nullptr || slot < 0 || slot >= count)
        return 1;
    TgsSpriteRecord& moved = *records[slot];
    if (moved.sprite == nullptr)
        return 2;
    const int32_t base = CTgsFrame::kGroupBase[group];
    const int32_t target = toTop ? base + 100 * (count - 1) : base;
    const int32_t old = moved.priority;
    for (int i = 0; i < count; ++i) {
        TgsSpriteRecord& r = *records[i];
        if (&r == &moved)
            continue;
        if (toTop && r.priority > old)
            r.priority -= 100;
        else if (!toTop && r.priority < old)
            r.priority += 100;
        else
            continue;
        if (resort)
            frame.UpdateSpritePriority(r, page);
    }
    moved.priority = target;
    if (resort)
        frame.UpdateSpritePriority(moved, page);
    return 0;
}

} // namespace

int CTgsFrame::MoveSpriteToBottom(int slot, uint8_t page, int group, bool resort)
{
    return Restack(*this, slot, page, group, resort, false);
}

int CTgsFrame::MoveSpriteToTop(int slot, uint8_t page, int group, bool resort)
{
    return Restack(*this, slot, page, group, resort, true);
}

int CTgsFrame::ResetSpriteGroups(uint8_t page, int mode)
{
    if (mode < -1 || mode > 2)
        return 1;
    for (int group = 0; group < 3; ++group) {
        if (mode != -1 && mode != group)
            continue;
        int count = 0;
        TgsSpriteRecord* const* records = GetSpriteGroup(group, page, &count);
        for (int i = 0; i < count; ++i)
            ReleaseSprite(*records[i], page);
    }
    return 0;
}

bool CTgsFrame::UnshareSpriteImage(int slot, int group)
{
    TgsSpriteRecord* front = FindSpriteSlot(slot, 0, group);
    TgsSpriteRecord* back = FindSpriteSlot(slot, 1, group);
    if (front == nullptr || back == nullptr || back->image == nullptr || back->image != front->image)
        return false;
    CImage* copy = CopyImage(back->image);
    if (copy == nullptr)
        return false;
    auto* sprite = new CSprite;
    if (back->sprite != nullptr && sprite->CopyFrom(back->sprite) == 0) {
        sprite->ReplaceImage(copy);
    } else {
        sprite->SetImage(copy, nullptr, back->x - back->originX, back->y - back->originY);
        if (copy->HasAlpha())
            sprite->SetBlendMode(2);
    }
    CScene* scene = PageScene(1);
    if (back->sprite != nullptr && scene != nullptr)
        scene->GetList().Remove(back->sprite);
    delete back->sprite;
    back->sprite = nullptr;
    if (scene == nullptr || scene->GetList().Insert(sprite, static_cast<uint32_t>(back->priority), 0) != 0) {
        delete sprite;
        delete copy;
        return false;
    }
    DropImage(back->image);
    HoldImage(copy);
    back->image = copy;
    back->sprite = sprite;
    return true;
}
