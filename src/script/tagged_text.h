// CTaggedText: the system script's text object — a CMessageStore that also draws. It reveals the
// body of the current message element by element into a target image through a font (tags,
// waits and page ends are passed over, "\" breaks the line, "@" digits are inline glyphs), draws
// the name lines and the choices, keeps message read flags and choice seen flags in the SOB
// runtime, and remembers one position in the text.
#pragma once

#include <cstdint>
#include <string>

#include "script/message_store.h"
#include "winapi/base.h"

class CFont;
class CImage;
class CSobRuntime;

// Told of every character rectangle that the body drawing puts on the target (the text natives
// adapt a sprite or a surface to it).
class CTaggedTextOwner {
public:
    virtual ~CTaggedTextOwner() = default;
    virtual void OnCharacterDrawn(const RECT& rect) = 0;
};

class CTaggedText : public CMessageStore {
public:
    static constexpr size_t kMaxLine = 255; // bytes of one name line drawn

    explicit CTaggedText(CSobRuntime& runtime);

    // Read bits of the runtime: bit = number; scope 0 the running module, others the common entry.
    bool IsMessageRead(uint8_t scope, uint16_t number) override;
    void MarkMessageRead(uint8_t scope, uint16_t number) override;
    // Draw position := origin.
    void ResetDrawPosition() override;
    int32_t GetDrawX() const { return m_drawX; }
    int32_t GetDrawY() const { return m_drawY; }

    // → 0; 1 when surface or font is null. Origin and draw position := (x, y).
    int SetTarget(CImage* surface, CTaggedTextOwner* owner, int32_t x, int32_t y, CFont* font, bool effect,
                  bool centred, int32_t spacing);
    // One element (with skipPlain, plain text up to the next element in one go), drawing what was
    // plain → ParseNextToken's code; 1 without a target or a body. Page end and end: draw
    // position := origin.
    int StepText(bool skipPlain);
    // From the body start to the n-th tag or block, drawing the text passed when asked
    // → CMessageStore::SeekTag's code; -1 without a body, or draw asked without a target.
    int SeekTag(int32_t n, bool draw);
    // Draws the body from its start to the parse cursor again → false without target or body.
    bool Redraw();
    // Name line n (0: the whole name; lines cut at 255 bytes on a character boundary), or the
    // text of choice i, at (x, y); null surface or font: the target's; effect 255: the stored
    // flag → 0; 1 no surface or font; 2 no such line or choice; 3 the draw failed.
    int DrawLine(int32_t x, int32_t y, uint32_t n, CImage* surface, CFont* font, uint8_t effect);
    int DrawChoice(int32_t i, int32_t x, int32_t y, CImage* surface, CFont* font, uint8_t effect);
    // The displayable text of the body up to its first wait, page end or end ("\" as CR LF when
    // asked) → its length + 1.
    uint32_t ExtractPlainText(std::string* out, bool crlf) const;
    // Stores the selection; with a packed choice block of kind 0 or 1 and i below its count, also
    // sets the choice's seen bit in the runtime → true.
    bool SelectChoice(uint8_t i);
    // → the selected choice; 255 when the choices have no packed block.
    uint8_t GetSelectedChoice() const;
    bool IsChoiceSeen(int32_t i) const;
    // Remembers the parse cursor → false without a body. Restore → false when another text is
    // shown since (the cursor stays).
    bool SavePosition();
    bool RestorePosition();

    CImage* Target() const { return m_target; }
    CFont* TargetFont() const { return m_font; }
    // Forgets the target, its owner and font (their objects ended): drawing answers "no target".
    void ClearTarget()
    {
        m_target = nullptr;
        m_owner = nullptr;
        m_font = nullptr;
    }

private:
    // Draws body bytes [from, to) at the draw position and stores where it ended.
    void DrawRange(size_t from, size_t to);
    // One piece of text at (x, y) → its advance, or -1 when the draw failed.
    int32_t DrawPiece(const std::string& piece, int32_t x, int32_t y, bool doubleByte);
    // Null surface or font: the target's → false when one is still missing.
    bool DefaultTarget(CImage** surface, CFont** font) const;
    int DrawString(const char* text, int32_t x, int32_t y, CImage* surface, CFont* font, uint8_t effect);
    int32_t FontHeight() const;

    CSobRuntime& m_runtime;
    CImage* m_target = nullptr;
    CTaggedTextOwner* m_owner = nullptr;
    CFont* m_font = nullptr;
    bool m_effect = false;
    bool m_centred = false;
    int32_t m_spacing = 0;
    int32_t m_originX = 0, m_originY = 0;
    int32_t m_drawX = 0, m_drawY = 0;
    bool m_saved = false;
    std::string m_savedBody;
    size_t m_savedOffset = 0;
};

// The one script text object (the system-script host's), or null.
extern CTaggedText* g_pScriptTextObject;
