#include "drawing/spline_path.h"

#include "drawing/draw_list.h"
#include "drawing/scene.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

int32_t Saturate32(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Decimal digits at p, saturated to INT32_MAX (20 digits must not wrap). False when none.
bool ReadDigits(const char** cursor, int32_t* value)
{
    const char* p = *cursor;
    if (!IsDigit(*p))
        return false;
    int64_t v = 0;
    for (; IsDigit(*p); ++p)
        v = v > INT32_MAX ? v : v * 10 + (*p - '0');
    *value = Saturate32(v);
    *cursor = p;
    return true;
}

// The surroundings the commands are read in.
struct Context {
    bool spriteTarget = false;
    int32_t areaW = 0, areaH = 0;
    int32_t objW = 0, objH = 0;
    int32_t startX = 0, startY = 0;
    int32_t centreX = 0, centreY = 0;
    int32_t moveUnit = 25;
    int32_t sizeUnit = 50;
};

// 0, or ParseCommands' codes 1..3.
int ReadContext(CDrawable* sprite, CScene* scene, Context& context)
{
    if (sprite) {
        const CDrawList* list = sprite->GetOwnerList();
        const CScene* owner = list ? list->GetScene() : nullptr;
        const CImage* area = owner ? owner->GetTarget() : nullptr;
        if (!area)
            return 1;
        context.spriteTarget = true;
        context.areaW = area->GetWidth();
        context.areaH = area->GetHeight();
        context.objW = sprite->GetWidth();
        context.objH = sprite->GetHeight();
        context.startX = sprite->GetX();
        context.startY = sprite->GetY();
    } else if (scene) {
        const CImage* area = scene->GetTarget();
        if (!area)
            return 1;
        if (scene->IsSuspended())
            return 2;
        CSurface* picture = nullptr;
        LONG x = 0, y = 0;
        scene->GetBackground(&picture, &x, &y, nullptr, nullptr, nullptr);
        if (!picture)
            return 3;
        context.areaW = area->GetWidth();
        context.areaH = area->GetHeight();
        context.objW = picture->GetWidth();
        context.objH = picture->GetHeight();
        context.startX = x;
        context.startY = y;
    } else {
        return 1;
    }
    context.centreX = context.areaW / 2;
    context.centreY = context.areaH / 2;
    return 0;
}

// "n,m" after a command; both absent is allowed when optional. 0, or 6 for a half pair.
int ReadPair(const char** cursor, bool optional, bool* given, int32_t* a, int32_t* b)
{
    *given = false;
    const char* p = *cursor;
    if (!ParseSignedInt(&p, a))
        return optional && *p != ',' ? 0 : 6;
    if (*p != ',')
        return 6;
    ++p;
    if (!ParseSignedInt(&p, b))
        return 6;
    *given = true;
    *cursor = p;
    return 0;
}

bool IsModifier(char c)
{
    return std::strchr("!$%+-<>O[]^_PpRZcdilru", c) != nullptr;
}

// k × unit added to v, all in 64 bits.
int32_t AddUnits(int32_t v, int32_t unit, int32_t k, int sign)
{
    return Saturate32(static_cast<int64_t>(v) + sign * static_cast<int64_t>(unit) * k);
}

// One modifier at *cursor applied to the point; 0 or 6.
int ApplyModifier(const char** cursor, const Context& cx, PathStep& pt)
{
    const char c = *(*cursor)++;
    const char*& p = *cursor;
    switch (c) {
    case 'P':
    case 'p': {
        bool given = false;
        int32_t x = 0, y = 0;
        if (ReadPair(cursor, false, &given, &x, &y) != 0)
            return 6;
        pt.x = c == 'P' ? x : Saturate32(static_cast<int64_t>(x) + cx.startX);
        pt.y = c == 'P' ? y : Saturate32(static_cast<int64_t>(y) + cx.startY);
        return 0;
    }
    case 'Z':
    case 'R': {
        double v = c == 'Z' ? 1.0 : 0.0;
        ParseDecimal(cursor, &v);
        (c == 'Z' ? pt.zoom : pt.rotation) = v;
        (c == 'Z' ? pt.zooming : pt.turning) = 1;
        return 0;
    }
    case 'O': {
        int32_t v = 255;
        ReadDigits(cursor, &v);
        pt.opacity = static_cast<uint8_t>(v > 255 ? 255 : v);
        return 0;
    }
    case '!': {
        const char which = *p;
        if (!which || !std::strchr("lrcudi", which))
            return 0;
        ++p;
        switch (which) {
        case 'l': pt.x = Saturate32(-static_cast<int64_t>(cx.areaW)); pt.y = cx.startY; break;
        case 'r':
        case 'i': pt.x = cx.objW; pt.y = cx.startY; break;
        case 'c': pt.x = cx.startX; pt.y = cx.objH; break;
        case 'u': pt.y = Saturate32(-static_cast<int64_t>(cx.areaH)); break;
        case 'd': pt.y = cx.areaH; break; // just below the area
        }
        return 0;
    }
    case 'u': pt.y = 0; return 0;
    case 'l': pt.x = 0; return 0; // the left edge, as "u" is the top
    case 'd':
        pt.y = cx.spriteTarget ? Saturate32(static_cast<int64_t>(cx.objH) - cx.areaH)
                               : Saturate32(static_cast<int64_t>(cx.areaH) - cx.objH);
        return 0;
    case 'i': pt.y = Saturate32((static_cast<int64_t>(cx.objH) - cx.areaH) / 2); return 0;
    case 'c':
        if (cx.spriteTarget) {
            pt.x = cx.startX;
            pt.y = cx.startY;
        } else {
            pt.x = Saturate32((static_cast<int64_t>(cx.areaW) - cx.objW) / 2);
            pt.y = Saturate32((static_cast<int64_t>(cx.areaH) - cx.objH) / 2);
        }
        return 0;
    case 'r':
        if (cx.spriteTarget) {
            pt.x = Saturate32(cx.objW / 4 + static_cast<int64_t>(cx.startX));
            pt.y = cx.startY;
        } else {
            pt.x = Saturate32(static_cast<int64_t>(cx.areaW) - cx.objW);
        }
        return 0;
    default:
        break;
    }
    // The unit modifiers take an optional count.
    int32_t k = 1;
    ReadDigits(cursor, &k);
    const int32_t half = cx.sizeUnit / 2;
    switch (c) {
    case '<': pt.x = AddUnits(pt.x, cx.moveUnit, k, -1); break;
    case '>': pt.x = AddUnits(pt.x, cx.moveUnit, k, 1); break;
    case '-': pt.y = AddUnits(pt.y, cx.moveUnit, k, -1); break;
    case '+': pt.y = AddUnits(pt.y, cx.moveUnit, k, 1); break;
    case ']': pt.widthChange = AddUnits(pt.widthChange, cx.sizeUnit, k, 1); break;
    case '[':
        pt.widthChange = AddUnits(pt.widthChange, cx.sizeUnit, k, 1);
        pt.xCorrection = AddUnits(pt.xCorrection, cx.sizeUnit, k, -1);
        break;
    case '$':
        pt.widthChange = AddUnits(pt.widthChange, cx.sizeUnit, k, 1);
        pt.xCorrection = AddUnits(pt.xCorrection, half, k, -1);
        break;
    case '_': pt.heightChange = AddUnits(pt.heightChange, cx.sizeUnit, k, 1); break;
    case '^':
        pt.heightChange = AddUnits(pt.heightChange, cx.sizeUnit, k, 1);
        pt.yCorrection = AddUnits(pt.yCorrection, cx.sizeUnit, k, -1);
        break;
    case '%':
        pt.heightChange = AddUnits(pt.heightChange, cx.sizeUnit, k, 1);
        pt.yCorrection = AddUnits(pt.yCorrection, half, k, -1);
        break;
    }
    return 0;
}

} // namespace

