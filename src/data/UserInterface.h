// What the core asks of the user. The program answers with dialogs, qdctl on the
// terminal, tests with scripted answers. Core code never shows a window itself.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qd {

enum class MessageIcon { None, Information, Exclamation, Question, Hand };

// A value the user types, picks from a file dialog or chooses from a list.
enum class PromptKind { Text, File, Choice };
struct PromptRequest {
    PromptKind kind = PromptKind::Text;
    std::string title;
    std::string label;                // shown beside the value, e.g. "Server:"
    std::string initial;              // the value the field starts with
    std::vector<std::string> choices; // Choice: the texts to pick from
    std::string filter;               // File: the file dialog's filter, e.g. "All Files|*.*"
};

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // A message with an OK button.
    virtual void message(const std::string& title, const std::string& text,
                         MessageIcon icon = MessageIcon::Exclamation) = 0;
    // A Yes/No question; true for Yes.
    virtual bool ask(const std::string& title, const std::string& text) = 0;
    // A folder chooser; nullopt when the user cancels.
    virtual std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) = 0;
    // Puts text on the desktop clipboard (used to hand error details to the user).
    virtual void setClipboardText(const std::string& text) = 0;
    // A message box with the exclamation icon and the given buttons (captions,
    // "&" before the accelerator letter); returns the number of the button
    // pressed, 1 for the first. Without an implementation of its own, two
    // buttons are a Yes/No question and more are shown with OK (button 1).
    virtual int chooseButton(const std::string& title, const std::string& text,
                             const std::vector<std::string>& buttons) {
        if (buttons.size() == 2) return ask(title, text) ? 1 : 2;
        message(title, text, MessageIcon::Exclamation);
        return 1;
    }
    // Asks for one value; nullopt when the user cancels. An interface that
    // cannot ask answers as a cancel.
    virtual std::optional<std::string> prompt(const PromptRequest& request) {
        (void)request;
        return std::nullopt;
    }
};

// Holds the messages shown while a store transaction is open and shows them
// once it ended (at flush() or at the end of the holder's life): a window shown
// meanwhile would let other work reach the store mid-transaction. Questions
// pass straight through. With `onceEach`, a message repeated with the same
// title and text is shown once.
class HeldMessages final : public UserInterface {
public:
    explicit HeldMessages(UserInterface& ui, bool onceEach = false) : ui_(ui), onceEach_(onceEach) {}
    ~HeldMessages() override { flush(); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    void message(const std::string& title, const std::string& text, MessageIcon icon) override {
        if (onceEach_)
            for (const Held& h : held_)
                if (h.title == title && h.text == text) return;
        held_.push_back({title, text, icon});
    }
    bool ask(const std::string& title, const std::string& text) override { return ui_.ask(title, text); }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override {
        return ui_.chooseFolder(title, start);
    }
    void setClipboardText(const std::string& text) override { ui_.setClipboardText(text); }
    // Shows the messages held so far, in the order they came.
    void flush() {
        std::vector<Held> shown;
        shown.swap(held_);
        for (const Held& h : shown)
            ui_.message(h.title, h.text, h.icon);
    }

private:
    struct Held {
        std::string title;
        std::string text;
        MessageIcon icon;
    };
    UserInterface& ui_;
    bool onceEach_;
    std::vector<Held> held_;
};

// Answers from a script and records everything shown; for tests and batch runs.
class ScriptedUserInterface : public UserInterface {
public:
    struct Shown {
        std::string kind; // "message", "ask", "chooseFolder", "clipboard", "prompt"
        std::string title;
        std::string text;
    };

    void message(const std::string& title, const std::string& text, MessageIcon) override {
        shown.push_back({"message", title, text});
    }
    bool ask(const std::string& title, const std::string& text) override {
        shown.push_back({"ask", title, text});
        if (answers.empty()) return defaultAnswer;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override {
        shown.push_back({"chooseFolder", title, start});
        return folderAnswer;
    }
    void setClipboardText(const std::string& text) override {
        shown.push_back({"clipboard", "", text});
        clipboard = text;
    }
    int chooseButton(const std::string& title, const std::string& text,
                     const std::vector<std::string>& buttons) override {
        std::string all;
        for (const auto& b : buttons)
            all += (all.empty() ? "" : "|") + b;
        shown.push_back({"chooseButton", title, text + " <" + all + ">"});
        if (buttonAnswers.empty()) return 1;
        const int a = buttonAnswers.front();
        buttonAnswers.pop_front();
        return a;
    }

    // Answers the next scripted prompt answer (nullopt, a cancel, when none is left).
    std::optional<std::string> prompt(const PromptRequest& request) override {
        shown.push_back({"prompt", request.title, request.label});
        prompts.push_back(request);
        if (promptAnswers.empty()) return std::nullopt;
        auto a = promptAnswers.front();
        promptAnswers.pop_front();
        return a;
    }

    // Titles of everything shown, in order.
    std::vector<std::string> titles() const {
        std::vector<std::string> t;
        for (const auto& s : shown)
            t.push_back(s.title);
        return t;
    }

    std::deque<bool> answers;
    std::deque<int> buttonAnswers;
    bool defaultAnswer = false;
    std::optional<std::string> folderAnswer;
    std::deque<std::optional<std::string>> promptAnswers;
    std::vector<PromptRequest> prompts;
    std::string clipboard;
    std::vector<Shown> shown;
};

} // namespace qd
