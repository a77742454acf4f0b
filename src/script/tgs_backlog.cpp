// The backlog window: the text log drawn again page by page over a darkened screen, scrolled by
// keys, the wheel and a scroll bar, with a page's voice played again on a click, or its logged
// scene shown behind the backlog when it has no voice.
//
// The log's height and the drawing use the same step per entry (a message's name line, its
// layout height and the gap after it), so the last page ends exactly at the largest scroll.
#include <algorithm>
#include <cstring>
#include <vector>

#include "display/image_object.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "drawing/sprite.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "raster/color_kernels.h"
#include "raster/image.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "sound/sound_player.h"
#include "winapi/text.h"

namespace {

constexpr uint32_t kFadeMs = 200;
constexpr int kShadeAlpha = 140;
constexpr uint32_t kShadePriority = 5000, kTextPriority = 4500, kBarPriority = 4000;
constexpr uint32_t kSceneViewPriority = 6000; // behind the shade
constexpr int kBarX = CTgsFrame::kBacklogWidth;
constexpr int kButtonSize = 32;

enum : size_t { kBar = 0, kFrame = 1, kUp = 2, kDown = 3 };

void Colour(CGlyphFont* font, uint8_t r, uint8_t g, uint8_t b)
{
    font->SetTextColor(r, g, b);
}

// The glyphs write colour only: a page's coverage becomes its alpha (the page starts black, so
// the brightest channel is how much ink a pixel holds).
void InkToAlpha(CImage& image)
{
    const int width = image.GetWidth(), height = image.GetHeight();
    (g_bUseMmx ? BrightestToAlphaRows32Mmx : BrightestToAlphaRows32)(image.GetBits(), image.GetPitch() - 4 * width,
                                                                     width, height);
}

} // namespace

int32_t CTgsFrame::BacklogEntryHeight(const TextLogEntry& e) const
{
    if (e.type == 0) {
        const int64_t h = (e.message.name.empty() ? 0 : m_backlogLine) + int64_t{e.message.layoutHeight} +
                          kBacklogPageGap;
        return static_cast<int32_t>(std::min<int64_t>(h, kBacklogMaxPageHeight));
    }
    if (e.type == 1)
        return static_cast<int32_t>(std::min<int64_t>(int64_t{m_backlogLine} * int64_t(e.choices.texts.size()),
                                                      kBacklogMaxPageHeight));
    return 0;
}

bool CTgsFrame::PrepareBacklog()
{
    if (!m_backlogWindow) {
        CDrawList* list = m_canvas != nullptr ? m_canvas->GetOverlayList() : nullptr;
        if (list == nullptr || !m_fonts[2])
            return false;
        auto window = std::make_unique<CMessageWindow>();
        if (window->Create(list, kTextPriority, kBacklogWidth - 20, kScreenHeight, 0, 0, m_fonts[2].get(),
                           m_fonts[3].get(), 0) != 0)
            return false;
        window->SetMargins(0, 0, 0, 0, false);
        window->SetVisible(false);
        m_backlogWindow = std::move(window);
    }
    m_backlogLine = std::max(1, m_backlogWindow->LineStep());
    int64_t height = 0;
    for (int32_t i = 0; i < m_textLog.Count(); ++i)
        if (const TextLogEntry* e = m_textLog.GetEntry(i))
            height += BacklogEntryHeight(*e);
    m_backlogHeight = static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
    return true;
}

const CImage* CTgsFrame::BacklogPage(int i) const
{
    return i >= 0 && i < m_backlogPageCount ? m_backlogPages[static_cast<size_t>(i)].image.get() : nullptr;
}

int32_t CTgsFrame::BacklogPageY(int i) const
{
    return i >= 0 && i < m_backlogPageCount ? m_backlogPages[static_cast<size_t>(i)].y : 0;
}

const std::string& CTgsFrame::BacklogPageVoice(int i) const
{
    static const std::string none;
    return i >= 0 && i < m_backlogPageCount ? m_backlogPages[static_cast<size_t>(i)].voice : none;
}

