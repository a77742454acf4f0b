// CSpPartsEffect ("sp_parts", kind byte 1, task kind 14001): animates a picture made of parts
// (eyes, mouth, ...) read from a text parts list (docs/parts-list.md): each animated part is a
// sprite moved by a CSpPartObject (an sp_panime interpreter over the part's frames), each loop
// part an sp_loop; all at consecutive priorities below the base priority, optionally mirrored on
// the back page.
// Set-up words: w0 list file, w1 / w2 the offset added to every point, w3 base priority, w4 read
// the "#s" blocks, w5 the pictures' zoom (a double; not finite and positive -> 1.0), w6 busy flag,
// w7 own scenes, w8 both pages, w9 show front, w10 show back. Codes: 1 no manager, target or
// list name; 2 no back page picture; 3 the list cannot be loaded; 4 a part cannot be set up
// (also no memory); 5 the manager refused.
// SetParams: (0) every part stops at the end of its cycle; (1, a, b) the show flags (2 without a
// back side, 1 without parts); (2, n, on) part n shown or not (1 outside the parts).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/sp_panime.h"
#include "platform/timer_manager.h"
#include "raster/image.h"

// A part's frames played on its sprite: the sp_panime interpreter started at the part's first
// point, both per-point values 1.
class CSpPartObject : public CSpPanimeEffect {
public:
    const char* GetName() override { return "sp_part"; }
    // 0; 1 no plain image sprite; 2 fewer than 2 frames, the first no point, or a looping part with
    // no point to loop over.
    virtual int SetUpFrames(CDrawable* sprite, uint32_t step, const PathStep* frames, int32_t count, int32_t points,
                            bool loop);
    // Where the part stands at now while that lies within its current step (nearly every call):
    // false at a step's or the list's end and for turning parts, which take Step's way. Nothing
    // is changed, so the parts' placings can be worked out together before any is applied.
    struct Placing {
        int32_t x, y;
        BYTE alpha;
    };
    bool PlaceWithinStep(uint32_t now, Placing* out);
    // The same, defined inline in the effect's own file for its step loop (a library built
    // position-independent does not inline an exported function into its callers).
    inline bool PlaceWithinStepHere(uint32_t now, Placing* out);
    // The part ends at the end of its current cycle.
    void StopAtCycleEnd() { m_loop = 0; }
};

struct SpPart {
    std::unique_ptr<CImage> image;
    std::unique_ptr<CSprite> front;
    std::unique_ptr<CSprite> back;
    int32_t frameCount = 0; // -1 for a loop part
    std::vector<PathStep> frames;
    int32_t points = 0;
    uint8_t loopFrames = 0;
    uint8_t motion = 0;     // 1 after "f", 2 after "b"
    LONG pivotX = 0, pivotY = 0;
    double largestZoom = 1.0;
    uint8_t turns = 0;
    uint8_t spline = 0;
    uint8_t mirrored = 1;
    CLayerEffect* frontLoop = nullptr; // owned by the effect's loop scheduler, cleared when it ends
    CLayerEffect* backLoop = nullptr;
    uint32_t priority = 0;
    // Reading state.
    int32_t swing[4] = {0, 0, 0, 0};
    uint8_t skipFrames = 0;
    uint8_t commands = 0;
};

// What LoadPartsList reads with.
struct PartsListContext {
    CScene* scene = nullptr;       // the parts' scene
    CScene* backScene = nullptr;   // the back page's, or null
    CImageObject* canvas = nullptr;     // the loop parts' canvases
    CImageObject* backCanvas = nullptr;
    CTimerManager* loops = nullptr;     // where loop parts run
    double zoom = 1.0;
    LONG offsetX = 0, offsetY = 0;
    uint32_t basePriority = 0;
    bool blocks = false;           // read the "#s" blocks
};

// Parses a parts list's text into parts: 0, or the load error (1 no scene, 2 unreadable text, 3 an
// image or loop part, 4 a step command before any part, 5 a point before any part (or a point
// line that is no point), 6 no part, 7
// a part with steps but no point, 8 / 9 a "t" line without or with a 0 time, 10 a step command
// before the part's first point). folder prefixes every image name. Nothing is kept on failure.
int ReadPartsList(const char* text, size_t size, const std::string& folder, const PartsListContext& context,
                  std::vector<std::unique_ptr<SpPart>>* parts);

class CSpPartsEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CSpPartsEffect() override;

    int32_t GetKind() override { return kSpEffectKind; }
    const char* GetName() override { return "sp_parts"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

    // Loads the list file through the file manager: ReadPartsList's codes (2 when it cannot be
    // opened).
    int LoadPartsList(const char* name, const PartsListContext& context);

    size_t GetPartCount() const { return m_parts.size(); }
    const SpPart& GetPart(size_t i) const { return *m_parts[i]; }
    // 1 running, 0 ended, 2 no frames, 3 a loop part.
    uint8_t GetPartState(size_t i) const { return m_states[i]; }

private:
    void ShowPart(size_t i, bool front, bool back);
    void RedrawOwnScenes();

    CImageObject* m_target = nullptr;
    CImageObject* m_back = nullptr;
    uint8_t m_showFront = 1, m_showBack = 1;
    std::unique_ptr<CScene> m_ownFront;
    std::unique_ptr<CScene> m_ownBack;
    CTimerManager m_loops;
    std::vector<std::unique_ptr<SpPart>> m_parts;
    std::vector<std::unique_ptr<CSpPartObject>> m_objects;
    std::vector<uint8_t> m_states;
    std::vector<CSpPartObject::Placing> m_placings; // one a part, kept from step to step
    std::vector<uint8_t> m_placed;
};
