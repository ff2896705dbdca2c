// The settings view: a diagnostic window that lists the program-wide
// variables one per line as name=value, read again every second, with the
// current time in its title.
#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QPlainTextEdit;

namespace qd {
class Clock;
struct ProgramSettings;
} // namespace qd

namespace qdui {

using Variables = std::vector<std::pair<std::string, std::string>>;

// The program-wide variables of `settings` as the program uses them (flags 1/0,
// inverted keys already turned around), with the current user and the command
// line, sorted by name without regard to case. The lock password is never
// shown: it reads "(set)" or blank.
Variables programVariables(const qd::ProgramSettings& settings);
// The lines of the view: "name=value" each.
std::string variablesText(const Variables& variables);

class SettingsView : public QDialog {
    Q_OBJECT
public:
    // `variables` is asked on every rebuild; the settings and the clock must outlive the view.
    SettingsView(std::function<Variables()> variables, const qd::Clock& clock, QWidget* parent = nullptr);

    // Reads the variables and the time again (the timer calls this every second).
    void rebuild();
    QString text() const;

private:
    std::function<Variables()> variables_;
    const qd::Clock& clock_;
    QPlainTextEdit* list_ = nullptr;
    QTimer timer_;
};

} // namespace qdui
