// A hot key's TYPE on the event loop: the program's one-second tick goes on
// while a long text is being typed, and the text arrives whole and in order.
#include "UiTestSupport.h"

#include "hotkeys/HotKeyService.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeHotKeys.h"
#include "platform/fake/FakeKeyboard.h"
#include "script/Keystrokes.h"
#include "ui/TickDriver.h"

#include <QTest>
#include <QTimer>

class HotKeyTypingTest : public QObject {
    Q_OBJECT
private slots:
    void theTickGoesOnWhileALongTextIsTyped();
};

void HotKeyTypingTest::theTickGoesOnWhileALongTextIsTyped() {
    qd::FakeHotKeys system;
    qd::FakeKeyboard keyboard;
    qd::FakeClipboard clipboard;
    qd::KeystrokeSender sender(keyboard); // the usual pause of 0.1 s between groups
    QObject loop;
    qd::HotKeyEnvironment env;
    env.keys = &sender;
    env.keyboard = &keyboard;
    env.clipboard = &clipboard;
    env.postAfter = [&loop](std::chrono::milliseconds pause, std::function<void()> job) {
        QTimer::singleShot(pause, &loop, std::move(job));
    };
    qd::HotKeyService service(system, env);

    qdui::TickDriver driver([] {});
    driver.start();
    // 30 groups (15 bursts, 15 Tabs): about three seconds of typing.
    std::string text, expected;
    for (int i = 0; i < 15; ++i) {
        text += "g" + std::to_string(i) + "[TAB]";
        expected += "g" + std::to_string(i);
    }
    // The tick count seen by each typed character.
    std::vector<long long> tickAtChar;
    keyboard.onEvent = [&] {
        if (keyboard.events.back().kind == qd::FakeKeyboard::Event::Char)
            tickAtChar.push_back(driver.ticks());
    };
    qd::SysHotKeysRecord record{};
    record.HotKey = "Ctrl-Alt-T";
    record.Active = 1;
    record.Action = "Text";
    record.TextType = "TYPE";
    record.Text = text;
    QCOMPARE(service.perform(record), qd::HotKeyOutcome::Typed);
    QVERIFY(service.sending());
    QTRY_VERIFY_WITH_TIMEOUT(!service.sending(), 15000);
    QCOMPARE(keyboard.typedText(), expected);
    QVERIFY(keyboard.keysDown().empty());
    QVERIFY2(tickAtChar.back() - tickAtChar.front() >= 2,
             qPrintable(QString("ticks during the typing: %1").arg(tickAtChar.back() - tickAtChar.front())));
}

QTEST_MAIN(HotKeyTypingTest)
#include "HotKeyTypingTest.moc"
