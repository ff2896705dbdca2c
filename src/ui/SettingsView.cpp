#include "ui/SettingsView.h"

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/Globals.h"
#include "data/Settings.h"
#include "data/Text.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace qdui {
namespace {

std::string valueOf(const qd::ProgramSettings& s, const qd::SettingDef& def) {
    if (const auto* b = std::get_if<bool qd::ProgramSettings::*>(&def.member)) return s.*(*b) ? "1" : "0";
    if (const auto* n = std::get_if<std::int32_t qd::ProgramSettings::*>(&def.member))
        return std::to_string(s.*(*n));
    if (const auto* t = std::get_if<std::string qd::ProgramSettings::*>(&def.member)) {
        if (def.secret) return (s.*(*t)).empty() ? "" : "(set)";
        return s.*(*t);
    }
    return {};
}

} // namespace

Variables programVariables(const qd::ProgramSettings& settings) {
    Variables out;
    for (const qd::SettingDef& def : qd::settingDefs()) {
        if (std::holds_alternative<std::monostate>(def.member)) continue;
        std::string name(def.key);
        std::replace(name.begin(), name.end(), ':', '_');
        out.emplace_back(name, valueOf(settings, def));
    }
    out.emplace_back("UserName", settings.UserName);
    out.emplace_back("GLO_User", settings.User);
    out.emplace_back("ININame", settings.ININame);
    out.emplace_back("CommandLineInactive", settings.CommandLine.inactive ? "1" : "0");
    out.emplace_back("CommandLineConfig", settings.CommandLine.config ? "1" : "0");
    out.emplace_back("CommandLineUser", settings.CommandLine.user.value_or(""));
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return qd::text::upperAscii(a.first) < qd::text::upperAscii(b.first);
    });
    return out;
}

std::string variablesText(const Variables& variables) {
    std::string text;
    for (const auto& [name, value] : variables) {
        // One line per variable, whatever the value holds.
        std::string flat = value;
        std::replace(flat.begin(), flat.end(), '\n', ' ');
        text += name + "=" + flat + "\n";
    }
    return text;
}

SettingsView::SettingsView(std::function<Variables()> variables, const qd::Clock& clock, QWidget* parent)
    : QDialog(parent), variables_(std::move(variables)), clock_(clock) {
    setObjectName("SettingsView");
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    list_ = new QPlainTextEdit(this);
    list_->setObjectName("Variables");
    list_->setAccessibleName("Program variables");
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton("&Close", QDialogButtonBox::RejectRole);
    close->setAccessibleName("Close");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(420, 480);
    connect(&timer_, &QTimer::timeout, this, &SettingsView::rebuild);
    timer_.start(1000);
    rebuild();
}

void SettingsView::rebuild() {
    const qd::Time t = clock_.now().time;
    const int seconds = t > 0 ? (t - 1) / 100 : 0;
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60,
                  seconds % 60);
    setWindowTitle(QStringLiteral("Settings View - %1").arg(clock));
    const QString text = QString::fromStdString(variablesText(variables_()));
    if (text == list_->toPlainText()) return;
    // Keep the place the user scrolled to.
    const int at = list_->verticalScrollBar()->value();
    list_->setPlainText(text);
    list_->verticalScrollBar()->setValue(at);
}

QString SettingsView::text() const {
    return list_->toPlainText();
}

} // namespace qdui
