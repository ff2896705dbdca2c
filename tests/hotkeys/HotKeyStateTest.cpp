#include "hotkeys/HotKeyNames.h"
#include "hotkeys/HotKeyState.h"
#include "platform/fake/FakeHotKeys.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace qd;

TEST(HotKeyState, WrittenPrivatelyAndReadBackWhileTheWriterRuns) {
    qdtest::TempDir dir;
    FakeHotKeys system;
    system.heldElsewhere.insert({hotmod::kCtrl | hotmod::kAlt, 'G'});
    SysHotKeyClass component(system);
    component.AddKey("WinW");
    component.AddKey("Ctrl-Alt-G");
    component.AddKey("Ctrl-Alt-H");
    component.Activate();
    const auto file = dir / "state";
    ASSERT_TRUE(writeHotKeyState(file, component));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const auto state = readHotKeyState(file);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->byCode.at(TrnKeyName("Ctrl-Alt-G")), HotKeyStatus::Refused);
    EXPECT_EQ(state->byCode.at(TrnKeyName("Ctrl-Alt-H")), HotKeyStatus::Ok);
    EXPECT_EQ(state->byCode.at(TrnKeyName("WinW")), HotKeyStatus::Ok);

    // Released: nothing is registered any more.
    component.UnActivate();
    ASSERT_TRUE(writeHotKeyState(file, component));
    EXPECT_EQ(readHotKeyState(file)->byCode.at(TrnKeyName("Ctrl-Alt-H")), HotKeyStatus::Refused);
}

TEST(HotKeyState, AFileOfAnEndedProgramOrGarbageIsNoState) {
    qdtest::TempDir dir;
    const auto file = dir / "state";
    std::ofstream(file) << "pid 999999999\n1111 registered Ctrl-Alt-X\n";
    EXPECT_FALSE(readHotKeyState(file));
    std::ofstream(file) << "nonsense";
    EXPECT_FALSE(readHotKeyState(file));
    EXPECT_FALSE(readHotKeyState(dir / "missing"));
    // Folders give their own file names; the same folder the same name.
    EXPECT_EQ(hotKeyStatePath(dir.path()), hotKeyStatePath(dir.path()));
    EXPECT_NE(hotKeyStatePath(dir.path()), hotKeyStatePath(dir / "other"));
}
