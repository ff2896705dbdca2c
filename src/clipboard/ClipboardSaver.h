// The clipboard saver: every new, non-blank text that passes through the
// clipboard becomes one entry of the Clipboard table, stamped with the moment
// and the foreground window's title, and the oldest unkept entries go so that
// the table keeps about MaxClipboardEntries entries.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Globals.h"
#include "data/Records.h"

#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Longest text an entry keeps.
inline constexpr std::size_t kMaxClipText = 8192;

// The entry's hash key: the capital letters A-Z of the text (trailing blanks
// removed), in order, at most 120. Two texts with the same hash key count as
// the same entry.
std::string ClipHashKey(std::string_view text);

// Whether an entry's text is drawn in the "runnable" colour: it holds
// "http:", "mailto:", ".exe" or ".lnk" in any case.
bool clipLooksRunnable(std::string_view text);

enum class CaptureOutcome {
    Unchanged, // the same text as the last one seen
    Blank,     // empty or only white space
    Stored,
    NotStored, // an entry with the same hash key exists, or the store refused
    Ignored,   // the program's own write or a secret: remembered, not stored
};

const char* toString(CaptureOutcome o);

class ClipboardSaver {
public:
    ClipboardSaver(DataSet& ds, const ProgramSettings& settings, const Clock& clock);

    // One clipboard text as seen now, with the title of the window in the
    // foreground (CaptureClipboard on a text already read).
    CaptureOutcome capture(std::string_view text, std::string_view foregroundTitle);
    // The same for a text seen at an earlier moment (stamped with it).
    CaptureOutcome capture(std::string_view text, std::string_view foregroundTitle, Moment at);
    // Remembers a text without storing it: the program's own writes and texts
    // marked secret.
    CaptureOutcome ignore(std::string_view text);

    // Deletes the oldest unkept entries until the table holds at most
    // MaxClipboardEntries; an entry whose text is `current` stays.
    void TrimClipboard(std::string_view current);

    const std::string& lastText() const { return last_; }

private:
    DataSet& ds_;
    const ProgramSettings& settings_;
    const Clock& clock_;
    std::string last_;
};

// Adds an entry by hand (qdctl, the list's New): the capture rules without the
// "same as last" test, category "General" unless given.
CaptureOutcome addClipboardEntry(DataSet& ds, const ProgramSettings& settings, const Clock& clock,
                                 std::string_view text, std::string_view category = {});

} // namespace qd

namespace qd {

// Reads the stored entry that `entry` was read from (same moment and text),
// so the table can update or delete it; entries without a capital letter all
// have a blank hash key, which is not in the hash key's index. False when it
// is gone.
bool fetchClipEntry(Table<ClipboardRecord>& t, const ClipboardRecord& entry);

// Flips an entry's "Save" indicator; false when the entry is gone or the store
// refused.
bool toggleClipKeep(DataSet& ds, const ClipboardRecord& entry);

// Whether a category may stand in an entry as typed: "General", or one of the
// clipboard categories.
bool clipCategoryKnown(DataSet& ds, std::string_view category);

// The clipboard categories in name order.
std::vector<std::string> clipCategories(DataSet& ds);

} // namespace qd
