// CCellSheet: a picture laid out as a row of equal cells (animation frames), its own (loaded from
// a file) or borrowed, with the image the cells are drawn into at an origin, an optional work
// image that keeps the background under one cell, and the drawables (users) that show that image
// and redraw when a cell changes. The cell-animation tasks play it.
#pragma once

#include "drawing/drawable.h"
#include "raster/image.h"
#include "winapi/base.h"

#include <cstdint>
#include <deque>
#include <memory>

class CSprite;

// An origin x of this value takes the origin from the sheet picture's placement.
constexpr LONG kCellSheetOriginFromPicture = 0xFFFF;

class CCellSheet {
public:
    CCellSheet() = default;
    CCellSheet(const CCellSheet&) = delete;
    CCellSheet& operator=(const CCellSheet&) = delete;
    virtual ~CCellSheet();

    // Loads the own picture from file (the palette variant when asked) and fills its colour bytes
    // with 0xRRGGBB unless fill is 0xFFFFFFFF, then Setup. 1 no file name or a cell size of 0;
    // 2 the picture could not be loaded; else Setup's codes. A failure leaves the sheet cleared.
    int LoadImage(const char* file, LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x, LONG y,
                  uint8_t flag, int32_t mode, bool ownWork, bool paletteVariant, DWORD fill);
    // Borrows image as the sheet picture, then Setup. 1 null image or a cell size of 0.
    int SetImage(CImage* image, LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x, LONG y,
                 uint8_t flag, int32_t mode, bool ownWork);
    // The image drawn into: the record's source image (3 when it has none; the record becomes a
    // user) or direct (1 when null). 1 also for a cell width or height of 0 or no sheet picture;
    // 4 the work image (mode 2 or ownWork: one cell in the source's depth) could not be made; 0.
    int Setup(LONG cellWidth, LONG cellHeight, CSprite* record, CImage* direct, LONG x, LONG y, uint8_t flag,
              int32_t mode, bool ownWork);
    // Replaces the borrowed picture by one of the same size and depth: 1 no borrowed picture or
    // no argument, 2 they differ, 0 swapped.
    int SwapImage(CImage* image);
    // Appends a user unless present; removes one when present.
    void AddUser(CDrawable* user);
    void RemoveUser(CDrawable* user);
    // Frees the own picture's pixels and the work image, forgets the borrowed picture, the source
    // and the users.
    void Clear();

    // The playing settings: number of cells (0 = the columns), frame time (ms), play mode (0
    // forward, 1 back and forth, other random), draw mode (0 copy, 1 alpha blend; non-zero
    // restores the background first), end action (1 keep the last cell; 0 or -k show cell 0 or
    // k; 2 and above restore the background).
    void SetAnimation(int32_t cells, uint32_t frameTime, uint8_t playMode, uint8_t drawMode, int32_t endAction);

    // The borrowed picture when set, else the own one (null when neither has pixels).
    CImage* GetPicture() const
    {
        return m_borrowed ? m_borrowed : m_own.IsEmpty() ? nullptr : const_cast<CImage*>(&m_own);
    }
    CImage* GetSource() const { return m_source; }
    CImage* GetWorkImage() const { return m_work.get(); }
    LONG GetCellWidth() const { return m_cellWidth; }
    LONG GetCellHeight() const { return m_cellHeight; }
    LONG GetX() const { return m_x; }
    LONG GetY() const { return m_y; }
    void SetPosition(LONG x, LONG y)
    {
        m_x = x;
        m_y = y;
    }
    int32_t GetColumns() const { return m_columns; }
    int32_t GetMode() const { return m_mode; }
    uint8_t GetFlag() const { return m_flag; }
    uint8_t GetKeyMode() const { return m_keyMode; }
    // The number of cells played: the given one, or the columns.
    int32_t GetCellCount() const { return m_cells > 0 ? m_cells : m_columns; }
    uint32_t GetFrameTime() const { return m_frameTime; }
    uint8_t GetPlayMode() const { return m_playMode; }
    uint8_t GetDrawMode() const { return m_drawMode; }
    int32_t GetEndAction() const { return m_endAction; }
    const std::deque<CDrawable*>& GetUsers() const { return m_users; }

    // Saves the background of one cell at the position of image into the work image; false
    // without work image or image.
    bool SaveBackground(const CImage* image);
    // Copies the saved background back to the position in image; false without either.
    bool RestoreBackground(CImage* image) const;
    // The cell rectangle of the picture copied to the position in image, as CImage::Copy does.
    void CopyCell(CImage* image, const RECT& cell) const;
    // RestoreBackground, then the cell rectangle of the picture blended alpha over alpha (opacity
    // 255) at the position in image: the same pixels, written once where the background and the
    // cell cover the same rectangle of image and share no memory with it.
    void RestoreAndBlendCell(CImage* image, const RECT& cell) const;
    // Asks each user to redraw rect (in the source image's coordinates). Inline: every cell
    // change sends it.
    void RedrawUsers(const RECT& rect) const
    {
        for (CDrawable* user : m_users) {
            RECT r = rect;
            user->InvalidateLocalRect(&r);
        }
    }

private:
    CImage m_own;
    CImage* m_borrowed = nullptr;
    LONG m_cellWidth = 0;
    LONG m_cellHeight = 0;
    uint8_t m_flag = 0;
    uint8_t m_keyMode = 0;
    CImage* m_source = nullptr;
    LONG m_x = 0;
    LONG m_y = 0;
    int32_t m_mode = 0;
    int32_t m_columns = 0;
    std::unique_ptr<CImage> m_work;
    std::deque<CDrawable*> m_users;
    int32_t m_cells = 0;
    uint32_t m_frameTime = 0;
    uint8_t m_playMode = 0;
    uint8_t m_drawMode = 0;
    int32_t m_endAction = 1;
};