void SolveNaturalSpline(const double* points, size_t n, double* coefficients)
{
    for (size_t i = 0; i < n; ++i)
        coefficients[i] = 0.0;
    if (n < 3)
        return;
    // Forward elimination of the tridiagonal system (1, 4, 1), then back substitution.
    std::vector<double> diagonal(n, 4.0);
    std::vector<double> right(n, 0.0);
    for (size_t i = 1; i + 1 < n; ++i) {
        right[i] = (points[i + 1] - points[i]) - (points[i] - points[i - 1]);
        if (i > 1) {
            diagonal[i] = 4.0 - 1.0 / diagonal[i - 1];
            right[i] -= right[i - 1] / diagonal[i - 1];
        }
    }
    coefficients[n - 2] = right[n - 2] / diagonal[n - 2];
    for (size_t i = n - 2; i-- > 1;)
        coefficients[i] = (right[i] - coefficients[i + 1]) / diagonal[i];
}

bool ParseSignedInt(const char** cursor, int32_t* value)
{
    const char* p = *cursor;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    int32_t magnitude = 0;
    if (!ReadDigits(&p, &magnitude))
        return false;
    *value = negative ? (magnitude == INT32_MAX ? INT32_MIN : -magnitude) : magnitude;
    *cursor = p;
    return true;
}

