// The task list: insertion order among equal priorities, moves, removal, enabling by priority and
// group, the drawing pass that a task's non-zero answer ends, restore, and lifetimes.
#include "display/task_list.h"
#include "display_test_util.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using display_test::LogTask;

std::string Order(const CTaskList& list, std::string* names)
{
    std::string out;
    CTaskList& l = const_cast<CTaskList&>(list);
    names->clear();
    l.RenderAll(nullptr, nullptr, nullptr);
    out = *names;
    names->clear();
    return out;
}

TEST(TaskList, OrderAmongEqualPriorities)
{
    std::string log;
    LogTask a("A", &log), b("B", &log), c("C", &log), d("D", &log);
    CTaskList list;
    ASSERT_EQ(list.Insert(&a, 5, 0), 0);
    ASSERT_EQ(list.Insert(&b, 5, 0), 0);
    ASSERT_EQ(list.Insert(&c, 7, 0), 0);
    EXPECT_EQ(Order(list, &log), "CAB");
    ASSERT_EQ(list.InsertFirst(&d, 5, 0), 0);
    EXPECT_EQ(Order(list, &log), "CDAB");
    // Unchanged priority with the flag clear moves to the end of the band; with it set, nothing.
    EXPECT_EQ(list.SetPriority(&d, 5, false), 1);
    EXPECT_EQ(Order(list, &log), "CABD");
    EXPECT_EQ(list.SetPriority(&d, 5, true), 0);
    EXPECT_EQ(list.SetPriorityFirst(&b, 5, false), 1);
    EXPECT_EQ(Order(list, &log), "CBAD");
    // Unsigned priorities: 0xFFFFFFFF draws first.
    EXPECT_EQ(list.SetPriority(&a, 0xFFFFFFFFu, true), 1);
    EXPECT_EQ(Order(list, &log), "ACBD");
    EXPECT_EQ(list.SetPriority(nullptr, 1, false), 0);
}

// Random inserts (last and first among equals), moves, removals and clears against a plain model
// of the order: inserts that go last take a shortcut at the tail, which every other change must
// keep right.
TEST(TaskList, RandomChangesKeepTheModelsOrder)
{
    std::string log;
    std::vector<std::unique_ptr<LogTask>> tasks;
    for (char name = 'A'; name <= 'T'; ++name)
        tasks.push_back(std::make_unique<LogTask>(std::string(1, name), &log));
    struct Entry {
        LogTask* task;
        uint32_t priority;
    };
    std::vector<Entry> model;
    const auto place = [&](LogTask* task, uint32_t priority, bool first) {
        auto at = model.begin();
        while (at != model.end() && (first ? at->priority > priority : at->priority >= priority))
            ++at;
        model.insert(at, Entry{task, priority});
    };
    const auto drop = [&](LogTask* task) {
        std::erase_if(model, [&](const Entry& e) { return e.task == task; });
    };
    std::mt19937 rng(5);
    CTaskList list;
    for (int step = 0; step < 3000; ++step) {
        LogTask* task = tasks[rng() % tasks.size()].get();
        const uint32_t priority = rng() % 4;
        const bool first = rng() % 2 != 0;
        switch (rng() % 10) {
        case 0:
        case 1:
        case 2:
            if (task->GetList() == nullptr) {
                ASSERT_EQ(0, first ? list.InsertFirst(task, priority, 0) : list.Insert(task, priority, 0));
                place(task, priority, first);
            }
            break;
        case 3:
        case 4:
            list.Remove(task);
            drop(task);
            break;
        case 5:
        case 6:
            if (task->GetList() != nullptr) {
                first ? list.SetPriorityFirst(task, priority, false) : list.SetPriority(task, priority, false);
                drop(task);
                place(task, priority, first);
            }
            break;
        case 7:
        case 8:
            list.RemovePriority(priority);
            std::erase_if(model, [&](const Entry& e) { return e.priority == priority; });
            break;
        default:
            if (rng() % 20 == 0) {
                list.Clear();
                model.clear();
            }
            break;
        }
        std::string expected;
        for (const Entry& e : model)
            for (size_t i = 0; i < tasks.size(); ++i)
                if (tasks[i].get() == e.task)
                    expected += static_cast<char>('A' + i);
        ASSERT_EQ(expected, Order(list, &log)) << "step " << step;
    }
    list.Clear();
}