int CTgsFrame::DrawBacklogPages(int32_t scroll)
{
    for (BacklogPageRecord& page : m_backlogPages)
        if (page.sprite)
            page.sprite->SetVisible(false);
    m_backlogPageCount = 0;
    if (!m_backlogWindow || !m_fonts[2])
        return 0;
    CGlyphFont* font = m_fonts[2].get();
    CDrawList* list = m_canvas->GetOverlayList();
    const int32_t count = m_textLog.Count();
    int64_t top = 0;
    int32_t i = 0;
    // The first entry that reaches the scroll position.
    for (; i < count; ++i) {
        const TextLogEntry* e = m_textLog.GetEntry(i);
        const int32_t h = e != nullptr ? BacklogEntryHeight(*e) : 0;
        if (top + h > scroll)
            break;
        top += h;
    }
    while (i < count && m_backlogPageCount < kBacklogPages && top - scroll < kScreenHeight) {
        const TextLogEntry* first = m_textLog.GetEntry(i);
        if (first == nullptr || first->type == 2) {
            ++i;
            continue;
        }
        // The entries of one page image: a message group, or one choice list.
        int32_t last = i;
        int64_t height = BacklogEntryHeight(*first);
        if (first->type == 0 && first->message.group != 0) {
            while (last + 1 < count) {
                const TextLogEntry* next = m_textLog.GetEntry(last + 1);
                if (next == nullptr || next->type != 0 || next->message.group != first->message.group)
                    break;
                height += BacklogEntryHeight(*next);
                ++last;
            }
        }
        BacklogPageRecord& page = m_backlogPages[static_cast<size_t>(m_backlogPageCount)];
        const int imageHeight = static_cast<int>(std::clamp<int64_t>(height, 1, kBacklogMaxPageHeight));
        bool fresh = false;
        if (!page.image || page.image->GetHeight() != imageHeight) {
            if (page.sprite && page.sprite->GetOwnerList() != nullptr)
                page.sprite->GetOwnerList()->Remove(page.sprite.get());
            page.sprite.reset();
            page.image = std::make_unique<CImage>();
            if (page.image->Create(kBacklogWidth, imageHeight, 32, 0) != 0) {
                page.image.reset();
                break;
            }
            fresh = true;
        } else {
            std::memset(page.image->GetBits(), 0, static_cast<size_t>(page.image->GetPitch()) * imageHeight);
        }
        page.voice.clear();
        page.scene = -1;
        int32_t y = 0;
        for (int32_t k = i; k <= last; ++k) {
            const TextLogEntry* e = m_textLog.GetEntry(k);
            if (e->type == 0) {
                const TextLogMessage& m = e->message;
                if (!m.name.empty()) {
                    static const std::string open = winapi::Utf8ToSjis("「"), close = winapi::Utf8ToSjis("」");
                    std::string& line = m_backlogNameLine;
                    line.assign(open).append(m.name).append(close);
                    if (!m.voice.empty())
                        Colour(font, 255, 183, 76);
                    font->DrawString(page.image.get(), 0, y, line.c_str(), nullptr, nullptr);
                    Colour(font, 255, 255, 255);
                    y += m_backlogLine;
                }
                if (page.voice.empty())
                    page.voice = m.voice;
                m_backlogWindow->DrawText(m.data.data(), static_cast<uint32_t>(m.data.size()), page.image.get(), 0, y);
                y += static_cast<int32_t>(std::min<uint32_t>(m.layoutHeight, kBacklogMaxPageHeight)) + kBacklogPageGap;
            } else {
                const TextLogChoices& c = e->choices;
                for (size_t n = 0; n < c.texts.size() && y < imageHeight; ++n) {
                    const uint8_t flag = n < c.flags.size() ? c.flags[n] : 1;
                    if (flag == 0)
                        Colour(font, 160, 160, 160);
                    else if (static_cast<int32_t>(n) == c.selected)
                        Colour(font, 238, 224, 0);
                    font->DrawString(page.image.get(), 0, y, c.texts[n].c_str(), nullptr, nullptr);
                    Colour(font, 255, 255, 255);
                    y += m_backlogLine;
                }
            }
            if (y >= kBacklogMaxPageHeight)
                break;
        }
        if (last + 1 < count) {
            const TextLogEntry* next = m_textLog.GetEntry(last + 1);
            if (next != nullptr && next->type == 2)
                page.scene = last + 1;
        }
        InkToAlpha(*page.image);
        page.y = static_cast<int32_t>(std::min<int64_t>(top - scroll, kScreenHeight));
        page.height = imageHeight;
        if (!page.sprite || fresh) {
            page.sprite = std::make_unique<CSprite>();
            page.sprite->SetImage(page.image.get(), nullptr, 0, page.y);
            page.sprite->SetBlendMode(2);
        } else {
            // The same picture redrawn: the sprite shows it anew where it now stands.
            page.sprite->SetPosition(0, page.y);
            RECT all{0, 0, kBacklogWidth, imageHeight};
            page.sprite->InvalidateLocalRect(&all);
        }
        page.sprite->SetVisible(true);
        if (page.sprite->GetOwnerList() == nullptr && list != nullptr)
            list->Insert(page.sprite.get(), kTextPriority, 0);
        ++m_backlogPageCount;
        top += height;
        i = last + 1;
    }
    m_backlogScroll = scroll;
    PlaceScrollThumb();
    return m_backlogPageCount;
}

