// The error manager: numbered messages with titles, levels and substitutions.
#pragma once

#include "data/UserInterface.h"

#include <string>
#include <string_view>

namespace qd {

// Result of every record-access operation: 0 success, otherwise the level of
// the message it raised.
enum class Level : int { Benign = 0, User = 1, Program = 2, Fatal = 3, Cancel = 4, Notify = 5 };

struct ErrorContext {
    std::string file;      // %File
    std::string errorText; // %ErrorText
    int errorCode = 0;     // %ErrorCode
    std::string fileError; // %FileError
    int fileErrorCode = 0; // %FileErrorCode
    std::string field;     // %Field
    std::string message;   // %Message
};

struct ErrorMessage {
    int id;
    Level level;
    const char* title;
    const char* text;
};

// What was last shown, for callers that report it elsewhere (qdctl prints it).
struct ShownError {
    int id = 0;
    Level level = Level::Benign;
    std::string title;
    std::string text;
};

class ErrorClass {
public:
    explicit ErrorClass(UserInterface* ui = nullptr) : ui_(ui) {}

    void setUserInterface(UserInterface* ui) { ui_ = ui; }
    UserInterface* userInterface() const { return ui_; }

    static const ErrorMessage* find(int id);
    static std::string substitute(std::string_view text, const ErrorContext& ctx);

    // Shows message `id`. A question returns Benign for Yes and Cancel for No;
    // a notice returns Notify; a fatal message adds the end-of-program notice and
    // returns its level (the caller ends the program).
    Level throwMessage(int id, const ErrorContext& ctx);

    // The program warnings raised by the table open operation (1-5 and 30). The
    // questions return Benign for Yes and Cancel for No; the others return Fatal
    // with the text the program ends with in haltText().
    Level programWarning(int id, const std::string& name, const std::string& error);

    // Records a fatal condition that was shown by other means, and the text the
    // program ends with.
    void recordFatal(std::string title, std::string text, std::string haltText) {
        last_ = ShownError{0, Level::Fatal, std::move(title), std::move(text)};
        halt_ = std::move(haltText);
    }

    const ShownError& last() const { return last_; }
    const std::string& haltText() const { return halt_; }
    void setProcedure(std::string name) { procedure_ = std::move(name); }
    const std::string& procedure() const { return procedure_; }

private:
    Level show(int id, Level level, const std::string& title, const std::string& text);

    UserInterface* ui_;
    ShownError last_;
    std::string halt_;
    std::string procedure_;
};

} // namespace qd
