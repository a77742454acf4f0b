#include "effects/sp_parts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "display/image_object.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effects/eased_time.h"
#include "effects/sp_loop.h"
#include "files/file_stream.h"
#include "raster/image.h"

namespace {

constexpr size_t kMaxLine = 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Up to max numbers separated by blanks and commas; an empty field between two commas counts as
// missing (its flag false). Stops at the first field that is no number.
int ReadNumbers(const char* p, double* values, bool* given, int max)
{
    int n = 0;
    while (n < max) {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0')
            break;
        if (*p == ',') {
            given[n] = false;
            ++n;
            ++p;
            continue;
        }
        double v = 0.0;
        if (!ParseDecimal(&p, &v))
            break;
        values[n] = v;
        given[n] = true;
        ++n;
        while (IsBlank(*p))
            ++p;
        if (*p == ',')
            ++p;
    }
    for (int i = n; i < max; ++i)
        given[i] = false;
    return n;
}

int32_t ToInt(double v)
{
    return TruncateToInt32(v);
}

// The name after "*" or "$": up to a comma, blanks trimmed.
std::string ReadName(const char* p)
{
    while (IsBlank(*p))
        ++p;
    const char* end = p;
    while (*end != '\0' && *end != ',')
        ++end;
    while (end > p && IsBlank(end[-1]))
        --end;
    return std::string(p, end);
}

// The picture of a part: the file at 32 bits, scaled by zoom (then at least 8 × 8). Null on failure.
std::unique_ptr<CImage> LoadPartImage(const std::string& path, double zoom)
{
    auto loaded = std::make_unique<CImage>();
    if (loaded->Load(path.c_str(), nullptr, 0, 0) != 0 || loaded->GetBits() == nullptr ||
        loaded->GetBitsPerPixel() != 32)
        return nullptr;
    if (zoom == 1.0)
        return loaded;
    const double w = std::max(8.0, std::round(loaded->GetWidth() * zoom));
    const double h = std::max(8.0, std::round(loaded->GetHeight() * zoom));
    if (!(w <= kMaxWorkImageSide && h <= kMaxWorkImageSide))
        return nullptr;
    auto scaled = std::make_unique<CImage>();
    const SIZE size{static_cast<LONG>(w), static_cast<LONG>(h)};
    if (scaled->Create(size.cx, size.cy, 32, 0) != 0 || scaled->StretchCopy(loaded.get(), &size, 0, 0, nullptr, false) != 0)
        return nullptr;
    scaled->SetAlphaFlag(loaded->HasAlpha());
    return scaled;
}

// The lines of the text (LF or CR LF); false when one is longer than the list allows.
bool SplitLines(const char* text, size_t size, std::vector<std::string>* lines)
{
    size_t start = 0;
    while (start < size) {
        size_t end = start;
        while (end < size && text[end] != '\n')
            ++end;
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        if (stop - start >= kMaxLine)
            return false;
        std::string line(text + start, stop - start);
        // A NUL ends the line, as the original's C strings do.
        line.resize(std::strlen(line.c_str()));
        lines->push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

// The line without its leading blanks; null for a line to ignore.
const char* Content(const std::string& line)
{
    const char* p = line.c_str();
    while (IsBlank(*p))
        ++p;
    if (*p == '\0' || (p[0] == '/' && p[1] == '/'))
        return nullptr;
    return p;
}

int MakeAnimatedPart(const char* p, const std::string& folder, const PartsListContext& cx, uint32_t priority,
                     SpPart& part)
{
    part.image = LoadPartImage(folder + ReadName(p + 1), cx.zoom);
    if (!part.image)
        return 3;
    part.front.reset(new (std::nothrow) CSprite);
    if (!part.front || part.front->SetImage(part.image.get(), nullptr, cx.offsetX, cx.offsetY) != 0 ||
        cx.scene->GetList().Insert(part.front.get(), priority, 0) != 0)
        return 3;
    part.front->SetDrawMode(1);
    if (cx.backScene != nullptr) {
        part.back.reset(new (std::nothrow) CSprite);
        if (!part.back || part.back->SetImage(part.image.get(), nullptr, cx.offsetX, cx.offsetY) != 0 ||
            cx.backScene->GetList().Insert(part.back.get(), priority, 0) != 0)
            return 3;
        part.back->SetDrawMode(1);
    }
    part.pivotX = part.image->GetWidth() / 2;
    part.pivotY = part.image->GetHeight() / 2;
    return 0;
}

// "$" name, x, y, a (window size), alpha, b (direction), time (period).
int MakeLoopPart(const char* p, const std::string& folder, const PartsListContext& cx, uint32_t priority,
                 SpPart& part)
{
    const std::string name = folder + ReadName(p + 1);
    const char* values = std::strchr(p, ',');
    double v[6] = {0, 0, 0, 255, 0, 2000};
    bool given[6];
    if (values != nullptr)
        ReadNumbers(values + 1, v, given, 6);
    else
        std::fill(std::begin(given), std::end(given), false);
    const double defaults[6] = {0, 0, 0, 255, 0, 2000};
    for (int i = 0; i < 6; ++i)
        if (!given[i])
            v[i] = defaults[i];
    part.frameCount = -1;
    CImageObject* canvases[2] = {cx.canvas, cx.backScene != nullptr ? cx.backCanvas : nullptr};
    CLayerEffect** slots[2] = {&part.frontLoop, &part.backLoop};
    for (int k = 0; k < 2; ++k) {
        if (canvases[k] == nullptr)
            continue;
        auto* loop = new (std::nothrow) CSpLoopEffect;
        if (loop == nullptr)
            return 3;
        if (loop->SetUp(cx.loops, canvases[k], name.c_str(), canvases[k], ToInt(v[0] + cx.offsetX),
                        ToInt(v[1] + cx.offsetY), ToInt(v[2]), ToInt(v[4]), ToInt(v[5]), 0, 0, 0) != 0) {
            if (!cx.loops->Cancel(loop))
                loop->Release();
            return 3;
        }
        *slots[k] = loop;
        loop->SetOwnerSlot(slots[k]);
        loop->SetParams(3, static_cast<int32_t>(priority));
        for (int s = 0; s < 2; ++s)
            if (CSprite* sprite = loop->GetSprite(s))
                sprite->SetAlpha(static_cast<BYTE>(std::clamp(ToInt(v[3]), 0, 255)));
    }
    return 0;
}

// One frame line of a part: 0 or the load error.
int ReadFrame(const char* p, SpPart& part, const PartsListContext& cx)
{
    const char c = *p;
    const bool command = std::strchr("abcflst", c) != nullptr;
    if (!command) {
        double v[5] = {0, 0, 255, 1.0, 0};
        bool given[5];
        if (ReadNumbers(p, v, given, 5) < 2 || !given[0] || !given[1])
            return 5; // not a point: no part can read it
        PathStep point;
        point.kind = kPathStepPoint;
        point.x = TruncateToInt32(v[0] + cx.offsetX);
        point.y = TruncateToInt32(v[1] + cx.offsetY);
        point.opacity = static_cast<uint8_t>(given[2] ? std::clamp(ToInt(v[2]), 0, 255) : 255);
        point.zoom = given[3] && v[3] != 0.0 && std::isfinite(v[3]) ? v[3] : 1.0;
        point.rotation = given[4] ? v[4] : 0.0;
        point.zooming = point.zoom != 1.0;
        point.turning = point.rotation != 0.0;
        point.widthChange = part.swing[0];
        point.heightChange = part.swing[1];
        point.xCorrection = part.swing[2];
        point.yCorrection = part.swing[3];
        point.pointIndex = part.points++;
        part.largestZoom = std::max(part.largestZoom, point.zoom);
        part.turns |= point.turning;
        if (point.pointIndex == 0) {
            part.front->SetPosition(point.x, point.y);
            part.front->SetRotationPivot(-1, part.pivotX, part.pivotY);
            part.front->SetAlpha(point.opacity);
            if (part.back)
                part.back->ShareFrom(part.front.get());
        }
        part.frames.push_back(point);
        return 0;
    }
    if (c == 'l') {
        double v[4] = {0, 0, 0, 0};
        bool given[4];
        ReadNumbers(p + 1, v, given, 4);
        for (int i = 0; i < 4; ++i)
            part.swing[i] = given[i] ? ToInt(v[i]) : 0;
        return 0;
    }
    if (part.points == 0)
        return 10;
    PathStep step;
    step.pointIndex = -1;
    double v[2] = {0, 0};
    bool given[2];
    const int n = ReadNumbers(p + 1, v, given, 2);
    switch (c) {
    case 'a':
        step.kind = kPathStepValue;
        step.opacity = n > 0 ? 1 : 0;
        step.amount = given[0] && std::isfinite(v[0]) ? v[0] : 0.0;
        step.zoom = given[1] ? v[1] : 0.0; // the pair's second value, kept
        break;
    case 'b':
        step.kind = kPathStepBack;
        part.motion = 2;
        break;
    case 'f':
        step.kind = kPathStepForward;
        part.motion = 1;
        break;
    case 'c':
        step.kind = kPathStepCentre;
        step.value = given[0] ? ToInt(v[0]) : part.pivotX;
        step.value2 = given[1] ? ToInt(v[1]) : part.pivotY;
        break;
    case 's':
        if (n == 0 || !given[0] || v[0] != 0.0) {
            step.kind = kPathStepSpline;
            part.loopFrames = 1;
            part.spline = 1;
        } else {
            step.kind = kPathStepN;
        }
        break;
    case 't':
        if (!given[0])
            return 8;
        if (ToInt(v[0]) <= 0)
            return 9;
        step.kind = kPathStepDuration;
        step.value = ToInt(v[0]);
        break;
    default: break;
    }
    part.commands = 1;
    part.frames.push_back(step);
    return 0;
}

} // namespace

int CSpPartObject::SetUpFrames(CDrawable* sprite, uint32_t step, const PathStep* frames, int32_t count, int32_t points,
                               bool loop)
{
    if (sprite == nullptr || sprite->GetKind() != kDrawableSprite)
        return 1;
    m_sprite = sprite;
    bool spline = false;
    for (int32_t i = 0; frames != nullptr && i < count; ++i)
        spline = spline || frames[i].kind == kPathStepSpline;
    if (m_path.SetSteps(frames, count, points, spline ? 1 : 0) != 0 || frames[0].kind != kPathStepPoint ||
        !StartList(frames[0], loop, step))
        return 2;
    // The part starts on its first point.
    m_next = 1;
    m_fromPoint = frames[0].pointIndex;
    m_values[0] = m_values[1] = 1;
    auto* image = static_cast<CSprite*>(sprite);
    if (m_path.HasZoom() || m_path.HasTurn()) {
        if (image->IsRotated() || image->CreateRotationWorkImage(m_path.GetLargestZoom()) == 0) {
            m_rotating = 1;
            image->SetRotateZoom(TruncateToInt32(frames[0].rotation / 360.0 * 512.0), frames[0].zoom);
        }
    }
    return 0;
}

inline bool CSpPartObject::PlaceWithinStepHere(uint32_t now, Placing* out)
{
    const uint32_t u = ElapsedSinceFirstStep(now, m_start, m_started) - m_base;
    if (m_target < 0 || u >= m_duration || m_rotating)
        return false;
    const PathStep& from = m_from;
    const PathStep& to = m_path.GetSteps()[static_cast<size_t>(m_target)];
    // The plain power curve, the lists' usual one, is u / d.
    const double f = m_curve != 0 && m_acceleration == 0.0 && m_duration >= 2
                         ? static_cast<double>(u) / m_duration
                         : Factor(u);
    const auto& cx = m_path.GetCoefficientsX();
    const auto& cy = m_path.GetCoefficientsY();
    const int32_t k = from.pointIndex;
    if (to.widthChange != 0 || to.heightChange != 0) {
        PositionAt(from, to, f, &out->x, &out->y);
    } else if (m_spline && k >= 0 && to.pointIndex == k + 1 && static_cast<size_t>(k) + 1 < cx.size() &&
               static_cast<size_t>(k) + 1 < cy.size()) {
        out->x = TruncateToInt32(EvalSplineSegment(from.x, to.x, cx[size_t(k)], cx[size_t(k) + 1], f));
        out->y = TruncateToInt32(EvalSplineSegment(from.y, to.y, cy[size_t(k)], cy[size_t(k) + 1], f));
    } else {
        out->x = TruncateToInt32(from.x + (static_cast<double>(to.x) - from.x) * f);
        out->y = TruncateToInt32(from.y + (static_cast<double>(to.y) - from.y) * f);
    }
    out->alpha = static_cast<BYTE>(from.opacity + TruncateToInt32((to.opacity - from.opacity) * f));
    return true;
}

bool CSpPartObject::PlaceWithinStep(uint32_t now, Placing* out)
{
    return PlaceWithinStepHere(now, out);
}

int ReadPartsList(const char* text, size_t size, const std::string& folder, const PartsListContext& cx,
                  std::vector<std::unique_ptr<SpPart>>* parts)
{
    parts->clear();
    if (cx.scene == nullptr)
        return 1;
    std::vector<std::string> lines;
    if (text == nullptr || !SplitLines(text, size, &lines))
        return 2;
    const auto fail = [&](int code) {
        // Loop parts first: their slots live in the parts.
        if (cx.loops != nullptr)
            cx.loops->CancelAll();
        parts->clear();
        return code;
    };
    // Pass 1: the parts.
    uint32_t priority = cx.basePriority;
    bool skipping = false;
    for (const std::string& line : lines) {
        const char* p = Content(line);
        if (p == nullptr)
            continue;
        if (p[0] == '#') {
            if (p[1] == 's')
                skipping = !cx.blocks;
            else if (p[1] == 'e')
                skipping = false;
            continue;
        }
        if (skipping || (p[0] != '*' && p[0] != '$'))
            continue;
        auto part = std::make_unique<SpPart>();
        part->priority = --priority;
        const int code = p[0] == '*' ? MakeAnimatedPart(p, folder, cx, priority, *part)
                                     : MakeLoopPart(p, folder, cx, priority, *part);
        parts->push_back(std::move(part));
        if (code != 0)
            return fail(code);
    }
    if (parts->empty())
        return fail(6);
    // Pass 2: the frames of the animated parts.
    SpPart* part = nullptr;
    bool seenPart = false;
    size_t next = 0;
    skipping = false;
    for (const std::string& line : lines) {
        const char* p = Content(line);
        if (p == nullptr)
            continue;
        if (p[0] == '#') {
            if (p[1] == 's')
                skipping = !cx.blocks;
            else if (p[1] == 'e')
                skipping = false;
            else if (p[1] == 'n' && part != nullptr)
                part->skipFrames = 1;
            continue;
        }
        if (skipping)
            continue;
        if (p[0] == '*' || p[0] == '$') {
            seenPart = true;
            part = (*parts)[next++].get();
            continue;
        }
        if (!seenPart) {
            const bool point = std::strchr("abcflst", p[0]) == nullptr;
            return fail(point ? 5 : 4);
        }
        if (part->frameCount < 0 || part->skipFrames)
            continue; // loop parts take no frames
        if (const int code = ReadFrame(p, *part, cx); code != 0)
            return fail(code);
    }
    for (auto& each : *parts) {
        if (each->frameCount < 0)
            continue;
        if (each->commands && each->points == 0)
            return fail(7);
        if (each->frames.size() < 2)
            each->frames.clear();
        each->frameCount = static_cast<int32_t>(each->frames.size());
    }
    return 0;
}

CPluginEffect* CSpPartsEffect::Create(DWORD)
{
    return new (std::nothrow) CSpPartsEffect;
}

CSpPartsEffect::~CSpPartsEffect()
{
    // The loop objects clear their slots in the parts, so they go first.
    m_loops.CancelAll();
    m_objects.clear();
    m_parts.clear();
}

int CSpPartsEffect::LoadPartsList(const char* name, const PartsListContext& context)
{
    if (context.scene == nullptr)
        return 1;
    CFileStream file;
    if (name == nullptr || file.OpenInMemory(name) != 0 || file.GetBuffer() == nullptr)
        return 2;
    std::string folder = name;
    const size_t slash = folder.find_last_of("\\/");
    folder.resize(slash == std::string::npos ? 0 : slash + 1);
    return ReadPartsList(static_cast<const char*>(file.GetBuffer()), file.GetSize(), folder, context, &m_parts);
}

int CSpPartsEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    const char* name = args.TextAt(0);
    if (manager == nullptr || target == nullptr || target->GetScene() == nullptr || name == nullptr || *name == '\0')
        return 1;
    m_target = target;
    if (args.IntAt(8) != 0) {
        m_back = target->GetBackCanvas();
        if (m_back == nullptr || m_back->GetImage() == nullptr || m_back->GetImage()->GetBits() == nullptr ||
            m_back->GetScene() == nullptr)
            return 2;
        m_showFront = args.IntAt(9) != 0;
        m_showBack = args.IntAt(10) != 0;
    }
    PartsListContext cx;
    cx.scene = target->GetScene();
    cx.backScene = m_back != nullptr ? m_back->GetScene() : nullptr;
    if (args.IntAt(7) != 0) {
        // Own scenes: the parts are composed apart and drawn over the pages' pictures.
        m_ownFront.reset(new (std::nothrow) CScene);
        if (!m_ownFront || m_ownFront->SetTarget(target->GetImage(), false) != 0)
            return 4;
        m_ownFront->SetNoBackground(true);
        cx.scene = m_ownFront.get();
        if (m_back != nullptr) {
            m_ownBack.reset(new (std::nothrow) CScene);
            if (!m_ownBack || m_ownBack->SetTarget(m_back->GetImage(), false) != 0)
                return 4;
            m_ownBack->SetNoBackground(true);
            cx.backScene = m_ownBack.get();
        }
    }
    cx.canvas = target;
    cx.backCanvas = m_back;
    cx.loops = &m_loops;
    double zoom = 1.0;
    if (!args.GetDouble(5, &zoom) || !std::isfinite(zoom) || zoom <= 0.0)
        zoom = 1.0;
    cx.zoom = zoom;
    cx.offsetX = args.IntAt(1);
    cx.offsetY = args.IntAt(2);
    cx.basePriority = static_cast<uint32_t>(args.IntAt(3));
    cx.blocks = args.IntAt(4) != 0;
    if (LoadPartsList(name, cx) != 0)
        return 3;
    const auto count = static_cast<uint32_t>(m_parts.size());
    g_spPriorityLow = cx.basePriority - count;
    g_spPriorityHigh = cx.basePriority;
    m_states.assign(m_parts.size(), 1);
    m_objects.resize(m_parts.size());
    m_placings.assign(m_parts.size(), CSpPartObject::Placing{});
    m_placed.assign(m_parts.size(), 0);
    for (size_t i = 0; i < m_parts.size(); ++i) {
        SpPart& part = *m_parts[i];
        if (part.frameCount < 0) {
            m_states[i] = 3;
        } else if (part.frameCount == 0) {
            m_states[i] = 2;
        } else {
            m_objects[i].reset(new (std::nothrow) CSpPartObject);
            if (!m_objects[i] || m_objects[i]->SetUpFrames(part.front.get(), 1000, part.frames.data(), part.frameCount,
                                                           part.points, part.loopFrames != 0) != 0)
                return 4;
        }
        ShowPart(i, m_showFront, m_showBack);
    }
    if (manager->Add(this, 0, 0, 0) != 0)
        return 5;
    if (args.IntAt(6) != 0)
        BeginBusy();
    return 0;
}

void CSpPartsEffect::ShowPart(size_t i, bool front, bool back)
{
    SpPart& part = *m_parts[i];
    if (m_states[i] == 3) {
        if (part.frontLoop != nullptr)
            part.frontLoop->SetParams(1, front ? 1 : 0);
        if (part.backLoop != nullptr)
            part.backLoop->SetParams(1, back ? 1 : 0);
        return;
    }
    if (part.front)
        part.front->SetVisible(front);
    if (part.back)
        part.back->SetVisible(back);
}

void CSpPartsEffect::RedrawOwnScenes()
{
    if (m_ownFront && m_showFront)
        m_ownFront->Redraw(nullptr, nullptr, 0, 0);
    if (m_ownBack && m_showBack)
        m_ownBack->Redraw(nullptr, nullptr, 0, 0);
}

int32_t CSpPartsEffect::Step(uint32_t now)
{
    bool running = false;
    m_loops.RunDue(now);
    // The placings first, all together (independent sums the processor overlaps), then applied.
    for (size_t i = 0; i < m_parts.size(); ++i)
        m_placed[i] = m_states[i] == 1 && m_objects[i]->PlaceWithinStepHere(now, &m_placings[i]);
    for (size_t i = 0; i < m_parts.size(); ++i) {
        SpPart& part = *m_parts[i];
        if (m_states[i] == 3) {
            running = running || part.frontLoop != nullptr || part.backLoop != nullptr;
            continue;
        }
        if (m_states[i] != 1)
            continue;
        if (m_placed[i]) {
            // SetUpFrames took only sprites.
            const CSpPartObject::Placing& at = m_placings[i];
            part.front->PlaceAndFade(at.x, at.y, at.alpha);
        } else if (m_objects[i]->Step(now) != 0) {
            part.front->SetVisible(false);
            if (part.back)
                part.back->SetVisible(false);
            m_states[i] = 0;
            continue;
        }
        running = true;
        if (part.back && part.mirrored) {
            RECT a{}, b{};
            part.front->GetScreenRect(&a);
            part.back->GetScreenRect(&b);
            const bool show = m_showBack && part.front->IsVisible();
            if (!SameRect(a, b) || part.back->GetAlpha() != part.front->GetAlpha() ||
                part.back->GetAngle() != part.front->GetAngle() || part.back->GetZoom() != part.front->GetZoom())
                part.back->ShareFrom(part.front.get());
            if (part.back->IsVisible() != show)
                part.back->SetVisible(show);
        }
    }
    if (running)
        RedrawOwnScenes();
    return running ? 0 : 1;
}

void CSpPartsEffect::OnCancel()
{
    for (size_t i = 0; i < m_parts.size(); ++i) {
        if (m_states[i] == 1) {
            m_objects[i]->Complete();
            m_parts[i]->front->SetVisible(false);
            if (m_parts[i]->back)
                m_parts[i]->back->SetVisible(false);
            m_states[i] = 0;
        }
    }
    m_loops.CancelAll();
}

int CSpPartsEffect::SetParamsV(const CEffectArgs& args)
{
    switch (args.IntAt(0, -1)) {
    case 0:
        for (size_t i = 0; i < m_parts.size(); ++i) {
            if (m_states[i] == 1)
                m_objects[i]->StopAtCycleEnd();
            if (m_states[i] == 3) {
                if (m_parts[i]->frontLoop != nullptr)
                    m_parts[i]->frontLoop->SetParams(0);
                if (m_parts[i]->backLoop != nullptr)
                    m_parts[i]->backLoop->SetParams(0);
            }
        }
        return 0;
    case 1: {
        if (m_back == nullptr)
            return 2;
        if (m_parts.empty())
            return 1;
        // After the pages swapped the first part's sprite lies in the back page's list.
        const SpPart& first = *m_parts[0];
        const CDrawList* list = first.front ? first.front->GetOwnerList() : nullptr;
        const bool swapped = list != nullptr && list->GetScene() == m_back->GetScene();
        m_showFront = (swapped ? args.IntAt(2) : args.IntAt(1)) != 0;
        m_showBack = (swapped ? args.IntAt(1) : args.IntAt(2)) != 0;
        for (size_t i = 0; i < m_parts.size(); ++i)
            if (m_parts[i]->mirrored && m_states[i] != 0)
                ShowPart(i, m_showFront, m_showBack);
        RedrawOwnScenes();
        return 0;
    }
    case 2: {
        const int32_t n = args.IntAt(1, -1);
        if (n < 0 || static_cast<size_t>(n) >= m_parts.size())
            return 1;
        if (m_states[static_cast<size_t>(n)] == 0)
            return 0;
        const bool on = args.IntAt(2) != 0;
        m_parts[static_cast<size_t>(n)]->mirrored = on;
        ShowPart(static_cast<size_t>(n), m_showFront && on, m_back != nullptr && m_showBack && on);
        return 0;
    }
    default:
        return 1;
    }
}
