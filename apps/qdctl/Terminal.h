// The terminal as the user interface of qdctl: messages go to standard error,
// questions are answered by --answer or at the prompt (No without a terminal).
#pragma once

#include "data/UserInterface.h"

#include <iosfwd>
#include <map>
#include <optional>

namespace qdctl {

class TerminalUserInterface : public qd::UserInterface {
public:
    TerminalUserInterface(std::istream& in, std::ostream& err, bool interactive)
        : in_(in), err_(err), interactive_(interactive) {}

    void message(const std::string& title, const std::string& text, qd::MessageIcon icon) override;
    bool ask(const std::string& title, const std::string& text) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override;
    void setClipboardText(const std::string& text) override;
    // Answered from promptAnswers (by the prompt's label or title, any case),
    // else at the terminal; without one, a cancel.
    std::optional<std::string> prompt(const qd::PromptRequest& request) override;

    std::optional<bool> answer; // --answer yes|no
    std::map<std::string, std::string> promptAnswers;

private:
    std::istream& in_;
    std::ostream& err_;
    bool interactive_;
};

} // namespace qdctl