bool ParseDecimal(const char** cursor, double* value)
{
    const char* p = *cursor;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!IsDigit(*p))
        return false;
    double v = 0.0;
    for (; IsDigit(*p); ++p)
        v = v * 10.0 + (*p - '0');
    if (*p == '.') {
        ++p;
        double scale = 0.1;
        for (; IsDigit(*p); ++p, scale /= 10.0)
            v += (*p - '0') * scale;
    }
    *value = negative ? -v : v;
    *cursor = p;
    return true;
}

void CSplinePath::Clear()
{
    m_steps.clear();
    m_points = 0;
    m_totalTime = 0;
    m_flag = 0;
    m_coefX.clear();
    m_coefY.clear();
}

const PathStep* CSplinePath::GetPoint(int32_t i) const
{
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint && step.pointIndex == i)
            return &step;
    return nullptr;
}

int CSplinePath::ParseCommands(const char* text, CDrawable* sprite, CScene* scene)
{
    Clear();
    if (!text)
        return 1;
    Context cx;
    if (const int code = ReadContext(sprite, scene, cx); code != 0)
        return code;
    m_startCentreX = cx.centreX;
    m_startCentreY = cx.centreY;
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) < 32 || static_cast<unsigned char>(*p) > 122)
            return 4;

    int32_t duration = static_cast<int32_t>(m_defaultDuration);
    int32_t curX = cx.startX, curY = cx.startY;
    uint64_t total = 0;
    bool spline = false;
    const auto fail = [this](int code) {
        Clear();
        return code;
    };
    const char* p = text;
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        // One group: modifiers gather into a point step until a space or a terminator.
        PathStep point;
        bool havePoint = false;
        const auto flushPoint = [&]() {
            if (!havePoint)
                return;
            point.kind = kPathStepPoint;
            point.pointIndex = m_points++;
            point.value = duration;
            total += static_cast<uint32_t>(duration);
            curX = point.x;
            curY = point.y;
            m_steps.push_back(point);
            havePoint = false;
        };
        const auto startPoint = [&]() {
            if (havePoint)
                return;
            point = PathStep{};
            point.x = curX;
            point.y = curY;
            havePoint = true;
        };
        while (*p && *p != ' ') {
            const char c = *p;
            if (IsModifier(c)) {
                startPoint();
                if (ApplyModifier(&p, cx, point) != 0)
                    return fail(6);
                continue;
            }
            PathStep step;
            if (IsDigit(c)) {
                step.kind = kPathStepDuration;
                ReadDigits(&p, &step.value);
                duration = step.value;
            } else {
                ++p;
                switch (c) {
                case 'A':
                    step.kind = kPathStepValue;
                    ParseDecimal(&p, &step.amount);
                    break;
                case 'F':
                    step.kind = kPathStepForward;
                    m_flag = 1;
                    break;
                case 'B':
                    step.kind = kPathStepBack;
                    m_flag = 2;
                    break;
                case 'S':
                    step.kind = kPathStepSpline;
                    spline = true;
                    break;
                case 'N': step.kind = kPathStepN; break;
                case 'M':
                case 'L': {
                    int32_t unit = c == 'M' ? 25 : 50;
                    ReadDigits(&p, &unit);
                    step.kind = c == 'M' ? kPathStepMoveUnit : kPathStepSizeUnit;
                    step.value = unit;
                    (c == 'M' ? cx.moveUnit : cx.sizeUnit) = unit;
                    break;
                }
                case 'o':
                case 'z': {
                    bool given = false;
                    int32_t a = 0, b = 0;
                    if (ReadPair(&p, true, &given, &a, &b) != 0)
                        return fail(6);
                    if (c == 'o') {
                        cx.centreX = Saturate32(static_cast<int64_t>(cx.centreX) + a);
                        cx.centreY = Saturate32(static_cast<int64_t>(cx.centreY) + b);
                    } else {
                        cx.centreX = given ? a : cx.areaW / 2;
                        cx.centreY = given ? b : cx.areaH / 2;
                    }
                    step.kind = kPathStepCentre;
                    step.value = cx.centreX;
                    step.value2 = cx.centreY;
                    break;
                }
                default:
                    return fail(4);
                }
            }
            flushPoint();
            m_steps.push_back(step);
        }
        flushPoint();
    }
    if (m_steps.empty())
        return fail(5);
    m_totalTime = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    m_centreX = cx.centreX;
    m_centreY = cx.centreY;
    if (spline && m_points >= 3)
        BuildSpline();
    return 0;
}