TEST(TaskList, InsertionRefusals)
{
    std::string log;
    LogTask a("A", &log);
    CTaskList one, two;
    EXPECT_EQ(one.Insert(nullptr, 1, 0), 1);
    ASSERT_EQ(one.Insert(&a, 1, 0), 0);
    EXPECT_EQ(two.Insert(&a, 1, 0), 2);
    EXPECT_EQ(two.InsertFirst(&a, 1, 0), 2);
    EXPECT_EQ(a.GetList(), &one);
    EXPECT_EQ(two.Head(), nullptr);
}

TEST(TaskList, RemovalByTaskAndPriority)
{
    std::string log;
    LogTask a("A", &log), b("B", &log), c("C", &log), d("D", &log);
    CTaskList list;
    list.Insert(&a, 9, 0);
    list.Insert(&b, 4, 0);
    list.Insert(&c, 4, 0);
    list.Insert(&d, 1, 0);
    list.RemovePriority(4);
    EXPECT_EQ(Order(list, &log), "AD");
    EXPECT_EQ(b.GetList(), nullptr);
    EXPECT_EQ(c.GetList(), nullptr);
    list.Remove(&b); // not there: nothing
    list.Remove(&a);
    EXPECT_EQ(Order(list, &log), "D");
}

TEST(TaskList, EnablingByPriorityAndGroup)
{
    std::string log;
    LogTask a("A", &log), b("B", &log), c("C", &log);
    CTaskList list;
    list.Insert(&a, 3, 1);
    list.Insert(&b, 3, 2);
    list.Insert(&c, 2, 1);
    list.SetEnabledWhere(0, 3, kTaskAnyGroup);
    EXPECT_EQ(a.IsEnabled() + b.IsEnabled() * 2 + c.IsEnabled() * 4, 4);
    list.SetEnabledWhere(1, kTaskAnyPriority, 0x101); // the low 8 bits: group 1
    EXPECT_EQ(a.IsEnabled() + b.IsEnabled() * 2 + c.IsEnabled() * 4, 5);
    list.SetEnabledWhere(0, kTaskAnyPriority, kTaskAnyGroup);
    EXPECT_EQ(a.IsEnabled() + b.IsEnabled() + c.IsEnabled(), 0);
}

TEST(TaskList, ANonZeroDrawEndsThePassAndRestoreStopsAtTheFirstFailure)
{
    std::string log;
    LogTask a("A", &log), b("B", &log), c("C", &log);
    CTaskList list;
    EXPECT_EQ(list.RenderAll(nullptr, nullptr, nullptr), 0); // empty
    list.Insert(&a, 3, 0);
    list.Insert(&b, 2, 0);
    list.Insert(&c, 1, 0);
    b.drawAnswer = 2;
    EXPECT_EQ(list.RenderAll(nullptr, nullptr, nullptr), 2);
    EXPECT_EQ(log, "AB");
    log.clear();
    b.restoreAnswer = 5;
    EXPECT_EQ(list.RestoreAll(), 5);
    EXPECT_EQ(log, "AB");
    b.restoreAnswer = 0;
    log.clear();
    EXPECT_EQ(list.RestoreAll(), 0);
    EXPECT_EQ(log, "ABC");
}

TEST(TaskList, LifetimesOfTasksAndLists)
{
    std::string log;
    auto a = std::make_unique<LogTask>("A", &log);
    LogTask b("B", &log);
    {
        CTaskList list;
        list.Insert(a.get(), 1, 0);
        list.Insert(&b, 1, 0);
        a.reset(); // leaves the list
        EXPECT_EQ(Order(list, &log), "B");
    }
    EXPECT_EQ(b.GetList(), nullptr); // the list's destruction cleared it
}

} // namespace
