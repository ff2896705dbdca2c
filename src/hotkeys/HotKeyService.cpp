#include "hotkeys/HotKeyService.h"

#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "hotkeys/HotKeyNames.h"
#include "script/Keystrokes.h"

namespace qd {

const char* toString(HotKeyOutcome o) {
    switch (o) {
    case HotKeyOutcome::None:
        return "none";
    case HotKeyOutcome::Restored:
        return "restored";
    case HotKeyOutcome::NotFound:
        return "not found";
    case HotKeyOutcome::Inactive:
        return "inactive";
    case HotKeyOutcome::TaskQueued:
        return "task queued";
    case HotKeyOutcome::TaskMissing:
        return "task missing";
    case HotKeyOutcome::Typed:
        return "typed";
    case HotKeyOutcome::Pasted:
        return "pasted";
    case HotKeyOutcome::Copied:
        return "copied";
    case HotKeyOutcome::UnknownType:
        return "unknown text automation";
    case HotKeyOutcome::UnknownAction:
        return "unknown action";
    case HotKeyOutcome::Failed:
        return "failed";
    }
    return "unknown";
}

std::string hotKeyQuickText(const SysHotKeysRecord& record) {
    std::string q = text::trimmedRight(record.Description) + " ";
    if (text::upperAscii(text::trim(record.Action)) == "TEXT") q += ": " + record.Text;
    return fitText(q, SysHotKeysRecord::Width::QuickText);
}

HotKeyService::HotKeyService(HotKeys& system, HotKeyEnvironment env)
    : component_(system), env_(std::move(env)) {}

HotKeyService::~HotKeyService() {
    if (typing_ && env_.keyboard) env_.keyboard->releaseAll();
    if (sending_ && env_.keys) env_.keys->letGo();
    releaseAll();
}

void HotKeyService::registerAll() {
    component_.UnActivate();
    component_.Clear();
    component_.AddKey(kRestoreHotKey);
    if (env_.ds) {
        Table<SysHotKeysRecord> t(*env_.ds, tables::SysHotKeys());
        if (t.open() == Level::Benign) {
            t.setOrder(0);
            while (t.tryNext() == Level::Benign)
                if (t.rec.Active == 1) component_.AddKey(text::trimmedRight(t.rec.HotKey));
        }
    }
    component_.Activate();
}

void HotKeyService::releaseAll() {
    component_.UnActivate();
}

void HotKeyService::requestReregister() {
    if (env_.post) {
        env_.post([this] { registerAll(); });
        return;
    }
    reregisterPending_ = true;
}

std::vector<HotKeyOutcome> HotKeyService::handleSystemPresses() {
    std::vector<HotKeyOutcome> out;
    // Called again from a nested event loop of an action (a message): the
    // outer call goes on with the queue when that action is done.
    if (handling_) return out;
    handling_ = true;
    // A press that arrives while an action waits is read then; take those too.
    // While a text is being sent, presses queue up and are performed after it.
    do {
        for (int id : component_.system().takePresses())
            component_.press(id);
        while (!sending_) {
            const HotKeyOutcome o = handlePressed();
            if (o == HotKeyOutcome::None) break;
            out.push_back(o);
        }
    } while (!sending_ && component_.system().pressesPending());
    handling_ = false;
    if (reregisterPending_) {
        reregisterPending_ = false;
        registerAll();
    }
    return out;
}

HotKeyOutcome HotKeyService::showError(const std::string& combination, const std::string& text,
                                       HotKeyOutcome outcome) {
    if (env_.frame) env_.frame->bringToFront();
    if (env_.ui) env_.ui->message("Hot-Key " + combination + " Error", text, MessageIcon::Exclamation);
    return outcome;
}

HotKeyOutcome HotKeyService::handlePressed() {
    const auto pressed = component_.takePressed();
    if (!pressed) return HotKeyOutcome::None;
    const std::string text = pressed->code <= 0 ? "Unknown: " + pressed->text : pressed->text;
    if (pressed->code > 0 && pressed->code == TrnKeyName(kRestoreHotKey)) {
        if (env_.restoreFrame)
            env_.restoreFrame();
        else if (env_.frame)
            env_.frame->bringToFront();
        return HotKeyOutcome::Restored;
    }
    SysHotKeysRecord found{};
    bool exists = false;
    if (env_.ds) {
        Table<SysHotKeysRecord> t(*env_.ds, tables::SysHotKeys());
        if (t.open() == Level::Benign) {
            t.rec.HotKey = text;
            if (t.fetch("K_HotKey") == Level::Benign) {
                found = t.rec;
                exists = true;
            }
        }
    }
    if (!exists) {
        if (env_.frame) env_.frame->bringToFront();
        if (env_.ui) env_.ui->message(text, "Error retrieving hot key.", MessageIcon::Exclamation);
        requestReregister();
        return HotKeyOutcome::NotFound;
    }
    if (found.Active != 1) return HotKeyOutcome::Inactive;
    return perform(found);
}

void HotKeyService::letGo(int virtualKey) {
    if (!env_.keyboard) return;
    // The user's hands may still be on the combination: its modifiers
    // (either hand's) and its key must not combine with what is sent next.
    for (int key : {vk::kShift, vk::kControl, vk::kAlt, vk::kLeftWin, 161, 163, 165, 92})
        env_.keyboard->keyUp(key);
    if (virtualKey > 7) env_.keyboard->keyUp(virtualKey);
    env_.keyboard->flush();
}

void HotKeyService::releaseModifiers(int virtualKey) {
    letGo(virtualKey);
    // Instead of a fixed pause: as long as the combination is held, at most the wait.
    component_.system().waitForRelease(releaseWait);
}

void HotKeyService::later(std::chrono::milliseconds pause, std::function<void()> job) {
    env_.postAfter(pause, [alive = std::weak_ptr<int>(alive_), job = std::move(job)] {
        if (alive.lock()) job();
    });
}

void HotKeyService::releaseThen(int virtualKey, std::function<void()> then) {
    letGo(virtualKey);
    pollRelease(std::chrono::steady_clock::now(), std::move(then));
}

void HotKeyService::pollRelease(std::chrono::steady_clock::time_point start, std::function<void()> then) {
    if (component_.system().lastKeyHeld()) {
        if (std::chrono::steady_clock::now() - start < releaseWait) {
            later(std::chrono::milliseconds(10),
                  [this, start, then = std::move(then)]() mutable { pollRelease(start, std::move(then)); });
            return;
        }
        // Held too long: stop waiting, and end what the held key still holds.
        component_.system().waitForRelease(std::chrono::milliseconds(0));
    }
    then();
}

void HotKeyService::typeStep() {
    if (!typing_) return;
    typing_->next();
    if (typing_->done()) {
        finishSending();
        return;
    }
    later(typing_->pauseBeforeNext(), [this] { typeStep(); });
}

void HotKeyService::startSending() {
    sending_ = true;
    if (env_.keys) env_.keys->hold();
}

void HotKeyService::finishSending() {
    typing_.reset();
    sending_ = false;
    if (env_.keys) env_.keys->letGo();
    // The presses that came meanwhile.
    later(std::chrono::milliseconds(0), [this] { handleSystemPresses(); });
}

HotKeyOutcome HotKeyService::perform(const SysHotKeysRecord& record) {
    const std::string combination = text::trimmedRight(record.HotKey);
    const std::string action = text::upperAscii(text::trim(record.Action));
    if (action == "TASK") {
        bool found = false;
        if (env_.ds && record.ID != 0) {
            Table<ScheduleRecord> t(*env_.ds, tables::Schedule());
            if (t.open() == Level::Benign) {
                t.rec.ID = record.ID;
                found = t.fetch("KeyID") == Level::Benign;
            }
        }
        if (!found)
            return showError(combination, "Unable to retrieve associated task.", HotKeyOutcome::TaskMissing);
        // The task's script starts once the combination is let go, so its
        // first keystrokes do not combine with the keys still held.
        auto start = [this, id = record.ID] {
            if (!env_.execution) return;
            ProgramStartRequest request;
            request.command = "N/A";
            request.taskId = id;
            env_.execution->startProgram(request);
        };
        if (env_.postAfter) {
            pollRelease(std::chrono::steady_clock::now(), std::move(start));
        } else {
            component_.system().waitForRelease(releaseWait);
            start();
        }
        return HotKeyOutcome::TaskQueued;
    }
    if (action != "TEXT")
        return showError(combination, "Unknown Action:  " + text::trimmedRight(record.Action),
                         HotKeyOutcome::UnknownAction);
    const std::string type = text::upperAscii(text::trim(record.TextType));
    const std::string plain = text::trimmedRight(record.Text);
    const int virtualKey = hotKeyVirtualKey(TrnKeyName(combination));
    if (type == "TYPE") {
        std::string keys;
        keys.reserve(record.Text.size());
        for (std::size_t i = 0; i < record.Text.size(); ++i) {
            if (record.Text[i] == '\r' && i + 1 < record.Text.size() && record.Text[i + 1] == '\n') {
                keys += '\r';
                ++i;
            } else {
                keys += record.Text[i];
            }
        }
        if (!env_.keys) return HotKeyOutcome::Failed;
        if (env_.postAfter) {
            startSending();
            typing_ = std::make_unique<KeystrokeRun>(*env_.keys, keys);
            releaseThen(virtualKey, [this] { typeStep(); });
            return HotKeyOutcome::Typed;
        }
        releaseModifiers(virtualKey);
        env_.keys->skipFirstPause();
        const TypeTextResult r = env_.keys->SendKeystrokes(keys);
        return r.status == KeyStatus::Ok ? HotKeyOutcome::Typed : HotKeyOutcome::Failed;
    }
    if (type == "PASTE") {
        if (!env_.clipboard || !env_.keyboard) return HotKeyOutcome::Failed;
        if (env_.postAfter) {
            startSending();
            releaseThen(virtualKey, [this, plain] {
                auto previous = env_.clipboard->save();
                env_.clipboard->setText(plain);
                PressKey(*env_.keyboard, 'V' | kModCtrl);
                env_.keyboard->flush();
                env_.clipboard->restoreAfterPaste(std::move(previous));
                finishSending();
            });
            return HotKeyOutcome::Pasted;
        }
        releaseModifiers(virtualKey);
        // The user's own clipboard content comes back once the paste is taken.
        auto previous = env_.clipboard->save();
        env_.clipboard->setText(plain);
        const KeyStatus s = PressKey(*env_.keyboard, 'V' | kModCtrl);
        env_.keyboard->flush();
        env_.clipboard->restoreAfterPaste(std::move(previous));
        return s == KeyStatus::Ok ? HotKeyOutcome::Pasted : HotKeyOutcome::Failed;
    }
    if (type == "COPY") {
        if (!env_.clipboard) return HotKeyOutcome::Failed;
        env_.clipboard->setText(plain);
        return HotKeyOutcome::Copied;
    }
    return showError(combination, "Unknown Text Automation:  " + text::trimmedRight(record.TextType),
                     HotKeyOutcome::UnknownType);
}

std::vector<HotKeyState> HotKeyService::states() {
    std::vector<HotKeyState> out;
    if (!env_.ds) return out;
    Table<SysHotKeysRecord> t(*env_.ds, tables::SysHotKeys());
    if (t.open() != Level::Benign) return out;
    t.setOrder(t.def().findKey("K_HotKey"));
    while (t.tryNext() == Level::Benign) {
        HotKeyState s;
        s.record = t.rec;
        s.code = TrnKeyName(text::trimRight(t.rec.HotKey));
        for (const auto& e : component_.registered())
            if (e.code != 0 && e.code == s.code) {
                s.status = e.status;
                s.registered = component_.active() && e.status == HotKeyStatus::Ok;
            }
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace qd
