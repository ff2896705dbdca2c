#include "script/Dde.h"
#include "platform/posix/PosixProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace qd;

TEST(DdeTest, AddressesFollowTheBusNamingRules) {
    EXPECT_EQ(DdeAddress("Word", "System").busName, "org.quandrel.dde.Word");
    EXPECT_EQ(DdeAddress("Word", "System").objectPath, "/System");
    EXPECT_EQ(DdeAddress("org.example.Editor", "My Doc.txt").busName, "org.example.Editor");
    EXPECT_EQ(DdeAddress("org.example.Editor", "My Doc.txt").objectPath, "/My_Doc_txt");
    EXPECT_EQ(DdeAddress("", "").objectPath, "/topic");
}

TEST(DdeTest, CommandIsSentOnTheSessionBus) {
    if (std::system("command -v dbus-daemon >/dev/null && command -v dbus-monitor >/dev/null") != 0)
        GTEST_SKIP() << "dbus-daemon is not installed";
    qdtest::TempDir dir;
    const std::string info = (dir / "bus").string();
    ASSERT_EQ(std::system(("dbus-daemon --session --fork --print-address=1 --print-pid=1 > " + info).c_str()),
              0);
    std::ifstream in(info);
    std::string address;
    int pid = 0;
    std::getline(in, address);
    in >> pid;
    ASSERT_FALSE(address.empty());
    const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = previous ? previous : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    const std::string monitorOut = (dir / "monitor").string();
    const std::string monitorPid = (dir / "monitor.pid").string();
    ASSERT_EQ(std::system(("dbus-monitor --session \"interface='org.quandrel.Dde'\" > " + monitorOut +
                           " 2>&1 & echo $! > " + monitorPid)
                              .c_str()),
              0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Nobody owns the name, so the call is not answered; it still goes out on the bus.
    PosixProcess launcher;
    EXPECT_FALSE(DdeExecute(launcher, "Word", "System", "[FileOpen(\"a.doc\")]"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int monitor = 0;
    std::ifstream(monitorPid) >> monitor;
    if (monitor > 0) kill(monitor, SIGTERM);
    kill(pid, SIGTERM);
    if (saved.empty())
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    const std::string seen = qdtest::readFile(monitorOut);
    EXPECT_NE(seen.find("destination=org.quandrel.dde.Word"), std::string::npos) << seen;
    EXPECT_NE(seen.find("path=/System; interface=org.quandrel.Dde; member=Execute"), std::string::npos)
        << seen;
    EXPECT_NE(seen.find("string \"[FileOpen(\"a.doc\")]\""), std::string::npos) << seen;
}
