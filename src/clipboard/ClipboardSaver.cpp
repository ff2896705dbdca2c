#include "clipboard/ClipboardSaver.h"

#include "data/FileManager.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "data/TextWidth.h"

#include <algorithm>

namespace qd {

std::string ClipHashKey(std::string_view text) {
    std::string key;
    for (char c : text::trimRight(text)) {
        if (c < 'A' || c > 'Z') continue;
        key += c;
        if (key.size() == ClipboardRecord::Width::ClipHashKey) break;
    }
    return key;
}

bool clipLooksRunnable(std::string_view t) {
    const std::string lower = text::lowerAscii(t);
    for (const char* marker : {"http:", "mailto:", ".exe", ".lnk"})
        if (lower.find(marker) != std::string::npos) return true;
    return false;
}

const char* toString(CaptureOutcome o) {
    switch (o) {
    case CaptureOutcome::Unchanged:
        return "unchanged";
    case CaptureOutcome::Blank:
        return "blank";
    case CaptureOutcome::Stored:
        return "stored";
    case CaptureOutcome::NotStored:
        return "not stored";
    case CaptureOutcome::Ignored:
        return "ignored";
    }
    return "unknown";
}

namespace {

// Blank: nothing but white space. A text that only starts with a tab or a
// line break (a copied table row) is a text.
bool blankText(std::string_view t) {
    return std::all_of(t.begin(), t.end(), [](char c) { return text::isSpace(c); });
}

std::string clipText(std::string_view t) {
    return fitText(t, kMaxClipText);
}

void trimTable(Table<ClipboardRecord>& t, int maxEntries, std::string_view current) {
    if (maxEntries <= 0) return;
    long long count = t.recordCount();
    if (count <= maxEntries) return;
    StoreTransaction tx(t);
    if (!tx.started()) return;
    t.setOrder(t.def().findKey("KeyClipKeep"));
    for (int read = 0; read < maxEntries && count > maxEntries; ++read) {
        if (t.tryNext() != Level::Benign) break;
        if (t.rec.ClipKeep != 0) break;
        if (t.rec.ClipContents == current) continue;
        // A deletion that fails is passed over; trimming goes on.
        if (t.tryDelete() == Level::Benign) --count;
    }
    tx.commit();
}

CaptureOutcome insertEntry(Table<ClipboardRecord>& t, Moment now, const std::string& text,
                           std::string_view category) {
    t.clearBuffer();
    t.rec = ClipboardRecord{};
    t.rec.ClipContents = text;
    t.rec.ClipHashKey = ClipHashKey(text);
    t.rec.ClipDate = now.date;
    t.rec.ClipTime = now.time;
    t.rec.Category = text::trimRight(category).empty() ? std::string("General")
                                                       : fitText(category, ClipboardRecord::Width::Category);
    return t.tryInsert() == Level::Benign ? CaptureOutcome::Stored : CaptureOutcome::NotStored;
}

} // namespace

ClipboardSaver::ClipboardSaver(DataSet& ds, const ProgramSettings& settings, const Clock& clock)
    : ds_(ds), settings_(settings), clock_(clock) {}

CaptureOutcome ClipboardSaver::ignore(std::string_view text) {
    last_ = clipText(text);
    return CaptureOutcome::Ignored;
}

CaptureOutcome ClipboardSaver::capture(std::string_view clip, std::string_view foregroundTitle) {
    return capture(clip, foregroundTitle, clock_.now());
}

CaptureOutcome ClipboardSaver::capture(std::string_view clip, std::string_view foregroundTitle, Moment at) {
    const std::string text = clipText(clip);
    if (text == last_) return CaptureOutcome::Unchanged;
    if (blankText(text)) {
        last_ = text;
        return CaptureOutcome::Blank;
    }
    // Seen from here on, stored or not: a failed insert is not retried.
    last_ = text;
    Table<ClipboardRecord> t(ds_, tables::Clipboard());
    if (t.open() != Level::Benign) return CaptureOutcome::NotStored;
    trimTable(t, settings_.MaxClipboardEntries, text);
    return insertEntry(t, at, text, foregroundTitle);
}

void ClipboardSaver::TrimClipboard(std::string_view current) {
    Table<ClipboardRecord> t(ds_, tables::Clipboard());
    if (t.open() != Level::Benign) return;
    trimTable(t, settings_.MaxClipboardEntries, clipText(current));
}

CaptureOutcome addClipboardEntry(DataSet& ds, const ProgramSettings& settings, const Clock& clock,
                                 std::string_view clip, std::string_view category) {
    const std::string text = clipText(clip);
    if (blankText(text)) return CaptureOutcome::Blank;
    Table<ClipboardRecord> t(ds, tables::Clipboard());
    if (t.open() != Level::Benign) return CaptureOutcome::NotStored;
    trimTable(t, settings.MaxClipboardEntries, text);
    return insertEntry(t, clock.now(), text, category);
}

} // namespace qd

namespace qd {

bool fetchClipEntry(Table<ClipboardRecord>& t, const ClipboardRecord& entry) {
    t.rec.ClipDate = entry.ClipDate;
    t.rec.ClipTime = entry.ClipTime;
    t.setPosition(t.def().findKey("KeyClipDate"));
    while (t.tryNext() == Level::Benign) {
        if (t.rec.ClipDate != entry.ClipDate || t.rec.ClipTime != entry.ClipTime) return false;
        if (t.rec.ClipContents == entry.ClipContents && t.rec.ClipHashKey == entry.ClipHashKey) return true;
    }
    return false;
}

bool toggleClipKeep(DataSet& ds, const ClipboardRecord& entry) {
    Table<ClipboardRecord> t(ds, tables::Clipboard());
    if (t.open() != Level::Benign) return false;
    if (!fetchClipEntry(t, entry)) return false;
    t.rec.ClipKeep = static_cast<std::uint8_t>(1 - (t.rec.ClipKeep ? 1 : 0));
    return t.update() == Level::Benign;
}

bool clipCategoryKnown(DataSet& ds, std::string_view category) {
    const std::string c(text::trimRight(category));
    if (c == "General") return true;
    if (c.empty()) return false;
    Table<ClipboardCategoriesRecord> t(ds, tables::ClipboardCategories());
    if (t.open() != Level::Benign) return false;
    t.rec.Category = c;
    return t.fetch("KeyCategory") == Level::Benign;
}

std::vector<std::string> clipCategories(DataSet& ds) {
    std::vector<std::string> out;
    Table<ClipboardCategoriesRecord> t(ds, tables::ClipboardCategories());
    if (t.open() != Level::Benign) return out;
    t.setOrder(t.def().findKey("KeyCategory"));
    while (t.tryNext() == Level::Benign)
        out.push_back(t.rec.Category);
    return out;
}

} // namespace qd
