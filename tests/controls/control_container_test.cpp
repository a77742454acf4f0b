// The container: hit-test order, skipped controls, focus by Tab, arrows and neighbours, capture
// and focus given up on disabling, the pointer lock, saved layers, hints on the virtual clock, and
// controls destroyed while others still name them.
#include "control_test_form.h"

#include "controls/control.h"

#include <functional>

namespace {

using namespace controls_test;

// A rectangle that records every call it gets into a shared log.
class Probe : public CControl {
public:
    Probe(std::vector<std::string>& log, const char* name, int x, int y, int w, int h)
        : m_log(log), m_name(name), m_x(x), m_y(y), m_w(w), m_h(h)
    {
    }
    int GetType() const override { return 99; }
    int GetX() const override { return m_x; }
    int GetY() const override { return m_y; }
    int GetWidth() const override { return m_w; }
    int GetHeight() const override { return m_h; }
    int SetPosition(int x, int y) override { m_x = x, m_y = y; return 0; }
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() const override { return m_visible; }
    int SetPriority(int, int, bool) override { return 0; }
    int GetPriority() const override { return 0; }
    int SetAlpha(int) override { return 0; }
    int GetAlpha() const override { return 0; }
    bool HitTest(int x, int y) override { return x >= m_x && x < m_x + m_w && y >= m_y && y < m_y + m_h; }
    void OnMouseMove(int x, int y) override { Log("move " + std::to_string(x) + "," + std::to_string(y)); }
    void OnMouseEnter() override { Log("enter"); }
    void OnMouseLeave() override { Log("leave"); }
    bool OnMouseInput(int, int, CInputSource* mouse) override { return consumeClick && mouse->IsPushed(0); }
    void OnSetFocus(CControl* previous, bool forward) override
    {
        Log(std::string("setfocus ") + (previous == this ? "self" : previous ? "other" : "none") +
            (forward ? " fwd" : " back"));
    }
    void OnKillFocus(CControl*) override { Log("killfocus"); }
    bool OnKeyInput(CActionMap* actions) override { return consumeEscape && actions->IsPushed(kActionCancel); }

    bool consumeClick = false;
    bool consumeEscape = false;

private:
    void Log(const std::string& what) { m_log.push_back(m_name + " " + what); }
    std::vector<std::string>& m_log;
    std::string m_name;
    int m_x, m_y, m_w, m_h;
    bool m_visible = true;
};

class ContainerTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        // a and b overlap at (30..40, 10..20); c below; d hidden later.
        a = std::make_unique<Probe>(form->log, "a", 10, 10, 30, 10);
        b = std::make_unique<Probe>(form->log, "b", 30, 10, 30, 10);
        c = std::make_unique<Probe>(form->log, "c", 10, 40, 30, 10);
        ASSERT_EQ(form->AddControl(a.get(), -1), 0);
        ASSERT_EQ(form->AddControl(c.get(), -1), 0);
        ASSERT_EQ(form->AddControl(b.get(), 1), 0);  // before c
        Frame();
        form->Take();
    }
    std::unique_ptr<Probe> a, b, c;
};

struct Step {
    const char* name;
    std::function<void(ContainerTest&)> input;
    int result;
    std::vector<std::string> calls;
};

