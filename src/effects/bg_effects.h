// The background effects: effect objects (kind byte 0, task kind 14000) that work on the
// background layer of a canvas's scene. The game's start-up registers them.
//   "bg_zoom" (CBgZoomEffect) glides the shown part of the background picture to a zoomed
//   rectangle; set-up words: centre x, centre y, zoom text (null 1.0), acceleration text (null
//   0.0), duration ms. Codes: 1 no manager or layer or a zero zoom, 2 no end rectangle, 3 the
//   manager refused; -1 applied at once (duration 0). QueryV writes the end rectangle.
//   "bg_rot" (CBgRotEffect) turns and zooms the background about a centre; set-up words: centre
//   x, centre y, angle (512 a turn), zoom text (null 1.0), acceleration text, duration ms. Codes:
//   1 no manager or layer or a zero zoom, 2 the layer has no canvas, 3 the manager refused.
//   "bg_loop" (CBgLoopEffect) scrolls the background picture endlessly through its work image;
//   set-up words: direction (0 right, 1 left, 2 down, 3 up), period ms (0 -> 1), repeat count (0
//   until asked to stop), busy flag. Codes: 1 no manager or layer or no canvas, 2 no work image,
//   3 / 4 the picture is narrower / lower than the canvas, 5 the manager refused. SetParams(0)
//   asks it to stop at the end of the current period; the layer is restored when it ends.
//   "bg_rast" (CBgRastEffect) waves the rows of the background sideways; set-up words: amplitude,
//   wavelength, period, hold time (0 until asked to stop), ramp-in, ramp-out, fill flag, busy
//   flag (zero times count as 1). Codes: 1 no cosine table, manager or layer, 2 no canvas, 3 a
//   work image exists, 4 none can be made, 5 the picture does not fit the canvas, 6 the manager
//   refused. QueryV answers the state (0 in, 1 holding, 2 and 3 out); SetParams starts the ramp-out
//   (1 when already ramping out). The layer is restored when it ends.
//   "bg_haze" (CBgHazeEffect) waves the rows sideways and up or down by an offset table averaged
//   from groups "(m,q,A)"; set-up words: group text, sample count n (1..65536), period, hold,
//   ramp-in, ramp-out, fill flag, busy flag. Codes 1 to 5 as bg_rast (4 also for the table), 6 the
//   text cannot be read, 7 the manager refused. QueryV and SetParams as bg_rast.
//   "bg_cross" (CBgCrossEffect) cross-fades the background picture to the back page's and back
//   within each period through the pixel library; set-up words: period (0 -> 1), repeat count (0
//   until asked to stop), mode (0 live pictures, 1 the second picture as at set-up, 2 the first),
//   swap flag, busy flag. Codes: 1 no manager, library or picture, 3 no back page picture or the
//   manager refused, 4 the pictures differ in size, 5 no work image or copy. SetParams asks it
//   to stop at the end of the current period; the layer is restored when it ends.
//   "bg_blur" (CBgBlurEffect) redraws the background turned, zoomed or moved along a path, each
//   drawing blended over the last at the blur level; word 0 is 0 (then centre x, y, start zoom,
//   start angle in turns, end zoom, end angle) or a path text "(x,y,zoom)..." (then the spline
//   flag); then duration, blur level, acceleration, picture option (0 the layer's picture, else a
//   file name), mirror and flip flags, draw-on-picture, smoothing, start delay, final view.
//   Codes: 1 no cosine table or library, 2 no manager or layer, 3 a bad path, 4 the file, 5 no
//   layer picture, 6 no copy, 7 nothing to draw on, 8 no work image or the manager refused.
#pragma once

#include <cmath>
#include <vector>

#include "effects/layer_effect.h"
#include "winapi/base.h"

class CImage;
class CScene;
class CSurface;

// Task kind of the background effects.
constexpr int32_t kBgEffectKind = 14000;

// The bg_zoom end rectangle of a W × H picture on a canvas of canvasW × canvasH (x, y, w, h).
// False when the zoom leaves no rectangle (zero, negative, huge or not finite).
bool ComputeBgZoomRect(LONG pictureW, LONG pictureH, LONG canvasW, LONG canvasH, LONG cx, LONG cy, double zoom,
                       LONG out[4]);

class CBgZoomEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_zoom"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;

private:
    void Show(const LONG rect[4]);

    CScene* m_layer = nullptr;
    uint32_t m_duration = 0;
    double m_acceleration = 0.0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    LONG m_width = 0;
    LONG m_height = 0;
    LONG m_from[4] = {0, 0, 0, 0};
    LONG m_to[4] = {0, 0, 0, 0};
};

class CBgRotEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_rot"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;

private:
    CScene* m_layer = nullptr;
    uint32_t m_duration = 0;
    double m_acceleration = 0.0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    LONG m_fromX = 0, m_fromY = 0;
    int m_fromAngle = 0;
    double m_fromZoom = 1.0;
    LONG m_toX = 0, m_toY = 0;
    int m_toAngle = 0;
    double m_toZoom = 1.0;
};

class CBgLoopEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CBgLoopEffect() override { Restore(); }

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_loop"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Restore(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

private:
    // Draws the picture into the work image shifted by offset (0 <= offset < span), wrapped.
    void Draw(LONG offset);
    void Restore();

    CScene* m_layer = nullptr;
    uint8_t m_direction = 0;
    uint32_t m_period = 1;
    uint32_t m_repeats = 0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    LONG m_span = 0;
    LONG m_lastOffset = -1;
    uint8_t m_stop = 0;
    uint8_t m_owned = 0; // the work image is ours to release
};

class CBgRastEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CBgRastEffect() override { Restore(); }

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_rast"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Restore(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;

protected:
    // Codes 1 to 5 of the set-up; the layer's work image is ours from there on.
    int PrepareLayer(CTimerManager* manager, CImageObject* target, bool fill);
    virtual void Draw(int32_t phase, int32_t amplitude);
    void Restore();

    CScene* m_layer = nullptr;
    int32_t m_max = 0;
    uint32_t m_wavelength = 1;
    uint32_t m_period = 1;
    uint32_t m_hold = 0;
    uint32_t m_rampIn = 1;
    uint32_t m_rampOut = 1;
    uint8_t m_fill = 0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    uint8_t m_state = 0;
    uint32_t m_outStart = 0;
    int32_t m_outFrom = 0; // the amplitude the ramp-out starts from
    int32_t m_amplitude = 0;
    int32_t m_lastPhase = -1;
    int32_t m_lastAmplitude = -1;
    uint8_t m_owned = 0;
    uint32_t m_phaseSteps = 512; // phases a period
};

class CBgHazeEffect : public CBgRastEffect {
public:
    static CPluginEffect* Create(DWORD parameter);

    const char* GetName() override { return "bg_haze"; }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    const std::vector<int32_t>& Table() const { return m_table; }

protected:
    // Level 0..512.
    void Draw(int32_t phase, int32_t level) override;

private:
    std::vector<int32_t> m_table;
};

class CBgCrossEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CBgCrossEffect() override;

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_cross"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Restore(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

private:
    void Draw(int32_t level);
    void Restore();

    CScene* m_layer = nullptr;
    CScene* m_other = nullptr;
    CImage* m_copy = nullptr; // the picture taken at set-up (modes 1 and 2)
    LONG m_width = 0;
    LONG m_height = 0;
    uint32_t m_period = 1;
    uint32_t m_repeats = 0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    int32_t m_lastLevel = -1;
    uint8_t m_stop = 0;
    uint8_t m_mode = 0;
    uint8_t m_owned = 0;
};

struct PixelLibTransform;

class CBgBlurEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CBgBlurEffect() override;

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_blur"; }
    uint8_t GetObjectType() override { return 0; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { End(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;

    struct Point {
        double x, y, zoom;
    };

private:
    enum class Routine : uint8_t { kRotate, kZoom, kLine, kSpline };
    void Draw(double t);
    void DrawZoom(double x, double y, double z);
    CImage* DrawTarget() const;
    // The drawing at level 255, or the blur level.
    void DrawAt(double t, DWORD level);
    void End();

    CScene* m_layer = nullptr;
    CImage* m_own = nullptr;
    CSurface* m_source = nullptr;
    LONG m_cx = 0, m_cy = 0;
    double m_startZoom = 1.0;
    int32_t m_startAngle = 0;
    double m_endZoom = 1.0;
    int32_t m_endAngle = 0;
    std::vector<Point> m_points;
    std::vector<double> m_splineX, m_splineY;
    uint32_t m_duration = 0;
    uint8_t m_level = 255;
    DWORD m_drawLevel = 255;
    double m_acceleration = 0.0;
    uint8_t m_onPicture = 0;
    uint8_t m_smoothing = 0;
    uint8_t m_finalView = 0;
    double m_endTurns = 0.0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    Routine m_routine = Routine::kRotate;
    double m_lastA = NAN, m_lastB = NAN, m_lastZoom = NAN;
    uint8_t m_ended = 0;
};

// A bg_blur path text "(x,y,zoom)(x,y,zoom)...": false for anything else or fewer than two
// points. A zoom that cannot be read counts as 1.0.
bool ParseBlurPath(const char* text, std::vector<CBgBlurEffect::Point>* points);
// bg_blur's final state of a layer: a view rectangle (x, y, w, h) for angle 0, else x, y, the
// angle in 512ths of a turn as w and h 0. 0; 1 zoom 0 or not finite; 2 no picture or target;
// 3 no cosine table; 4 its double table cannot be built.
int BgBlurFinalState(const CScene& layer, LONG cx, LONG cy, double zoom, double turns, LONG out[4]);
// Applies a final state as a bg_blur ends: false when nothing changed.
bool ApplyBgBlurState(CScene& layer, double zoom, double turns, const LONG state[4]);

// The haze's offset table of n entries from a group text: 0, 1 for a null text, 2 for an empty
// or unreadable one or one without a group, 4 when the table cannot be allocated.
int BuildHazeTable(const char* text, uint32_t n, std::vector<int32_t>* table);

// The sideways shift of picture row `row` at a phase (512 a turn) and amplitude.
int32_t RastRowShift(int32_t row, int32_t phase, int32_t amplitude, uint32_t wavelength);

// A bg_rast wave: phase (512 a turn), amplitude in pixels, wavelength in rows.
struct RastWave {
    int32_t phase;
    int32_t amplitude;
    uint32_t wavelength;
};

// The bg_rast drawing: each row of the picture (placed at px, py) shifted sideways by the wave
// into work; the uncovered pixels take (r, g, b) with fill, else the unshifted picture. With raw,
// 32-bit pictures move as raw memory (the same pixels, fewer calls).
void DrawRastRows(CImage& work, const CSurface& picture, LONG px, LONG py, const RastWave& wave, bool fill, BYTE r,
                  BYTE g, BYTE b, bool raw);

// The bg_haze drawing: work row y shows picture row y - py + o shifted right by o, o the table's
// entry (phase + y) mod n at level (512 full); uncovered pixels take (r, g, b) with fill, else
// keep what work holds. raw as DrawRastRows.
void DrawHazeRows(CImage& work, const CSurface& picture, LONG px, LONG py, const std::vector<int32_t>& table,
                  int32_t phase, int32_t level, bool fill, BYTE r, BYTE g, BYTE b, bool raw);

// Direct apply of bg_blur's final state. Words: display object, centre x, centre y, zoom
// (double), angle in turns (double); out words 5 to 8 get x, y, w, h. -1 no canvas; the final
// state's code; 4 an empty rectangle; 0.
int ApplyBgBlurDirect(const CEffectArgs& in, CEffectArgs* out);

// Direct apply of bg_zoom's end state (the registry's second callback). Words: display object
// (a canvas), centre x, centre y, zoom text, then up to four pointers to LONG receiving x, y, w,
// h. -1 when the object has no canvas; 1 no layer picture or zero zoom; 2 no end rectangle; 0.
int ApplyBgZoomDirect(const CEffectArgs& in, CEffectArgs* out);
