// CSplinePath: a motion command string ("!l 500 c", "M10 >>> 300", ...) parsed into a table of
// steps for one object (a sprite, or the background picture of a scene), with key points that a
// natural cubic spline may smooth. Screen effects own the paths and play the steps over time;
// this class gives them the table, the evaluation of a segment and the final state.
#pragma once

#include "winapi/base.h"

#include <cstdint>
#include <vector>

class CDrawable;
class CScene;

// What a step is.
enum EPathStepKind : uint8_t {
    kPathStepPoint = 0,
    kPathStepDuration = 1,
    kPathStepValue = 2,   // "A"
    kPathStepForward = 3, // "F"
    kPathStepBack = 4,    // "B"
    kPathStepSpline = 5,  // "S"
    kPathStepN = 6,       // "N"
    kPathStepMoveUnit = 7,
    kPathStepSizeUnit = 8,
    kPathStepCentre = 9,
};

struct PathStep {
    uint8_t kind = kPathStepPoint;
    uint8_t opacity = 255;
    int32_t x = 0;
    int32_t y = 0;
    int32_t widthChange = 0;
    int32_t heightChange = 0;
    int32_t xCorrection = 0;
    int32_t yCorrection = 0;
    double zoom = 1.0;
    double rotation = 0.0; // degrees
    int32_t pointIndex = -1; // point steps: 0, 1, ...; others -1
    // Duration (point and duration steps), unit (7, 8) or centre x (9).
    int32_t value = 0;
    int32_t value2 = 0;    // centre y (9)
    double amount = 0.0;   // the "A" value
    uint8_t zooming = 0;   // "Z" given
    uint8_t turning = 0;   // "R" given
};

// Solves the natural spline's coefficients over n values (n >= 3 for a curve; fewer give zeros):
// M_0 = M_(n-1) = 0 and M_(i-1) + 4 M_i + M_(i+1) = d_i - d_(i-1), d_i = p_(i+1) - p_i.
void SolveNaturalSpline(const double* points, size_t n, double* coefficients);
// The spline segment from a to b at u in [0, 1] with coefficients mi and mi1 (inline: the path
// effects evaluate it for every moving sprite at every step).
inline double EvalSplineSegment(double a, double b, double mi, double mi1, double u)
{
    return a + u * ((b - a) - (2 * mi + mi1) + u * (3 * mi + u * (mi1 - mi)));
}

// Truncation towards 0 kept inside the 32-bit range (NaN gives 0).
inline int32_t TruncateToInt32(double v)
{
    // A spline may overshoot the points' range.
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Reads an optional '+'/'-' and decimal digits (saturated to 32 bits). False, cursor back before
// the sign, when no digit follows.
bool ParseSignedInt(const char** cursor, int32_t* value);
// An optional sign, digits, optional '.' and digits. False (cursor unmoved) when no digit.
bool ParseDecimal(const char** cursor, double* value);

class CSplinePath {
public:
    CSplinePath() = default;
    virtual ~CSplinePath() = default;

    // Parses a command string for sprite (when given) or scene. 0 parsed; 1 no text, no target,
    // or a target without the needed image or size; 2 the scene is suspended; 3 the scene has no
    // background picture; 4 a character outside the language; 5 no steps; 6 a number expected and
    // missing. The step table is empty after a failure.
    int ParseCommands(const char* text, CDrawable* sprite, CScene* scene);
    // 1 when steps is null or count < 2; else the table copied, the spline built when asked and
    // there are at least 3 points; 0.
    int SetSteps(const PathStep* steps, int32_t count, int32_t points, uint8_t spline);

    static void EvalLinear(const PathStep& a, const PathStep& b, double t, int32_t* x, int32_t* y);
    // Point index i is a's; without coefficients this is EvalLinear.
    void EvalCubic(int32_t i, const PathStep& a, const PathStep& b, double t, int32_t* x, int32_t* y) const;

    const std::vector<PathStep>& GetSteps() const { return m_steps; }
    int32_t GetPointCount() const { return m_points; }
    // The point step of point index i, null when none.
    const PathStep* GetPoint(int32_t i) const;
    uint32_t GetTotalTime() const { return m_totalTime; }
    uint32_t GetDefaultDuration() const { return m_defaultDuration; }
    uint8_t GetFlag() const { return m_flag; }
    // The centre of turning after the last step, and before the first.
    int32_t GetCentreX() const { return m_centreX; }
    int32_t GetCentreY() const { return m_centreY; }
    int32_t GetStartCentreX() const { return m_startCentreX; }
    int32_t GetStartCentreY() const { return m_startCentreY; }
    // The index in the step table of the last point step; -1 when there is none.
    int32_t GetFinalPointStep() const;
    // Whether a point zooms ("Z") or turns ("R"), and the largest zoom of the points (at least
    // 1.0; a zoom that is not finite and positive is not counted): what a sprite's work image
    // must hold.
    bool HasZoom() const;
    bool HasTurn() const;
    double GetLargestZoom() const;
    bool HasSpline() const { return !m_coefX.empty(); }
    const std::vector<double>& GetCoefficientsX() const { return m_coefX; }
    const std::vector<double>& GetCoefficientsY() const { return m_coefY; }
    void Clear();

private:
    void BuildSpline();

    uint32_t m_defaultDuration = 1000;
    uint32_t m_totalTime = 0;
    std::vector<PathStep> m_steps;
    int32_t m_points = 0;
    uint8_t m_flag = 0;
    int32_t m_centreX = 0;
    int32_t m_centreY = 0;
    int32_t m_startCentreX = 0;
    int32_t m_startCentreY = 0;
    std::vector<double> m_coefX;
    std::vector<double> m_coefY;
};

// Runs the whole string and reports its final state: the last point's position (its corrections
// added), opacity, the F (1) / B (2) flag, zoom, rotation and the centre of turning. Every
// out-pointer is optional. Codes as ParseCommands.
int ApplyPathCommands(const char* text, int32_t* x, int32_t* y, CDrawable* sprite, CScene* scene, uint8_t* opacity,
                      uint8_t* flag, double* zoom, double* rotation, int32_t* centreX, int32_t* centreY);
