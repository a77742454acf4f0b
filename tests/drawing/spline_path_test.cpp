// Spline paths: every result code of the command strings as one table, the final states of
// ApplyPathCommands, the limits (20 digits, summed durations, thousands of groups), and the
// natural spline against a reference solved here by general elimination in long double.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "drawing/scene.h"
#include "drawing/spline_path.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"

namespace {

// A 640×480 scene with a 100×50 background picture at (10, 20), and a 40×30 sprite at (7, 9) in it.
class SplinePathTest : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        ASSERT_EQ(target.Create(640, 480, 32, 0), 0);
        ASSERT_EQ(background.Create(100, 50, 32, 0), 0);
        ASSERT_EQ(picture.Create(40, 30, 32, 0), 0);
        ASSERT_EQ(scene.SetTarget(&target, false), 0);
        ASSERT_TRUE(scene.SetBackgroundImage(&background, 10, 20, false));
        ASSERT_EQ(sprite.SetImage(&picture, nullptr, 7, 9), 0);
        ASSERT_EQ(scene.GetList().Insert(&sprite, 1, 0), 0);
    }

    CImage target, background, picture;
    CScene scene;
    CSprite sprite;
};

TEST_F(SplinePathTest, ResultCodes)
{
    CScene bare; // no target
    CImage bareTarget;
    ASSERT_EQ(bareTarget.Create(16, 16, 32, 0), 0);
    CScene noBackground;
    ASSERT_EQ(noBackground.SetTarget(&bareTarget, false), 0);
    CSprite loose;
    ASSERT_EQ(loose.SetImage(&picture, nullptr, 0, 0), 0);

    struct Case {
        const char* name;
        const char* text;
        CDrawable* sprite;
        CScene* scene;
        int code;
    };
    const Case cases[] = {
        {"null text", nullptr, nullptr, &scene, 1},
        {"no target", "c", nullptr, nullptr, 1},
        {"scene without target", "c", nullptr, &bare, 1},
        {"sprite in no list", "c", &loose, nullptr, 1},
        {"scene without background", "c", nullptr, &noBackground, 3},
        {"number sign", "c #", nullptr, &scene, 4},
        {"control character", "c\x01", nullptr, &scene, 4},
        {"Shift-JIS pair", "c \x82\xa0", nullptr, &scene, 4},
        {"above z", "c {", nullptr, &scene, 4},
        {"letter outside the language", "a", nullptr, &scene, 4},
        {"lone comma", ",", nullptr, &scene, 4},
        {"empty", "", nullptr, &scene, 5},
        {"spaces only", "    ", nullptr, &scene, 5},
        {"P without numbers", "P", nullptr, &scene, 6},
        {"P without comma", "P5", nullptr, &scene, 6},
        {"P without second number", "P5,", nullptr, &scene, 6},
        {"p without first number", "p,3", nullptr, &scene, 6},
        {"o half pair", "o5", nullptr, &scene, 6},
        {"z half pair", "z5,x", nullptr, &scene, 6},
        {"centre and duration", "c 1000", nullptr, &scene, 0},
        {"every command", "!l!r!c!u!d!i <>-+[]$_^% P1,2 p-3,4 u d i c r l Z2.5 R-30.5 O7 A-1.5 B F S N M L o z "
                          "12 o1,2 z3,4 M5 L6",
         nullptr, &scene, 0},
        {"sprite target", "c r d 10", &sprite, nullptr, 0},
    };
    for (const Case& c : cases) {
        CSplinePath path;
        EXPECT_EQ(path.ParseCommands(c.text, c.sprite, c.scene), c.code) << c.name;
        if (c.code != 0) {
            EXPECT_TRUE(path.GetSteps().empty()) << c.name;
        }
    }
    scene.SetSuspended(true);
    CSplinePath path;
    EXPECT_EQ(path.ParseCommands("c", nullptr, &scene), 2);
    scene.SetSuspended(false);
    // A failure after a success leaves the table empty again.
    ASSERT_EQ(path.ParseCommands("c 100", nullptr, &scene), 0);
    EXPECT_EQ(path.ParseCommands("c #", nullptr, &scene), 4);
    EXPECT_TRUE(path.GetSteps().empty());
    EXPECT_EQ(path.GetPointCount(), 0);
}

