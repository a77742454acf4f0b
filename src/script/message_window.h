// CMessageWindow: the scenario engine's message window, a text panel that lays a page of scenario
// text out in two passes (a measuring pass that records each line's box, then the drawing pass),
// runs the page's embedded commands through the frame while it writes, shows the speaker name in
// a name window and reveals a page from an off-screen image.
//
// Page text: Shift-JIS characters; a NUL followed by "[" opens an embedded command whose u32
// length (counting itself) says where it ends; a NUL followed by anything else, or a command that
// runs past the page, ends the page. Page text also comes from saves and logs: nothing in it is
// trusted.
//
// The reveal runs on the frame's clock. The revealed length is elapsed × total / reveal time (in
// 64 bits) over the concatenated lines. Up to the soft edge the page image's pixels are copied;
// across the edge (edge width pixels ending at the revealed length) each pixel is the page pixel
// over the window's pixel before the page, weighted by the edge ramp: the ramp runs from 255 at
// the edge's start to 0 at its end, out = (page × ramp + base × (255 − ramp)) / 255 per channel,
// rounded down.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "controls/text_panel.h"
#include "raster/blend_tables.h"
#include "raster/image.h"

class CTgsFrame;

// One row of the reveal's soft edge: d = (page·w + base·(255 − w)) / 255 in each channel, w the
// pixel's weight, rounded down; plain, SSE2 or AVX2 as g_bUseMmx and the SIMD level allow, all
// with the same bytes.
void MixRevealRow(uint32_t* d, const uint32_t* page, const uint32_t* base, const uint8_t* weights, LONG n);

class CMessageWindow : public CTextPanel {
public:
    struct LineRecord {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
        uint8_t hasRuby = 0;
    };

    CMessageWindow();
    ~CMessageWindow() override;

    // The reveal step.
    int Update(uint32_t time) override;

    void SetVisible(bool visible) override;

    void SetFrame(CTgsFrame* frame) { m_frame = frame; }
    void SetNameWindow(CTextPanel* window) { m_nameWindow = window; }
    CTextPanel* NameWindow() const { return m_nameWindow; }

    // → 0; 1 bytes null or size 0.
    int SetPageText(const uint8_t* bytes, uint32_t size);
    void ClearPageText();
    // The page text with the two NULs that close it.
    const std::vector<uint8_t>& PageText() const { return m_pageText; }
    // The page text as it was given (without its closing NULs).
    std::string_view GivenPageText() const
    {
        return m_pageText.size() < 2 ? std::string_view()
                                     : std::string_view(reinterpret_cast<const char*>(m_pageText.data()),
                                                        m_pageText.size() - 2);
    }
    void SetNameAndVoice(const char* name, const char* voice);
    const std::string& Name() const { return m_name; }
    const std::string& Voice() const { return m_voice; }
    void SetIndentCharacters(const char* text) { m_indentChars = text != nullptr ? text : ""; }
    // Clamp left below 0 keeps the old rectangle, -1 switches clamping off.
    void SetTextRect(int anchorMode, int x, int y, int left, int top, int right, int bottom);
    // → 0; 1 no image; 2 n below the font height; 3 the ramp failed. n < 0 frees the ramp.
    int SetEdgeWidth(int n);
    int EdgeWidth() const { return m_edgeWidth; }
    // The page-wait icon: an image shown at (x, y) of the window, or after the text with atEnd.
    int SetWaitIcon(CImage* image, int x, int y, bool atEnd);
    void ShowWaitIcon(bool show);
    bool IsWaitIconShown() const { return m_iconShown != 0; }
    const CSprite& WaitIcon() const { return m_icon; }
    void SetShowIconAfterReveal(bool on) { m_iconAfterReveal = on ? 1 : 0; }

