// Script variables, the bracket substitution in texts, expressions and the
// comparison of "If Value..." steps.
//
// Variables live in one in-memory list, VARQ, shared by the whole program and
// lost at exit. Names are stored and looked up in upper case (at most 32
// characters); values are texts of at most 255 characters with a numeric reading
// (0 when the text is not a number).
//
// Texts anywhere in a script refer to values with bracketed names: "[DATE]",
// "[COUNT]", "[= AGE(DATE(10,31,1959),TODAY())]". "[[" stands for "[" and "[]"
// for "]". Fixed names (all compared in upper case):
//   YYYY-MM-DD DD-MM-YY MM-DD-YY DDMMYY MMDDYY   today in these shapes
//   DATE DATE-1 DATE+1                           today, yesterday, tomorrow as yyyymmdd
//   TODAY YESTERDAY TOMORROW                     in the user's date format
//   TIME                                         now as hhmmss
//   NOW                                          now in the short time format ("@t7")
//   FOCUS                                        text of the window with the keyboard focus
//   =expression                                  the expression's value (see Expression.h)
// Any other name is a variable; unknown variables are empty.
//
// Typical use by the interpreter:
//   ScriptValues& v = processScriptValues();
//   v.setSettings({.dateFormat = settings.DateFormat, .debugMode = debug});
//   v.setFocusProvider([&] { return targeting.FocusText(); });
//   v.SetValue("ExitCode", "259");
//   std::string text = v.TranslateText(step.DDEApplicationName);
//   bool run = v.CompareValues(step.Command, step.WindowTitleToCheckFor, step.WaitForWindow);
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class Clock;
class EventLog;

// One entry of VARQ.
struct VariableEntry {
    std::string NAME;        // upper case, at most 32 characters
    std::string STRINGVALUE; // at most 255 characters, without trailing blanks
    double VALUE = 0;        // numeric reading of STRINGVALUE, two decimals
};

// The variable list. Safe to use from several threads (the mail sender sets
// its variables on its own thread).
class VariableQueue {
public:
    static constexpr std::size_t kNameWidth = 32;
    static constexpr std::size_t kValueWidth = 255;

    // Adds or replaces a variable; the name is upper-cased and cut to 32
    // characters, the value cut to 255.
    void set(std::string_view name, std::string_view value);
    // The entry of that name (any case, trailing blanks ignored).
    std::optional<VariableEntry> find(std::string_view name) const;
    // Text of a variable without trailing blanks; "" when there is none.
    std::string text(std::string_view name) const;
    std::vector<VariableEntry> entries() const;
    std::size_t size() const;
    void clear();

    // The key a name is stored under.
    static std::string keyOf(std::string_view name);

private:
    mutable std::mutex mutex_;
    std::vector<VariableEntry> entries_; // in insertion order
};

// The program's variable list.
VariableQueue& VARQ();

// Settings the value functions read (wired from the program settings).
struct ValueSettings {
    std::string dateFormat = "d3"; // the DateFormat setting, e.g. "d3", "d17", "n4b"
    bool debugMode = false;        // write the debug lines to the event log
};

class ScriptValues {
public:
    using FocusFn = std::function<std::string()>;

    // Works on `vars`; the process clock and no event log until set.
    explicit ScriptValues(VariableQueue& vars = VARQ());

    void setSettings(ValueSettings settings) { settings_ = std::move(settings); }
    const ValueSettings& settings() const { return settings_; }
    // The clock today and now are read from (nullptr: the process clock).
    void setClock(const Clock* clock) { clock_ = clock; }
    // Where debug lines go (nullptr: nowhere).
    void setEventLog(EventLog* log) { log_ = log; }
    // Text of the window with the keyboard focus, for [FOCUS].
    void setFocusProvider(FocusFn fn) { focus_ = std::move(fn); }

    VariableQueue& variables() { return vars_; }

    // Sets a variable. The value is translated first; a translated value that
    // begins with "=" is evaluated as an expression, and when the evaluator
    // rejects it the translated text is stored as it is, "=" included.
    void SetValue(std::string_view name, std::string_view value);

    // The value of one bracketed name (table in the file comment).
    std::string TranslateVariable(std::string_view name) const;

    // The text with every bracketed name replaced, without trailing blanks.
    // Inner brackets are replaced first and their result read again as part of
    // the outer name ("[A[N]]" reads variable "A" followed by N's value). An
    // unclosed "[" leaves the rest of the text as it is. Works on at most 16384
    // characters.
    std::string TranslateText(std::string_view text) const;

    // A command line translated argument by argument: it is split into
    // arguments first (platform/CommandLine.h; a bracketed name is one piece,
    // whatever blanks or quotes it holds), then each argument is translated
    // once and exactly (its own trailing blanks kept). A value with blanks,
    // quotes or brackets stays inside its argument and is not read again.
    std::vector<std::string> TranslateArguments(std::string_view commandLine) const;
    // The translated arguments written back as one command line that splits
    // into exactly them: an argument that took a value is always in quotes, so
    // it never joins a neighbour (the program part of an unquoted path with
    // blanks is found among the words as written). The line as it is when no
    // argument changes.
    std::string TranslateCommandLine(std::string_view commandLine) const;

    // The evaluator's result as text; nullopt when it rejects the expression.
    std::optional<std::string> EvaluateExpression(std::string_view expression) const;

    // "If Value...": left is a bare name (translated with TranslateVariable),
    // right a text (translated when it begins with "["). Numbers are compared
    // when either side reads as a non-zero number or the left name is FILEEXISTS,
    // FILESIZE, FILEDATE, DATE, FILETIME, TIME or contains "#"; otherwise the
    // texts, case-sensitive. Operators: "=", "<=", "<", "=>", ">", "<>"; any
    // other (">=" included) is false.
    bool CompareValues(std::string_view left, std::string_view op, std::string_view right) const;

    // The user's date format turned into a picture ("@d1" ... "@d18").
    static std::string userDatePicture(std::string_view dateFormat);

private:
    struct Argument {
        std::string written;    // as in the command line, quotes removed
        std::string translated; // with the values put in
    };
    std::vector<Argument> translateEach(std::string_view commandLine) const;
    const Clock& clock() const;
    void debug(std::string_view detail, std::string_view label) const;

    VariableQueue& vars_;
    ValueSettings settings_;
    const Clock* clock_ = nullptr;
    EventLog* log_ = nullptr;
    FocusFn focus_;
};

// The program's value functions, on VARQ.
ScriptValues& processScriptValues();

} // namespace qd
