#include "effects/layer_noise.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "display/image_object.h"
#include "drawing/sprite.h"
#include "effects/effect_random.h"

CPluginEffect* CNoiseEffect::Create(DWORD)
{
    return new (std::nothrow) CNoiseEffect;
}

CNoiseEffect::~CNoiseEffect()
{
    for (auto& sprite : m_sprites)
        if (sprite)
            sprite->DetachFromList();
}

void CopyNoiseFrame(const CImage& noise, CImage& frame, uint64_t start)
{
    const uint64_t total = uint64_t(noise.GetWidth()) * uint64_t(noise.GetHeight());
    if (total == 0 || noise.GetBits() == nullptr || frame.GetBits() == nullptr || noise.GetBitsPerPixel() != 32 ||
        frame.GetBitsPerPixel() != 32)
        return;
    const uint64_t noiseWidth = uint64_t(noise.GetWidth()), noiseHeight = uint64_t(noise.GetHeight());
    // The place in the noise as its row and column, moved on without a division a run.
    const uint64_t at = start % total;
    uint64_t noiseRow = at / noiseWidth, column = at % noiseWidth;
    const LONG w = frame.GetWidth();
    for (LONG y = 0; y < frame.GetHeight(); ++y) {
        BYTE* row = frame.GetBits() + intptr_t(y) * frame.GetPitch();
        LONG x = 0;
        while (x < w) {
            // The run of the noise row from the place, cut at the frame row's end.
            const uint64_t run = std::min<uint64_t>(noiseWidth - column, uint64_t(w - x));
            const BYTE* from = noise.GetBits() + intptr_t(noiseRow) * noise.GetPitch() + column * 4;
            std::memcpy(row + intptr_t(x) * 4, from, run * 4);
            x += static_cast<LONG>(run);
            column += run;
            if (column == noiseWidth) {
                column = 0;
                if (++noiseRow == noiseHeight)
                    noiseRow = 0;
            }
        }
    }
}

int CNoiseEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    if (g_pNoiseRandom == nullptr)
        return 5;
    if (manager == nullptr || target == nullptr)
        return 1;
    CImageObject* back = target->GetBackCanvas();
    m_scenes[0] = target->GetScene();
    m_scenes[1] = back != nullptr ? back->GetScene() : nullptr;
    if (m_scenes[0] == nullptr || m_scenes[1] == nullptr)
        return 2;
    m_target = target;
    // Loaded at 32 bits: an 8-bit file used to be read as 32-bit pixels past its end.
    m_noise.reset(new (std::nothrow) CImage);
    if (!m_noise || m_noise->Load("SYS\\NOISE.ELG", nullptr, 0, 0) != 0 || m_noise->GetBits() == nullptr ||
        m_noise->GetBitsPerPixel() != 32)
        return 3;
    m_frame.reset(new (std::nothrow) CImage);
    CImage* image = target->GetImage();
    if (!m_frame || image == nullptr || m_frame->Create(image->GetWidth(), image->GetHeight(), 32, 0) != 0)
        return 4;
    const BYTE alpha = static_cast<BYTE>(args.IntAt(0));
    const uint32_t priority = static_cast<uint32_t>(args.IntAt(1));
    for (int i = 0; i < 2; ++i) {
        m_sprites[i].reset(new (std::nothrow) CSprite);
        if (!m_sprites[i] || m_sprites[i]->SetImage(m_frame.get(), nullptr, 0, 0) != 0) {
            m_sprites[i].reset();
            return 4;
        }
        m_sprites[i]->SetAlpha(alpha);
        m_sprites[i]->SetVisible(false);
        if (m_scenes[i]->GetList().Insert(m_sprites[i].get(), priority, 0) != 0)
            return 4;
    }
    Show(args.IntAt(2) != 0, args.IntAt(3) != 0);
    DrawFrame();
    if (manager->Add(this, 100, 100, 0) != 0) {
        for (auto& sprite : m_sprites)
            sprite->DetachFromList();
        return 5;
    }
    return 0;
}

void CNoiseEffect::Show(bool first, bool second)
{
    m_show[0] = first;
    m_show[1] = second;
    for (int i = 0; i < 2; ++i)
        if (m_sprites[i])
            m_sprites[i]->SetVisible(m_show[i] != 0);
}

void CNoiseEffect::DrawFrame()
{
    CopyNoiseFrame(*m_noise, *m_frame, DrawSubtractiveRandom(*g_pNoiseRandom));
    for (int i = 0; i < 2; ++i)
        if (m_show[i] && m_sprites[i])
            m_sprites[i]->SetDirty(true);
}

int32_t CNoiseEffect::Step(uint32_t)
{
    if (g_pNoiseRandom != nullptr && m_noise && m_frame)
        DrawFrame();
    return 0;
}

void CNoiseEffect::OnCancel()
{
    Show(false, false);
}

int CNoiseEffect::SetParamsV(const CEffectArgs& args)
{
    if (!m_sprites[0] || !m_sprites[1])
        return 1;
    bool first = args.IntAt(0) != 0, second = args.IntAt(1) != 0;
    // After the pages were swapped the first sprite lies in the other scene.
    CScene* firstScene = m_target->GetScene();
    if (firstScene == nullptr || m_sprites[0]->GetOwnerList() != &firstScene->GetList())
        std::swap(first, second);
    Show(first, second);
    return 0;
}