TEST_F(SplinePathTest, StepsOfTheExamples)
{
    CSplinePath path;
    ASSERT_EQ(path.ParseCommands("c 1000", nullptr, &scene), 0);
    ASSERT_EQ(path.GetSteps().size(), 2u);
    EXPECT_EQ(path.GetSteps()[0].kind, kPathStepPoint);
    EXPECT_EQ(path.GetSteps()[0].x, 270); // (640 - 100) / 2
    EXPECT_EQ(path.GetSteps()[0].y, 215); // (480 - 50) / 2
    EXPECT_EQ(path.GetSteps()[1].kind, kPathStepDuration);
    EXPECT_EQ(path.GetSteps()[1].value, 1000);

    // From beyond the left edge to the centre: each point takes the duration current at it.
    ASSERT_EQ(path.ParseCommands("!l 500 c 500", nullptr, &scene), 0);
    ASSERT_EQ(path.GetPointCount(), 2);
    EXPECT_EQ(path.GetPoint(0)->x, -640);
    EXPECT_EQ(path.GetPoint(0)->y, 20);
    EXPECT_EQ(path.GetPoint(1)->x, 270);
    EXPECT_EQ(path.GetPoint(1)->value, 500);
    EXPECT_EQ(path.GetTotalTime(), 1500u);

    ASSERT_EQ(path.ParseCommands("M10 >>> 300", nullptr, &scene), 0);
    ASSERT_EQ(path.GetSteps().size(), 3u);
    EXPECT_EQ(path.GetSteps()[0].kind, kPathStepMoveUnit);
    EXPECT_EQ(path.GetSteps()[0].value, 10);
    EXPECT_EQ(path.GetPoint(0)->x, 10 + 30);
    EXPECT_EQ(path.GetSteps()[2].value, 300);

    // A terminator inside a group ends the point step; modifiers after it start the next.
    ASSERT_EQ(path.ParseCommands(">200<", nullptr, &scene), 0);
    ASSERT_EQ(path.GetSteps().size(), 1u); // ">200" is one modifier with its count, "<" follows
    EXPECT_EQ(path.GetPoint(0)->x, 10 + 25 * 200 - 25);
    ASSERT_EQ(path.ParseCommands("> 200 <F", nullptr, &scene), 0);
    ASSERT_EQ(path.GetSteps().size(), 4u);
    EXPECT_EQ(path.GetPoint(1)->x, 10);
    EXPECT_EQ(path.GetPoint(1)->value, 200);
    EXPECT_EQ(path.GetSteps()[3].kind, kPathStepForward);
    EXPECT_EQ(path.GetFlag(), 1);

    // Size modifiers start afresh in every group; the position carries over.
    ASSERT_EQ(path.ParseCommands("L10 [2^ $%3 ]_", nullptr, &scene), 0);
    const PathStep* a = path.GetPoint(0);
    EXPECT_EQ(a->widthChange, 20);
    EXPECT_EQ(a->xCorrection, -20);
    EXPECT_EQ(a->heightChange, 10);
    EXPECT_EQ(a->yCorrection, -10);
    const PathStep* b = path.GetPoint(1);
    EXPECT_EQ(b->widthChange, 10);
    EXPECT_EQ(b->xCorrection, -5);
    EXPECT_EQ(b->heightChange, 30);
    EXPECT_EQ(b->yCorrection, -15);
    const PathStep* c = path.GetPoint(2);
    EXPECT_EQ(c->widthChange, 10);
    EXPECT_EQ(c->heightChange, 10);
    EXPECT_EQ(c->xCorrection, 0);
}

TEST_F(SplinePathTest, FinalStates)
{
    struct Case {
        const char* text;
        bool onSprite;
        int32_t x, y;
        uint8_t opacity, flag;
        double zoom, rotation;
        int32_t cx, cy;
    };
    const Case cases[] = {
        {"!l 500 c 500", false, 270, 215, 255, 0, 1.0, 0.0, 320, 240},
        {"P5,6Z2R-45.5O100 F", false, 5, 6, 100, 1, 2.0, -45.5, 320, 240},
        {"p-5,6 B", false, 5, 26, 255, 2, 1.0, 0.0, 320, 240},
        {"O999 z100,50 o5,-5", false, 10, 20, 255, 0, 1.0, 0.0, 105, 45},
        {"z1,2 z", false, 10, 20, 255, 0, 1.0, 0.0, 320, 240},
        {"L10 [2", false, -10, 20, 255, 0, 1.0, 0.0, 320, 240},
        {"d", false, 10, 430, 255, 0, 1.0, 0.0, 320, 240},
        {"r i", false, 540, -215, 255, 0, 1.0, 0.0, 320, 240},
        {"!u", false, 10, -480, 255, 0, 1.0, 0.0, 320, 240},
        {"!c", false, 10, 50, 255, 0, 1.0, 0.0, 320, 240},
        {"c", true, 7, 9, 255, 0, 1.0, 0.0, 320, 240},
        {"r", true, 17, 9, 255, 0, 1.0, 0.0, 320, 240},
        {"d", true, 7, -450, 255, 0, 1.0, 0.0, 320, 240},
        {"!r", true, 40, 9, 255, 0, 1.0, 0.0, 320, 240},
        {"N A2.5 S 300", true, 7, 9, 255, 0, 1.0, 0.0, 320, 240},
    };
    for (const Case& c : cases) {
        int32_t x = -1, y = -1, cx = -1, cy = -1;
        uint8_t opacity = 0, flag = 9;
        double zoom = 0, rotation = 9;
        ASSERT_EQ(ApplyPathCommands(c.text, &x, &y, c.onSprite ? &sprite : nullptr, c.onSprite ? nullptr : &scene,
                                    &opacity, &flag, &zoom, &rotation, &cx, &cy),
                  0)
            << c.text;
        EXPECT_EQ(x, c.x) << c.text;
        EXPECT_EQ(y, c.y) << c.text;
        EXPECT_EQ(opacity, c.opacity) << c.text;
        EXPECT_EQ(flag, c.flag) << c.text;
        EXPECT_EQ(zoom, c.zoom) << c.text;
        EXPECT_EQ(rotation, c.rotation) << c.text;
        EXPECT_EQ(cx, c.cx) << c.text;
        EXPECT_EQ(cy, c.cy) << c.text;
    }
    EXPECT_EQ(ApplyPathCommands("#", nullptr, nullptr, nullptr, &scene, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr),
              4);
}

