#include "script/StepActions.h"

#include <gtest/gtest.h>

#include <set>

using namespace qd;

namespace {

ScriptingRecord named(const std::string& action) {
    ScriptingRecord s;
    s.Action = action;
    return s;
}

TEST(StepActions, EveryNameAndKeywordLeadsToExactlyOneAction) {
    std::set<std::string_view> names;
    std::set<std::string_view> keywords;
    for (const auto& d : StepActions()) {
        EXPECT_EQ(&describeAction(d.action), &d);
        for (std::string_view n : d.others) {
            EXPECT_TRUE(names.insert(n).second) << n;
            EXPECT_EQ(actionOf(n), d.action) << n;
        }
        EXPECT_TRUE(names.insert(d.name).second) << d.name;
        EXPECT_EQ(actionOf(std::string(d.name) + "   "), d.action) << d.name; // stored with trailing blanks
        for (std::string_view k : d.keywords) {
            EXPECT_TRUE(keywords.insert(k).second) << k;
            EXPECT_EQ(findActionByKeyword(k), &d);
        }
        // Only the text and file formats' own actions are known to readers.
        EXPECT_EQ(isKnownAction(d.name), d.stored) << d.name;
    }
    EXPECT_EQ(findActionByKeyword("ifwindow")->action, StepAction::IfWindow);
    EXPECT_EQ(actionOf("Start program"), StepAction::Unknown); // stored names are exact
    EXPECT_EQ(findAction(""), nullptr);
}

TEST(StepActions, NamesNoActionHasKeepTheirNameRules) {
    // Steps stored under an unknown name (a script text keyword nobody knows)
    // still time and nest by their name.
    EXPECT_EQ(timingOf(named("Wait a bit")), StepTiming::Wait);
    EXPECT_EQ(timingOf(named("Maybe...")), StepTiming::NoDelay);
    EXPECT_EQ(timingOf(named("Dance")), StepTiming::Delay);
    EXPECT_EQ(blockRoleOf(named("ENDIF")), BlockRole::Closes);
    EXPECT_EQ(blockRoleOf(named("If something")), BlockRole::Opens);
    EXPECT_EQ(blockRoleOf(named("IFX")), BlockRole::None);
    EXPECT_EQ(blockRoleOf(named("**End**")), BlockRole::None);
    EXPECT_EQ(timingOf(named("...End If")), StepTiming::NoDelay);
    EXPECT_EQ(blockRoleOf(named("If Time Elapsed...")), BlockRole::Opens);
}

} // namespace