void CTgsFrame::PlaceScrollThumb()
{
    CSprite* thumb = m_scrollSprites[kBar].get();
    if (thumb == nullptr || !m_scrollImages[kBar])
        return;
    const int32_t track = kScreenHeight - 2 * kButtonSize;
    const int32_t room = std::max(0, track - static_cast<int32_t>(m_scrollImages[kBar]->GetHeight()));
    const int32_t max = BacklogMaxScroll();
    const int32_t at = max > 0 ? static_cast<int32_t>(int64_t{room} * m_backlogScroll / max) : 0;
    thumb->SetPosition(kBarX, kButtonSize + at);
}

void CTgsFrame::ShowBacklogSprites(bool show, int alpha)
{
    for (int i = 0; i < m_backlogPageCount; ++i)
        if (CSprite* s = m_backlogPages[static_cast<size_t>(i)].sprite.get()) {
            s->SetVisible(show);
            s->SetAlpha(static_cast<BYTE>(alpha));
        }
    for (auto& s : m_scrollSprites)
        if (s) {
            s->SetVisible(show && BacklogMaxScroll() > 0);
            s->SetAlpha(static_cast<BYTE>(alpha));
        }
    if (m_backlogShadeSprite) {
        m_backlogShadeSprite->SetVisible(show);
        m_backlogShadeSprite->SetAlpha(static_cast<BYTE>(alpha * kShadeAlpha / 255));
    }
}

int CTgsFrame::FadeObjects(CSprite* const* objects, int count, uint32_t time, int mode, CSprite* shade)
{
    return FadeAlpha(time, mode != kFadeObjectsOut, [&](int alpha) {
        for (int i = 0; i < count; ++i)
            if (objects[i] != nullptr)
                objects[i]->SetAlpha(static_cast<BYTE>(alpha));
        if (shade != nullptr)
            shade->SetAlpha(static_cast<BYTE>(alpha * kShadeAlpha / 255));
    });
}

void CTgsFrame::ReleaseBacklog()
{
    auto drop = [](std::unique_ptr<CSprite>& s) {
        if (s && s->GetOwnerList() != nullptr)
            s->GetOwnerList()->Remove(s.get());
        s.reset();
    };
    for (BacklogPageRecord& page : m_backlogPages) {
        drop(page.sprite);
        page.image.reset();
        page.voice.clear();
        page.scene = -1;
    }
    m_backlogPageCount = 0;
    for (auto& s : m_scrollSprites)
        drop(s);
    for (auto& image : m_scrollImages)
        image.reset();
    drop(m_backlogShadeSprite);
    m_backlogShade.reset();
    drop(m_sceneViewSprite);
    m_sceneView.reset();
}

