// CMonitorList over configured displays of the headless host.
#include <gtest/gtest.h>

#include "platform/monitor_list.h"
#include "winapi/host_headless.h"

namespace {

winapi::DisplayInfo Display(int index, RECT bounds, RECT work, const char* adapter)
{
    winapi::DisplayInfo display;
    display.bounds = bounds;
    display.work = work;
    display.deviceName = "\\\\.\\DISPLAY" + std::to_string(index + 1);
    display.adapter = adapter;
    display.primary = index == 0;
    display.refreshHz = index == 0 ? 75 : 1;
    return display;
}

void SetDisplays(std::vector<winapi::DisplayInfo> displays)
{
    winapi::CurrentHeadlessHost()->SetDisplays(std::move(displays));
}

TEST(MonitorList, RecordsEachMonitorWithItsFacts)
{
    SetDisplays({Display(0, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, "Adapter A"),
                 Display(1, {1920, 0, 3200, 1024}, {1920, 0, 3200, 1024}, "Adapter B")});
    CMonitorList list;
    ASSERT_EQ(list.Records().size(), 2u);
    const CMonitorRecord& first = list.Records()[0];
    EXPECT_EQ(first.monitorRect.right, 1920);
    EXPECT_EQ(first.workRect.bottom, 1040);
    EXPECT_STREQ(first.deviceName, "\\\\.\\DISPLAY1");
    EXPECT_STREQ(first.description, "Adapter A");
    EXPECT_EQ(first.primary, 1);
    EXPECT_EQ(first.bitsPerPixel, 32);
    EXPECT_EQ(first.refreshRate, 75);
    EXPECT_EQ(first.duplicate, 255);
    EXPECT_EQ(list.Records()[1].refreshRate, 0);  // below 2 is stored as 0
    RECT rect;
    EXPECT_EQ(list.GetMonitorRect(&rect, list.Records()[1].monitor), 0u);
    EXPECT_EQ(rect.left, 1920);
    EXPECT_EQ(list.GetMonitorRect(&rect, nullptr), 1u);
    EXPECT_EQ(rect.right, 1920);  // the primary screen's size
}

TEST(MonitorList, IdenticalAdaptersAreNumbered)
{
    SetDisplays({Display(0, {0, 0, 800, 600}, {0, 0, 800, 600}, "Same"),
                 Display(1, {800, 0, 1600, 600}, {800, 0, 1600, 600}, "Other"),
                 Display(2, {1600, 0, 2400, 600}, {1600, 0, 2400, 600}, "Same")});
    CMonitorList list;
    ASSERT_EQ(list.Records().size(), 3u);
    EXPECT_STREQ(list.Records()[0].description, "Same[1]");
    EXPECT_EQ(list.Records()[0].duplicate, 1);
    EXPECT_STREQ(list.Records()[1].description, "Other");
    EXPECT_STREQ(list.Records()[2].description, "Same[2]");
    EXPECT_EQ(list.Records()[2].duplicate, 2);
}

TEST(MonitorList, FindingAndPlacing)
{
    SetDisplays({Display(0, {0, 0, 800, 600}, {0, 0, 800, 560}, "A"),
                 Display(1, {800, 0, 2400, 1200}, {800, 0, 2400, 1160}, "B")});
    CMonitorList list;
    EXPECT_EQ(list.FindMonitorFitting(0, 480), nullptr);
    EXPECT_EQ(list.FindMonitorFitting(640, 480), list.Records()[0].monitor);
    EXPECT_EQ(list.FindMonitorFitting(1024, 768), list.Records()[1].monitor);
    EXPECT_EQ(list.FindMonitorFitting(4000, 480), nullptr);

    struct Case {
        const char* name;
        int x, y, width, height;
        bool any, centre;
        int result, placedX, placedY;
    } cases[] = {
        {"already on a work area stays", 100, 100, 200, 100, false, true, 0, 100, 100},
        {"any monitor centres on the nearest", 100, 100, 200, 100, true, true, 1, 300, 230},
        {"off every monitor goes to the nearest", 3000, 100, 200, 100, false, false, 1, 800, 0},
        {"too large for its monitor takes a larger one", 10, 10, 1000, 700, false, true, 1, 1100, 230},
        {"too large for all stays on its monitor, not centred", 10, 10, 5000, 100, false, true, 1, 800, 0},
        {"a size below 1", 0, 0, 0, 100, false, true, -1, 0, 0},
        // A stored position at the integer limits (a damaged settings file) used to overflow.
        {"far right at the integer limit goes to the nearest", INT32_MAX - 50, 100, 200, 100, false, false, 1, 800, 0},
        {"far left at the integer limit goes to the nearest", INT32_MIN + 50, 100, 200, 100, false, false, 1, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t x = c.x, y = c.y;
        EXPECT_EQ(list.PlaceRect(&x, &y, c.width, c.height, c.any, c.centre), c.result) << c.name;
        if (c.result >= 0) {
            EXPECT_EQ(x, c.placedX) << c.name;
            EXPECT_EQ(y, c.placedY) << c.name;
        }
    }
}

} // namespace