TEST_F(ContainerTest, ScriptedFrames)
{
    auto moveTo = [](int x, int y) { return [x, y](ContainerTest& t) { t.MovePointer(x, y); }; };
    auto key = [](int hid) { return [hid](ContainerTest& t) { t.Key(hid, true); }; };
    const Step steps[] = {
        {"nothing moves", [](ContainerTest&) {}, 0, {}},
        {"overlap: the earlier in the list wins", moveTo(35, 15), 0, {"a enter", "a move 25,5"}},
        {"still: no move, no call", [](ContainerTest&) {}, 0, {}},
        {"onto b alone", moveTo(45, 15), 0, {"a leave", "b enter", "b move 15,5"}},
        {"off every control", moveTo(300, 150), 0, {"b leave"}},
        {"Tab without focus: first from the head", key(kHidTab), 4, {"a setfocus none fwd"}},
        {"Tab again", key(kHidTab), 4, {"a killfocus", "b setfocus other fwd"}},
        {"down arrow is next", key(kHidDown), 4, {"b killfocus", "c setfocus other fwd"}},
        {"Tab wraps to the head", key(kHidTab), 4, {"c killfocus", "a setfocus other fwd"}},
        {"up arrow wraps back", key(kHidUp), 4, {"a killfocus", "c setfocus other back"}},
        {"Shift+Tab is previous", [](ContainerTest& t) { t.Key(kHidLeftShift, true); t.Key(kHidTab, true); }, 4,
         {"c killfocus", "b setfocus other back"}},
    };
    for (const Step& step : steps) {
        step.input(*this);
        EXPECT_EQ(Frame(), step.result) << step.name;
        EXPECT_EQ(form->Take(), step.calls) << step.name;
        for (int hid : {kHidTab, kHidDown, kHidUp, kHidLeftShift})
            Key(hid, false);
        EXPECT_EQ(Frame(), 0) << step.name << ": the release frame";
        form->Take();
    }
}

TEST_F(ContainerTest, DisabledAndHiddenControlsAreSkipped)
{
    a->SetEnabled(false);
    b->SetVisible(false);
    MovePointer(35, 15);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(form->Take(), std::vector<std::string>{}) << "neither a nor b is hit";
    EXPECT_EQ(form->SetFocus(a.get()), 3);
    EXPECT_EQ(form->SetFocus(b.get()), 3);
    Probe stranger(form->log, "s", 0, 0, 1, 1);
    EXPECT_EQ(form->SetFocus(&stranger), 2);
    EXPECT_EQ(KeyFrame(kHidTab), 4);
    EXPECT_EQ(form->Take(), std::vector<std::string>{"c setfocus none fwd"});
    EXPECT_EQ(KeyFrame(kHidTab), 4) << "the lone candidate";
    EXPECT_EQ(form->Take(), std::vector<std::string>{"c setfocus self fwd"});
    EXPECT_EQ(KeyFrame(kHidLeft), 4);
    EXPECT_EQ(form->Take(), std::vector<std::string>{"c setfocus self back"});
    c->SetEnabled(false);
    EXPECT_EQ(form->GetFocus(), nullptr) << "disabling the focus control clears the focus";
    EXPECT_EQ(KeyFrame(kHidTab), 0) << "no candidate at all";
}

TEST_F(ContainerTest, NeighboursPointerLockAndConsumption)
{
    a->SetNeighbours(nullptr, c.get(), nullptr, nullptr);  // right of a is c
    ASSERT_EQ(form->SetFocus(a.get()), 0);
    form->Take();
    EXPECT_EQ(KeyFrame(kHidRight), 4);
    EXPECT_EQ(form->GetFocus(), c.get());
    c->consumeEscape = true;
    EXPECT_EQ(KeyFrame(kHidEscape), 2);

    MovePointer(15, 45);
    Frame();
    EXPECT_EQ(form->GetCapture(), c.get());
    c->SetEnabled(false);
    EXPECT_EQ(form->GetCapture(), nullptr) << "disabling the capture control releases it";
    c->SetEnabled(true);
    MovePointer(15, 15);
    Frame();
    ASSERT_EQ(form->GetCapture(), a.get());
    form->Take();
    form->SetPointerLock(true);
    MovePointer(200, 100);
    EXPECT_EQ(Frame(), 0);
    EXPECT_EQ(form->Take(), std::vector<std::string>{"a move 190,90"}) << "the locked capture keeps the moves";
    form->SetPointerLock(false);
    a->consumeClick = true;
    MovePointer(15, 15);
    Frame();
    Button(true);
    EXPECT_EQ(Frame(), 1);
    Button(false);
}