bool CTgsFrame::ShowSceneView(int32_t i)
{
    const TextLogEntry* e = m_textLog.GetEntry(i);
    CDrawList* list = m_canvas != nullptr ? m_canvas->GetOverlayList() : nullptr;
    if (e == nullptr || e->type != 2 || list == nullptr)
        return false;
    auto image = std::make_unique<CImage>();
    if (RenderLoggedScene(e->scene, image.get()) != 0)
        return false;
    if (!m_sceneViewSprite) {
        m_sceneViewSprite = std::make_unique<CSprite>();
        if (list->Insert(m_sceneViewSprite.get(), kSceneViewPriority, 0) != 0) {
            m_sceneViewSprite.reset();
            return false;
        }
    }
    m_sceneViewSprite->SetImage(image.get(), nullptr, 0, 0);
    m_sceneViewSprite->SetVisible(true);
    m_sceneView = std::move(image);
    RECT all{0, 0, kScreenWidth, kScreenHeight};
    m_sceneViewSprite->InvalidateLocalRect(&all);
    return true;
}

int CTgsFrame::RunBacklog()
{
    if (!m_setUp || m_link == nullptr || !PrepareBacklog())
        return 0;
    CDrawList* list = m_canvas->GetOverlayList();
    // The darkening shade and the scroll bar.
    m_backlogShade = std::make_unique<CImage>();
    if (m_backlogShade->Create(kScreenWidth, kScreenHeight, 32, 0) == 0) {
        uint8_t* bits = m_backlogShade->GetBits();
        for (int y = 0; y < kScreenHeight; ++y)
            for (int x = 0; x < kScreenWidth; ++x)
                bits[static_cast<size_t>(y) * m_backlogShade->GetPitch() + 4 * static_cast<size_t>(x) + 3] = 255;
        m_backlogShadeSprite = std::make_unique<CSprite>();
        m_backlogShadeSprite->SetImage(m_backlogShade.get(), nullptr, 0, 0);
        m_backlogShadeSprite->SetBlendMode(2);
        list->Insert(m_backlogShadeSprite.get(), kShadePriority, 0);
    }
    const char* const kBarFiles[4] = {"SYS/TH_BAR.ELG", "SYS/TH_BARFR.ELG", "SYS/TH_UP.ELG", "SYS/TH_DOWN.ELG"};
    const int kBarY[4] = {kButtonSize, kButtonSize, 0, kScreenHeight - kButtonSize};
    for (size_t i = 0; i < 4; ++i) {
        m_scrollImages[i] = LoadPicture(kBarFiles[i]);
        if (!m_scrollImages[i])
            continue;
        m_scrollSprites[i] = std::make_unique<CSprite>();
        m_scrollSprites[i]->SetImage(m_scrollImages[i].get(), nullptr, kBarX, kBarY[i]);
        m_scrollSprites[i]->SetBlendMode(2);
        // The thumb over the track.
        list->Insert(m_scrollSprites[i].get(), i == kBar ? kBarPriority + 1 : kBarPriority, 0);
    }
    const bool barShown = m_menuShown != 0;
    if (m_menuSprite)
        m_menuSprite->SetVisible(false);
    for (CControl* c : m_menuItems)
        if (c != nullptr)
            c->SetVisible(false);
    const int32_t max = BacklogMaxScroll();
    DrawBacklogPages(max);
    const bool quick = g_pAppConfig != nullptr && g_pAppConfig->fastSystemScreens != 0;
    PlaySystemSound(1);
    int result = 0;
    auto fade = [&](bool in) {
        if (quick) {
            ShowBacklogSprites(in, 255);
            return 0;
        }
        if (in)
            ShowBacklogSprites(true, 0);
        // The pages and the scroll bar (when shown) fade together over the shade.
        std::vector<CSprite*> objects;
        for (int i = 0; i < m_backlogPageCount; ++i)
            objects.push_back(m_backlogPages[static_cast<size_t>(i)].sprite.get());
        for (auto& s : m_scrollSprites)
            if (s && s->IsVisible())
                objects.push_back(s.get());
        if (m_sceneViewSprite)
            objects.push_back(m_sceneViewSprite.get());
        const int r = FadeObjects(objects.data(), static_cast<int>(objects.size()), kFadeMs,
                                  in ? 0 : kFadeObjectsOut, m_backlogShadeSprite.get());
        if (!in)
            ShowBacklogSprites(false, 255);
        return r;
    };
    if (fade(true) < 0)
        result = -1;
    bool hidden = false;
    bool dragging = false;
    while (result == 0) {
        if (StepFrame() == 0) {
            result = -1;
            break;
        }
        if (m_backlogWindow)
            m_backlogWindow->Update(Clock());
        TgsInput in;
        m_link->ReadInput(&in);
        if (in.cancel)
            break;
        if (in.hide) {
            hidden = !hidden;
            PlaySystemSound(3);
            ShowBacklogSprites(!hidden, 255);
            continue;
        }
        if (hidden)
            continue;
        int32_t scroll = m_backlogScroll;
        if (max == 0) {
            if (in.wheel < 0)
                break;
        } else {
            if (in.wheel < 0 && scroll >= max)
                break;
            if (in.pageUp)
                scroll -= kScreenHeight;
            if (in.pageDown)
                scroll += kScreenHeight;
            if (in.wheel > 0 || in.lineUp)
                scroll -= m_backlogLine;
            if (in.wheel < 0 || in.lineDown)
                scroll += m_backlogLine;
            if (in.home)
                scroll = 0;
            if (in.end)
                scroll = max;
        }
        int mx = 0, my = 0;
        m_link->GetMousePos(&mx, &my);
        // The scroll bar: its buttons step a line, a drag of the track sets the position.
        if (max > 0 && mx >= kBarX && mx < kScreenWidth) {
            if (in.click && my < kButtonSize)
                scroll -= m_backlogLine;
            else if (in.click && my >= kScreenHeight - kButtonSize)
                scroll += m_backlogLine;
            else if (in.click)
                dragging = true;
        }
        if (!in.held)
            dragging = false;
        if (dragging && m_scrollImages[kBar]) {
            const int32_t thumb = static_cast<int32_t>(m_scrollImages[kBar]->GetHeight());
            const int32_t room = std::max(1, kScreenHeight - 2 * kButtonSize - thumb);
            scroll = static_cast<int32_t>(int64_t{my - kButtonSize - thumb / 2} * max / room);
        }
        scroll = std::clamp(scroll, 0, max);
        if (scroll != m_backlogScroll)
            DrawBacklogPages(scroll);
        // A click on a page: its voice again, or its scene behind the backlog.
        if (in.click && mx < kBarX) {
            for (int p = 0; p < m_backlogPageCount; ++p) {
                const BacklogPageRecord& page = m_backlogPages[static_cast<size_t>(p)];
                if (my < page.y || my >= page.y + page.height)
                    continue;
                if (page.voice.empty() && page.scene >= 0) {
                    ShowSceneView(page.scene);
                    break;
                }
                if (!page.voice.empty() && PlayVoiceNow(page.voice.c_str(), false) == 0 && g_pAppConfig != nullptr &&
                    g_pAppConfig->lowerBgmForVoice && g_pSoundManager != nullptr && g_pSoundManager->IsMusicPlaying()) {
                    const uint8_t level = g_pAppConfig->bgmLevelForVoice;
                    g_pSoundManager->StartVoiceDucking(g_pSoundManager->GetTaskScheduler(), kVoiceChannel,
                                                       level == 50 ? -1.0 : level * 0.01);
                }
                break;
            }
        }
    }
    if (result == 0) {
        PlaySystemSound(2);
        if (fade(false) < 0)
            result = -1;
    }
    ReleaseBacklog();
    if (m_backlogWindow)
        m_backlogWindow->SetVisible(false);
    StopVoiceIfAsked(0xFF);
    if (barShown) {
        if (m_menuSprite)
            m_menuSprite->SetVisible(true);
        for (CControl* c : m_menuItems)
            if (c != nullptr)
                c->SetVisible(true);
    }
    return result;
}
