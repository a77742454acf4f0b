// The parts behind a display object (a surface of the display kinds): its pixels, its canvas part
// and that canvas's scene; and back from a canvas part to the display object that holds it. The
// natives and the effects' direct-apply functions reach pages through these.
#pragma once

class CImage;
class CImageObject;
class CScene;
class CSurface;

// The image that holds a surface's pixels: a memory image (kind 4) itself, a canvas kind (7-10)
// its canvas part's image; null for other kinds and null.
CImage* GetSurfaceImage(CSurface* surface);
// The canvas part of a canvas kind (7-10), else null; its scene (null when it has none).
CImageObject* GetSurfaceCanvas(CSurface* surface);
CScene* GetSurfaceScene(CSurface* surface);
// The canvas part, with its scene written through scene (when given).
CImageObject* GetSurfaceCanvasAndScene(CSurface* surface, CScene** scene);
// The effects' name for GetSurfaceCanvas.
inline CImageObject* GetDisplayCanvas(CSurface* surface)
{
    return GetSurfaceCanvas(surface);
}
// The display object (kinds 7-10) whose canvas part is canvas; null for others and null.
CSurface* GetEffectTargetImage(CImageObject* canvas);