    // Draws page text into target with the first line's top-left at (x, y) inside the margins,
    // embedded commands passed over and full-width spaces left out (the backlog's pages) → 0; 1
    // text or target null. The window's own image and cursor are left as they were.
    int DrawText(const uint8_t* text, uint32_t size, CImage* target, int x, int y);
    // One line's advance: the line height and the line spacing.
    int LineStep() const { return m_lineHeight + m_lineSpacing; }
    // → lines laid out; 0 no character; -1 text null; -2 a command asked to stop.
    int MeasureText(const uint8_t* text, uint32_t size, RECT* out, bool runCommands);
    // → 0; 1 no page text or no frame; 2 a reveal still runs.
    int ShowPage(bool resize);
    // → true when a reveal was running or about to start (then done at once).
    bool FinishReveal();
    bool IsRevealing() const { return m_revealState != 0; }
    // One reveal step's work: the page's revealed length goes from `from` to `to` pixels along
    // its lines (the soft edge ends at `to`).
    void RevealRange(uint64_t from, uint64_t to);
    void SetCharacterTime(uint32_t ms) { m_charTime = ms; }
    uint32_t RevealTime() const { return m_revealTime; }
    int32_t CharacterCount() const { return m_charCount; }
    const std::deque<LineRecord>& Lines() const { return m_lines; }
    uint32_t LayoutMode() const { return m_mode; }

    // Embedded commands 14, 26, 27 while a page is laid out.
    void CommandNewLine();
    bool MarkRubyBase();
    // → 0; 1 direct mode; 2 no ruby font or text; 3/4 empty base (vertical/horizontal); 5 no
    // characters.
    int DrawRuby(const char* text);
    bool IsLayingOut() const { return m_mode != 0; }
    // The clock the reveal reads (the frame's).
    void SetClock(uint32_t (*clock)(void*), void* user)
    {
        m_clock = clock;
        m_clockUser = user;
    }

private:
    // One pass over the page: commands dispatched when asked; characters drawn into target (the
    // panel's image when null) → 0; -2 a command stopped it.
    int RunPass(const uint8_t* text, uint32_t size, CImage* target, bool runCommands, bool record);
    void InvalidateAll();
    // Back to the page's start after the measuring pass.
    void RestoreCursor(int x, int y);
    void CopyRun(int32_t line, int32_t from, int32_t to, bool edge, int32_t edgeEnd);
    uint32_t Now() const { return m_clock != nullptr ? m_clock(m_clockUser) : 0; }

    CTgsFrame* m_frame = nullptr;
    CTextPanel* m_nameWindow = nullptr;
    std::vector<uint8_t> m_pageText;
    std::vector<uint8_t> m_drawnText; // DrawText's copy, kept so a redraw allocates nothing
    std::string m_name, m_voice, m_indentChars;
    uint32_t m_mode = 0; // 0 direct, 1 measuring, 2 into the page image, 3 in place
    std::deque<LineRecord> m_lines;
    int32_t m_line = 0;
    CImage m_pageImage, m_baseImage, m_scratch;
    uint32_t m_charTime = 0, m_revealTime = 0;
    uint8_t m_revealState = 0;
    uint32_t m_revealStart = 0;
    uint64_t m_revealed = 0, m_total = 0;
    int32_t m_charCount = 0;
    uint8_t m_rubyOpen = 0;
    int32_t m_rubyStart = 0;
    int32_t m_lastCharStart = 0, m_lastCharEnd = 0;
    CImage* m_target = nullptr;
    int32_t m_anchorMode = 0, m_anchorX = 0, m_anchorY = 0;
    bool m_anchored = false;
    RECT m_clamp{-1, 0, 0, 0};
    CGradientRamp m_ramp;
    int32_t m_edgeWidth = -1;
    CSprite m_icon;
    CImage* m_iconImage = nullptr;
    int32_t m_iconX = 0, m_iconY = 0;
    uint8_t m_iconAtEnd = 0, m_iconShown = 0, m_iconAfterReveal = 1, m_iconInList = 0;
    uint32_t (*m_clock)(void*) = nullptr;
    void* m_clockUser = nullptr;
};
