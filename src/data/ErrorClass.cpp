#include "data/ErrorClass.h"

#include <array>

namespace qd {
namespace {

constexpr std::array<ErrorMessage, 40> kMessages{{
    {1, Level::Notify, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous window."},
    {2, Level::Notify, "Access Denied", "Could not get write access to %File so trying read-only."},
    {3, Level::User, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    {4, Level::Notify, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    {5, Level::Notify, "Add New Record?", "Record match not found, do you wish to add a new one?"},
    {6, Level::Notify, "Record Was Not Updated", "This record was changed by another station."},
    {7, Level::Notify, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button "
     "or "
     "Ctrl+' to recall your changes."},
    {8, Level::User, "Changes will be lost!", "Are you sure you want to cancel?"},
    {9, Level::User, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
    {10, Level::Fatal, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {11, Level::Notify, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    {12, Level::Notify, "Invalid Request", "This form cannot be used to delete a record"},
    {13, Level::Notify, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    {14, Level::Notify, "Field contents error", "The value of %Field must be found in the %Message file."},
    {15, Level::Notify, "Value Error", "The value of %Field must be in the list : %Message."},
    {16, Level::Notify, "Range Error", "The value of %Field must be between %Message."},
    {17, Level::Notify, "Range Error", "The value of %Field must be lower than %Message."},
    {18, Level::Notify, "Range Error", "The value of %Field must be higher than %Message."},
    {19, Level::Notify, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    {20, Level::Notify, "Invalid Request", "This form cannot be used to insert a record"},
    {21, Level::Notify, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    {22, Level::Notify, "No Records", "There are no records available to process."},
    {23, Level::Fatal, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
    {24, Level::Notify, "Procedure not defined", "The Procedure %Message has not been defined."},
    {25, Level::Notify, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    {26, Level::Fatal, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {27, Level::Notify, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {28, Level::Notify, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    {30, Level::Notify, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these references "
     "exist."},
    {31, Level::Notify, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from change and "
     "have "
     "been reset to original values."},
    {32, Level::User, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    {33, Level::User, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    {34, Level::User, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    {35, Level::User, "Save Record", "Do you want to save the changes to this record?"},
    {36, Level::User, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the file?"},
    {37, Level::User, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    {38, Level::Notify, "Invalid Request", "This form cannot be used to update a record"},
    {39, Level::Program, "File Usage Error", "Attempt to use file (%File) before it was opened"},
    {40, Level::Notify, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
    {41, Level::Notify, "Unsupported QBE Column",
     "The saved QBE column, %Field is not supported. It will be dropped from the query."},
}};

void replaceAll(std::string& s, std::string_view from, const std::string& to) {
    std::size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), to);
        pos += to.size();
    }
}

} // namespace

const ErrorMessage* ErrorClass::find(int id) {
    for (const auto& m : kMessages)
        if (m.id == id) return &m;
    return nullptr;
}

std::string ErrorClass::substitute(std::string_view text, const ErrorContext& ctx) {
    std::string s(text);
    // Longer names first: %FileErrorCode before %FileError before %File.
    replaceAll(s, "%FileErrorCode", std::to_string(ctx.fileErrorCode));
    replaceAll(s, "%FileError", ctx.fileError);
    replaceAll(s, "%File", ctx.file);
    replaceAll(s, "%ErrorCode", std::to_string(ctx.errorCode));
    replaceAll(s, "%ErrorText", ctx.errorText);
    replaceAll(s, "%Field", ctx.field);
    replaceAll(s, "%Message", ctx.message);
    return s;
}

Level ErrorClass::show(int id, Level level, const std::string& title, const std::string& text) {
    last_ = ShownError{id, level, title, text};
    switch (level) {
    case Level::Benign:
        return Level::Benign;
    case Level::User: {
        const bool yes = ui_ ? ui_->ask(title, text) : false;
        return yes ? Level::Benign : Level::Cancel;
    }
    case Level::Program:
    case Level::Fatal:
        last_.text = text + "  Press OK to end this application";
        if (ui_) ui_->message(title, last_.text, MessageIcon::Hand);
        return level;
    case Level::Cancel:
    case Level::Notify:
        if (ui_) ui_->message(title, text, MessageIcon::Exclamation);
        return Level::Notify;
    }
    return level;
}

Level ErrorClass::throwMessage(int id, const ErrorContext& ctx) {
    const ErrorMessage* m = find(id);
    if (!m) return show(id, Level::Notify, "Error", "Unknown error " + std::to_string(id));
    return show(id, m->level, m->title, substitute(m->text, ctx));
}

Level ErrorClass::programWarning(int id, const std::string& name, const std::string& error) {
    const std::string end = ".  Press OK to end this application.";
    auto fatal = [&](const char* title, const std::string& text, const char* haltText) {
        last_ = ShownError{id, Level::Fatal, title, text};
        halt_ = haltText;
        if (ui_) ui_->message(title, text, MessageIcon::Hand);
        return Level::Fatal;
    };
    switch (id) {
    case 1:
        return fatal("Invalid File", "Error: (" + error + ") accessing " + name + end, "Invalid File!");
    case 2: {
        const std::string text = name + " key file is invalid.  Do you want to rebuild the key?";
        last_ = ShownError{id, Level::User, "Invalid Key", text};
        return (ui_ && ui_->ask("Invalid Key", text)) ? Level::Benign : Level::Cancel;
    }
    case 3:
        return fatal("Key Rebuild Error", "Error: (" + error + ") repairing key for " + name + end,
                     "Error Rebuilding Key!");
    case 4:
        return fatal("File Creation Error", "Error: (" + error + ") creating " + name + end,
                     "File Creation Error!");
    case 5:
        return fatal("File Creation Error", "Error: (" + error + ") opening created file:" + name + end,
                     "File Creation Error!");
    case 30:
    default:
        return fatal("File Access Error", "File (" + name + ") could not be opened.  Error: " + error + ".",
                     "Disk Error");
    }
}

} // namespace qd
