// What the application answers the scenario frame without a running game: its menu groups, the
// interrupt flag, and window commands and questions refused while there is no main window.
#include <gtest/gtest.h>

#include "game/game_app.h"

TEST(TgsAppLink, MenuGroupsInterruptAndNoWindow)
{
    CGameApp app;
    // Save (1) and load (2) follow the menu-group flags.
    EXPECT_FALSE(app.IsMenuItemGroupEnabled(1));
    EXPECT_EQ(app.EnableMenuItemGroup(1, true), 0);
    EXPECT_TRUE(app.IsMenuItemGroupEnabled(1));
    EXPECT_FALSE(app.IsMenuItemGroupEnabled(2));
    EXPECT_FALSE(app.IsMenuItemGroupEnabled(7));
    EXPECT_FALSE(app.IsInterrupted());
    app.RequestInterrupt(1);
    EXPECT_TRUE(app.IsInterrupted());
    EXPECT_EQ(app.GetMenuCommandByte(), 0);
    app.SetMenuCommandByte(4);
    EXPECT_EQ(app.GetMenuCommandByte(), 4);
    // Nothing to post to: refused, and nothing is waited for.
    EXPECT_FALSE(app.PostWindowCommand(40007));
    EXPECT_FALSE(app.PostQuestion(1, "?"));
    EXPECT_EQ(app.GetQuestionAnswer(), -1);
    EXPECT_FALSE(app.WaitMenuCommandTaken(0));
}
