// The screen's scene objects: colour rectangles, image regions, canvas textures, text textures,
// textured and canvas quads made by the creators with any 32-bit values, their setters, task-list
// insertions and priority changes, deletions of objects and of the surfaces they borrow (alone, by
// group, all) in any order, and frames drawn with the general Direct3D device on or off, with
// losses and restores between them; a quad or region may be the mouse's software cursor while it
// is deleted.
#include "display/canvas_quad_object.h"
#include "display/canvas_texture.h"
#include "display/color_rect_object.h"
#include "display/dd_image.h"
#include "display/image_region_object.h"
#include "display/screen.h"
#include "display/text_surface.h"
#include "display/textured_quad.h"
#include "drawing/glyph_font.h"
#include "platform/mouse_device.h"
#include "platform/cos_table.h"
#include "support/fuzz_input.h"
#include "winapi/ddraw_testing.h"
#include "winapi/text.h"
#include "winapi/user.h"
#include "support/library_leaks.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace {

HWND Window()
{
    static HWND window = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "SceneObjectsFuzz";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "SceneObjectsFuzz", "f", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    static CCosTable table;
    g_pCosTable = &table;
    winapi::ddraw_testing::Reset();
    // Textures stay small: a canvas texture keeps a memory image of its asked size.
    winapi::ddraw_testing::Current().maxTextureSide = 512;
    // Made for each input, as the text textures keep it for their redraws.
    CGlyphFont font;
    const bool fontMade = font.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック")) == 0;
    static const uint32_t kFormats[] = {0, 4, 8, 16, 32, 64, 128, 256, 512};
    CPollingMouse mouse;
    CursorPosition cursor{5, 5};
    mouse.m_cursorPos = &cursor;
    auto screen = std::make_unique<CScreen>();
    screen->SetOutputSize(64, 48);
    screen->SetWantDirect3DForTests(in.Small(2) != 0);
    if (screen->CreateDisplay(Window(), true, false, false) != 0)
        return 0;
    std::vector<CTask*> objects;
    std::vector<CSurface*> surfaces;
    for (int step = 0; step < 64 && !in.AtEnd(); ++step) {
        screen->SetGroup(static_cast<DWORD>(in.Small(3)));
        switch (in.Small(13)) {
        case 0: {
            CDDImage* image = nullptr;
            if (screen->CreateDDImage(&image, 1 + in.Small(40), 1 + in.Small(40), in.Small(2) != 0) == 0) {
                image->FillColor(static_cast<BYTE>(in.U32()), static_cast<BYTE>(in.U32()), static_cast<BYTE>(in.U32()));
                if (in.Small(2))
                    image->SetColorKeyAt(in.I32() % 50, in.I32() % 50);
                surfaces.push_back(image);
            }
            break;
        }
        case 1: {
            CColorRectObject* rect = nullptr;
            if (screen->CreateColorRect(&rect, in.I32(), in.I32(), in.U32(), in.I32(), in.I32()) == 0)
                objects.push_back(rect);
            break;
        }
        case 2: {
            CImageRegionObject* region = nullptr;
            CSurface* source = surfaces.empty() ? nullptr : surfaces[static_cast<size_t>(in.Small(static_cast<int>(surfaces.size())))];
            RECT r{in.I32() % 60, in.I32() % 60, in.I32() % 60, in.I32() % 60};
            if (screen->CreateImageRegion(&region, source, in.Small(2) ? &r : nullptr, in.I32() % 100, in.I32() % 100) == 0)
                objects.push_back(region);
            break;
        }
        case 3:
            if (!objects.empty()) {
                CTask* task = objects[static_cast<size_t>(in.Small(static_cast<int>(objects.size())))];
                switch (in.Small(6)) {
                case 0: screen->Insert(task, in.U32(), static_cast<uint8_t>(in.U32())); break;
                case 1: screen->SetPriority(task, in.U32(), in.Small(2) != 0); break;
                case 2: task->SetSizeAndPosition(in.I32(), in.I32(), in.I32(), in.I32()); break;
                case 3: task->MoveBy(in.I32(), in.I32()); break;
                case 4: task->HitTest(in.I32() % 100, in.I32() % 100, in.Small(2) != 0); break;
                default: task->SetEnabled(static_cast<uint8_t>(in.Small(2))); break;
                }
                if (task->GetType() == kSceneColorRect) {
                    auto* rect = static_cast<CColorRectObject*>(task);
                    rect->SetBlend(in.Small(2) != 0, in.I32());
                    rect->SetVertexRgb(in.I32() % 6, in.U32());
                    if (in.Small(2))
                        rect->Rotate(in.I32(), in.I32() % 7);
                } else if (task->GetType() == kSceneImageRegion && !surfaces.empty()) {
                    auto* region = static_cast<CImageRegionObject*>(task);
                    RECT r{in.I32() % 60, in.I32() % 60, in.I32() % 60, in.I32() % 60};
                    region->SetPositionRect(in.I32() % 60, in.I32() % 60, in.Small(2) ? &r : nullptr);
                    region->SetSurface(surfaces[static_cast<size_t>(in.Small(static_cast<int>(surfaces.size())))]);
                }
            }
            break;
        case 4:
            if (!objects.empty()) {
                const size_t i = static_cast<size_t>(in.Small(static_cast<int>(objects.size())));
                screen->DeleteSceneObject(objects[i]);
                objects.erase(objects.begin() + static_cast<ptrdiff_t>(i));
            }
            break;
        case 5:
            if (!surfaces.empty()) {
                const size_t i = static_cast<size_t>(in.Small(static_cast<int>(surfaces.size())));
                screen->DeleteSurface(surfaces[i]);
                surfaces.erase(surfaces.begin() + static_cast<ptrdiff_t>(i));
            }
            break;
        case 6: {
            // A group deletion: forget whatever the screen no longer lists.
            screen->DeleteObjectsByGroup(static_cast<DWORD>(in.Small(3)), static_cast<DWORD>(in.Small(4)));
            std::erase_if(objects, [&](CTask* t) { return !screen->HasSceneObject(t); });
            std::erase_if(surfaces, [&](CSurface* s) { return !screen->HasSurface(s); });
            break;
        }
        case 10: {
            const uint32_t format = kFormats[in.Small(9)];
            if (in.Small(2)) {
                CCanvasTexture* canvas = nullptr;
                const LONG w = in.Small(4) == 0 ? in.I32() : in.I32() % 70, h = in.Small(4) == 0 ? in.I32() : in.I32() % 70;
                if (screen->CreateCanvasTexture(&canvas, format, w, h, in.Small(2) ? 32 : 8, in.Small(3),
                                                in.Small(2) != 0) == 0) {
                    canvas->GetImage()->CDibSurface::FillRect(static_cast<BYTE>(in.U32()), 0x40, 0x80, nullptr, nullptr);
                    canvas->InvalidateRect(nullptr);
                    if (in.Small(2))
                        canvas->SetColorKeyAt(in.I32() % 80, in.I32() % 80);
                    surfaces.push_back(canvas);
                }
            } else {
                const char* texts[] = {"", "A", "Ag\nW", "\x82\xa0"};
                CTextSurface* text = nullptr;
                if (screen->CreateTextSurface(&text, format, texts[in.Small(4)], fontMade ? &font : nullptr) == 0)
                    surfaces.push_back(text);
            }
            break;
        }
        case 11: {
            CSurface* texture = surfaces.empty() ? nullptr : surfaces[static_cast<size_t>(in.Small(static_cast<int>(surfaces.size())))];
            RECT r{in.I32() % 60, in.I32() % 60, in.I32() % 60, in.I32() % 60};
            if (in.Small(2)) {
                CCanvasQuadObject* quad = nullptr;
                if (screen->CreateCanvasQuad(&quad, texture, in.I32() % 100, in.I32() % 100, in.Small(2) ? &r : nullptr) == 0)
                    objects.push_back(quad);
            } else {
                CTexturedQuad* quad = nullptr;
                if (screen->CreateTexturedQuad(&quad, texture, in.I32() % 100, in.I32() % 100, in.Small(2) ? &r : nullptr) == 0) {
                    quad->SetBlend(in.Small(2) != 0, in.I32(), in.I32());
                    if (in.Small(2))
                        quad->Rotate(in.I32(), in.I32() % 7);
                    objects.push_back(quad);
                }
            }
            break;
        }
        case 12:
            // Any listed object as the software cursor, moved for a few frames.
            if (!objects.empty()) {
                CTask* task = objects[static_cast<size_t>(in.Small(static_cast<int>(objects.size())))];
                if (auto* image = dynamic_cast<ICursorImage*>(task))
                    mouse.SetCursorImage(image, in.Small(5), in.Small(20), in.Small(2) != 0, in.I32() % 9, in.I32() % 9);
                cursor = CursorPosition{in.I32() % 80, in.I32() % 80};
            }
            mouse.UpdateCursorImage();
            break;
        case 7:
            if (in.Small(4) == 0) {
                winapi::ddraw_testing::LoseAllSurfaces();
                screen->RestoreDevice();
            }
            break;
        default:
            screen->ClearBackBuffer();
            if (IDirectDrawSurface7* back = screen->GetBackBuffer())
                screen->RenderAll(back, &screen->GetOutputRect(), screen.get());
            break;
        }
    }
    if (in.Small(2)) {
        screen->DeleteAllObjects();
    }
    screen.reset();
    mouse.UpdateCursorImage();
    g_pCosTable = nullptr;
    return 0;
}