TEST_F(ContainerTest, LayersAndRemoval)
{
    EXPECT_EQ(form->PopControlLayer(), 1);
    EXPECT_EQ(form->GetControls().size(), 3u);
    ASSERT_EQ(form->PushControlLayer(), 0);
    EXPECT_TRUE(form->GetControls().empty());
    EXPECT_EQ(a->GetContainer(), form.get()) << "saved controls stay linked";
    EXPECT_EQ(form->AddControl(a.get(), -1), 2);
    Probe modal(form->log, "m", 0, 0, 5, 5);
    ASSERT_EQ(form->AddControl(&modal, 0), 0);
    form->RemoveControl(b.get());
    EXPECT_EQ(b->GetContainer(), nullptr) << "removed from the saved layer";
    EXPECT_EQ(form->GetControls(), std::vector<CControl*>{&modal});
    ASSERT_EQ(form->PopControlLayer(), 0);
    EXPECT_EQ(modal.GetContainer(), nullptr);
    EXPECT_EQ(form->GetControls(), (std::vector<CControl*>{a.get(), c.get()}));
    EXPECT_EQ(form->AddControl(nullptr, 0), 1);
}

TEST_F(ContainerTest, HintsOnTheVirtualClock)
{
    a->SetHintText("tip");
    form->SetHintOptions(true, 500, 2000);
    MovePointer(15, 15);
    Frame();
    form->Take();
    auto hints = [this] {
        std::vector<std::string> out;
        for (const std::string& s : form->Take())
            if (s.find("hint") != std::string::npos)
                out.push_back(s);
        return out;
    };
    host->AdvanceClock(499);
    Frame();
    EXPECT_TRUE(hints().empty()) << "before the delay";
    host->AdvanceClock(1);
    Frame();
    EXPECT_EQ(hints(), std::vector<std::string>{"hint tip"}) << "shown at 500";
    host->AdvanceClock(2000);
    Frame();
    EXPECT_TRUE(hints().empty()) << "still shown at 2500";
    host->AdvanceClock(1);
    Frame();
    EXPECT_EQ(hints(), std::vector<std::string>{"hide hint"}) << "hidden after 2500";

    form->SetHintOptions(true, 500, 0);
    MovePointer(45, 45);
    Frame();
    MovePointer(15, 15);
    Frame();
    hints();
    host->AdvanceClock(600);
    Frame();
    EXPECT_EQ(hints(), std::vector<std::string>{"hint tip"});
    host->AdvanceClock(100000);
    Frame();
    EXPECT_TRUE(hints().empty()) << "duration 0 never times out";
    MovePointer(45, 15);
    Frame();
    EXPECT_EQ(hints(), std::vector<std::string>{"hide hint"}) << "until the capture changes";
}

TEST_F(ContainerTest, ControlsDestroyedFirst)
{
    a->SetNeighbours(nullptr, b.get(), nullptr, c.get());
    c->SetNeighbours(nullptr, nullptr, b.get(), nullptr);
    ASSERT_EQ(form->SetFocus(b.get()), 0);
    MovePointer(45, 15);
    Frame();
    b.reset();  // focused, capture and a neighbour of two others
    EXPECT_EQ(form->GetFocus(), nullptr);
    EXPECT_EQ(form->GetCapture(), nullptr);
    EXPECT_EQ(a->GetNeighbour(kNeighbourRight), nullptr);
    EXPECT_EQ(c->GetNeighbour(kNeighbourUp), nullptr);
    EXPECT_EQ(a->GetNeighbour(kNeighbourDown), c.get());
    ASSERT_EQ(form->SetFocus(c.get()), 0);
    EXPECT_EQ(KeyFrame(kHidUp), 4) << "no dangling neighbour: the arrow navigates instead";
    EXPECT_EQ(form->GetFocus(), a.get());
}

} // namespace