TEST_F(SplinePathTest, LimitsSaturate)
{
    CSplinePath path;
    ASSERT_EQ(path.ParseCommands("P99999999999999999999,-99999999999999999999", nullptr, &scene), 0);
    EXPECT_EQ(path.GetPoint(0)->x, INT32_MAX);
    EXPECT_EQ(path.GetPoint(0)->y, INT32_MIN);
    ASSERT_EQ(path.ParseCommands("M99999999999999999999 >99999999999999999999 >", nullptr, &scene), 0);
    EXPECT_EQ(path.GetPoint(0)->x, INT32_MAX);
    EXPECT_EQ(path.GetPoint(1)->x, INT32_MAX);
    ASSERT_EQ(path.ParseCommands("4000000000 > > >", nullptr, &scene), 0);
    EXPECT_EQ(path.GetSteps()[0].value, INT32_MAX);
    EXPECT_EQ(path.GetTotalTime(), UINT32_MAX);

    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += i % 2 ? "> " : "+ ";
    ASSERT_EQ(path.ParseCommands(many.c_str(), nullptr, &scene), 0);
    EXPECT_EQ(path.GetPointCount(), 5000);
    EXPECT_EQ(path.GetTotalTime(), 5000u * 1000u);
}

TEST(ParseNumbers, SignedIntAndDecimal)
{
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
        int consumed;
    };
    const Case ints[] = {{"12x", true, 12, 2}, {"-7", true, -7, 2}, {"+3", true, 3, 2}, {"-x", false, 0, 0},
                         {"+", false, 0, 0},   {"", false, 0, 0},   {"99999999999", true, INT32_MAX, 11}};
    for (const Case& c : ints) {
        const char* p = c.text;
        int32_t v = 0;
        EXPECT_EQ(ParseSignedInt(&p, &v), c.ok) << c.text;
        EXPECT_EQ(p - c.text, c.consumed) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    const char* p = "-2.25,";
    double d = 0;
    ASSERT_TRUE(ParseDecimal(&p, &d));
    EXPECT_EQ(d, -2.25);
    EXPECT_EQ(*p, ',');
    p = ".5";
    EXPECT_FALSE(ParseDecimal(&p, &d));
}

// The reference: the (n-2)×(n-2) system solved by Gaussian elimination with partial pivoting.
std::vector<long double> ReferenceCoefficients(const std::vector<int32_t>& p)
{
    const size_t n = p.size();
    const size_t m = n - 2;
    std::vector<std::vector<long double>> a(m, std::vector<long double>(m + 1, 0.0L));
    for (size_t r = 0; r < m; ++r) {
        const size_t i = r + 1;
        if (r > 0)
            a[r][r - 1] = 1;
        a[r][r] = 4;
        if (r + 1 < m)
            a[r][r + 1] = 1;
        a[r][m] = static_cast<long double>(p[i + 1]) - 2.0L * p[i] + p[i - 1];
    }
    for (size_t col = 0; col < m; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < m; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        std::swap(a[col], a[pivot]);
        for (size_t r = 0; r < m; ++r) {
            if (r == col)
                continue;
            const long double f = a[r][col] / a[col][col];
            for (size_t k = col; k <= m; ++k)
                a[r][k] -= f * a[col][k];
        }
    }
    std::vector<long double> mm(n, 0.0L);
    for (size_t r = 0; r < m; ++r)
        mm[r + 1] = a[r][m] / a[r][r];
    return mm;
}

long double ReferenceCurve(long double a, long double b, long double mi, long double mi1, long double u)
{
    return a + u * ((b - a) - (2 * mi + mi1) + u * (3 * mi + u * (mi1 - mi)));
}