int32_t CSplinePath::GetFinalPointStep() const
{
    for (size_t i = m_steps.size(); i-- > 0;)
        if (m_steps[i].kind == kPathStepPoint)
            return static_cast<int32_t>(i);
    return -1;
}

bool CSplinePath::HasZoom() const
{
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint && step.zooming)
            return true;
    return false;
}

bool CSplinePath::HasTurn() const
{
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint && step.turning)
            return true;
    return false;
}

double CSplinePath::GetLargestZoom() const
{
    double largest = 1.0;
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint && std::isfinite(step.zoom) && step.zoom > largest)
            largest = step.zoom;
    return largest;
}

int CSplinePath::SetSteps(const PathStep* steps, int32_t count, int32_t points, uint8_t spline)
{
    if (!steps || count < 2)
        return 1;
    Clear();
    m_steps.assign(steps, steps + count);
    m_points = points;
    uint64_t total = 0;
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint)
            total += static_cast<uint32_t>(step.value < 0 ? 0 : step.value);
    m_totalTime = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    if (spline && points >= 3)
        BuildSpline();
    return 0;
}

void CSplinePath::BuildSpline()
{
    std::vector<double> xs(static_cast<size_t>(m_points), 0.0), ys(static_cast<size_t>(m_points), 0.0);
    for (const PathStep& step : m_steps)
        if (step.kind == kPathStepPoint && step.pointIndex >= 0 && step.pointIndex < m_points) {
            xs[static_cast<size_t>(step.pointIndex)] = step.x;
            ys[static_cast<size_t>(step.pointIndex)] = step.y;
        }
    m_coefX.assign(xs.size(), 0.0);
    m_coefY.assign(ys.size(), 0.0);
    SolveNaturalSpline(xs.data(), xs.size(), m_coefX.data());
    SolveNaturalSpline(ys.data(), ys.size(), m_coefY.data());
}

void CSplinePath::EvalLinear(const PathStep& a, const PathStep& b, double t, int32_t* x, int32_t* y)
{
    *x = TruncateToInt32(a.x + (static_cast<double>(b.x) - a.x) * t);
    *y = TruncateToInt32(a.y + (static_cast<double>(b.y) - a.y) * t);
}

void CSplinePath::EvalCubic(int32_t i, const PathStep& a, const PathStep& b, double t, int32_t* x,
                            int32_t* y) const
{
    if (i < 0 || static_cast<size_t>(i) + 1 >= m_coefX.size()) {
        EvalLinear(a, b, t, x, y);
        return;
    }
    const size_t k = static_cast<size_t>(i);
    *x = TruncateToInt32(EvalSplineSegment(a.x, b.x, m_coefX[k], m_coefX[k + 1], t));
    *y = TruncateToInt32(EvalSplineSegment(a.y, b.y, m_coefY[k], m_coefY[k + 1], t));
}

int ApplyPathCommands(const char* text, int32_t* x, int32_t* y, CDrawable* sprite, CScene* scene, uint8_t* opacity,
                      uint8_t* flag, double* zoom, double* rotation, int32_t* centreX, int32_t* centreY)
{
    CSplinePath path;
    const int code = path.ParseCommands(text, sprite, scene);
    if (code != 0)
        return code;
    Context cx;
    ReadContext(sprite, scene, cx);
    const PathStep* last = path.GetPoint(path.GetPointCount() - 1);
    PathStep start;
    start.x = cx.startX;
    start.y = cx.startY;
    if (!last)
        last = &start;
    if (x)
        *x = Saturate32(static_cast<int64_t>(last->x) + last->xCorrection);
    if (y)
        *y = Saturate32(static_cast<int64_t>(last->y) + last->yCorrection);
    if (opacity)
        *opacity = last->opacity;
    if (flag)
        *flag = path.GetFlag();
    if (zoom)
        *zoom = last->zoom;
    if (rotation)
        *rotation = last->rotation;
    if (centreX)
        *centreX = path.GetCentreX();
    if (centreY)
        *centreY = path.GetCentreY();
    return 0;
}
