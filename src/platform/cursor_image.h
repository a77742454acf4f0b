// What the software cursor needs of the scene object that draws it: its type, whether its
// texture or surface is ready, its source rectangle, and enabling, placing and moving the source
// origin. The display's image-region and textured-quad objects implement it. An object going away
// tells the mouse holding it, so the mouse never draws with a freed object.
#pragma once

#include "winapi/base.h"

class ICursorImage;

// The one that draws with a cursor image (the mouse).
class ICursorHolder {
public:
    // The image is being destroyed: forget it without calling it.
    virtual void OnCursorImageGone(ICursorImage* image) = 0;

protected:
    ~ICursorHolder() = default;
};

class ICursorImage {
public:
    enum : int { kImageRegion = 0, kTexturedQuad = 4 };

    virtual ~ICursorImage()
    {
        if (m_cursorHolder != nullptr)
            m_cursorHolder->OnCursorImageGone(this);
    }
    // The scene-object type (0 image region, 4 textured quad; others are refused).
    virtual int GetCursorType() = 0;
    // The quad's texture or the region's surface reports ready.
    virtual bool IsCursorReady() = 0;
    // The source rectangle (left, top = the source origin).
    virtual RECT GetCursorSourceRect() = 0;
    virtual void SetCursorEnabled(bool enabled) = 0;
    virtual void SetCursorPosition(int x, int y) = 0;
    // Moves the source rectangle's origin (the position-rectangle setter).
    virtual void SetCursorSourceOrigin(int x, int y) = 0;

    // Set by the holder that takes the image, cleared when it lets it go.
    void SetCursorHolder(ICursorHolder* holder) { m_cursorHolder = holder; }
    ICursorHolder* GetCursorHolder() const { return m_cursorHolder; }

private:
    ICursorHolder* m_cursorHolder = nullptr;
};