TEST(SplineCurve, MatchesTheReferenceAndJoinsSmoothly)
{
    std::mt19937 random(25);
    for (int round = 0; round < 60; ++round) {
        const size_t n = 3 + random() % 48;
        std::vector<PathStep> steps(n);
        std::vector<int32_t> xs(n), ys(n);
        for (size_t i = 0; i < n; ++i) {
            steps[i].kind = kPathStepPoint;
            steps[i].pointIndex = static_cast<int32_t>(i);
            steps[i].x = xs[i] = static_cast<int32_t>(random() % 4001) - 2000;
            steps[i].y = ys[i] = static_cast<int32_t>(random() % 4001) - 2000;
        }
        CSplinePath path;
        ASSERT_EQ(path.SetSteps(steps.data(), static_cast<int32_t>(n), static_cast<int32_t>(n), 1), 0);
        ASSERT_TRUE(path.HasSpline());
        const auto mx = ReferenceCoefficients(xs);
        const auto my = ReferenceCoefficients(ys);
        for (int k = 0; k < 40; ++k) {
            const size_t i = random() % (n - 1);
            const double t = (random() % 10001) / 10000.0;
            int32_t x = 0, y = 0;
            path.EvalCubic(static_cast<int32_t>(i), steps[i], steps[i + 1], t, &x, &y);
            const long double rx = ReferenceCurve(xs[i], xs[i + 1], mx[i], mx[i + 1], t);
            const long double ry = ReferenceCurve(ys[i], ys[i + 1], my[i], my[i + 1], t);
            if (std::fabs(rx - std::round(rx)) > 1e-9L) {
                EXPECT_EQ(x, static_cast<int32_t>(rx)) << "n " << n << " i " << i << " t " << t;
            }
            if (std::fabs(ry - std::round(ry)) > 1e-9L) {
                EXPECT_EQ(y, static_cast<int32_t>(ry)) << "n " << n << " i " << i << " t " << t;
            }
        }
        // Through every point, with matching slope and curvature at the joints.
        const auto& c = path.GetCoefficientsX();
        const double h = 1e-4;
        for (size_t i = 0; i + 1 < n; ++i) {
            EXPECT_NEAR(EvalSplineSegment(xs[i], xs[i + 1], c[i], c[i + 1], 0.0), xs[i], 1e-9);
            EXPECT_NEAR(EvalSplineSegment(xs[i], xs[i + 1], c[i], c[i + 1], 1.0), xs[i + 1], 1e-6);
            if (i + 2 >= n)
                continue;
            const auto left = [&](double u) { return EvalSplineSegment(xs[i], xs[i + 1], c[i], c[i + 1], u); };
            const auto right = [&](double u) {
                return EvalSplineSegment(xs[i + 1], xs[i + 2], c[i + 1], c[i + 2], u);
            };
            // One-sided differences of second order.
            const double slopeL = (3 * left(1.0) - 4 * left(1.0 - h) + left(1.0 - 2 * h)) / (2 * h);
            const double slopeR = (-3 * right(0.0) + 4 * right(h) - right(2 * h)) / (2 * h);
            EXPECT_NEAR(slopeL, slopeR, 1e-2);
            const double curveL = (left(1.0) - 2 * left(1.0 - h) + left(1.0 - 2 * h)) / (h * h);
            const double curveR = (right(2 * h) - 2 * right(h) + right(0.0)) / (h * h);
            EXPECT_NEAR(curveL, curveR, std::max(5.0, 1e-2 * std::fabs(curveL)));
        }
        // The natural ends.
        EXPECT_EQ(c.front(), 0.0);
        EXPECT_EQ(c.back(), 0.0);
    }
    CSplinePath path;
    PathStep one;
    EXPECT_EQ(path.SetSteps(&one, 1, 1, 1), 1);
    EXPECT_EQ(path.SetSteps(nullptr, 5, 5, 1), 1);
}

TEST_F(SplinePathTest, SplineStepSmoothsThreeOrMorePoints)
{
    CSplinePath path;
    ASSERT_EQ(path.ParseCommands("P0,0 P100,0 S", nullptr, &scene), 0);
    EXPECT_FALSE(path.HasSpline());
    ASSERT_EQ(path.ParseCommands("P0,0 P100,100 P200,0 S", nullptr, &scene), 0);
    ASSERT_TRUE(path.HasSpline());
    int32_t x = 0, y = 0;
    path.EvalCubic(0, *path.GetPoint(0), *path.GetPoint(1), 0.5, &x, &y);
    // The curve bulges past the straight line's midpoint (50, 50) towards the peak.
    EXPECT_GT(y, 50);
    CSplinePath::EvalLinear(*path.GetPoint(0), *path.GetPoint(1), 0.5, &x, &y);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 50);
}

} // namespace
