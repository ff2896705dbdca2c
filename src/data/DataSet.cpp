#include "data/DataSet.h"
#include "data/Text.h"

#include "data/FileModes.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qd {
namespace {} // namespace

DataSet::DataSet(std::filesystem::path folder, ErrorClass& errors)
    : folder_(std::move(folder)), errors_(errors) {}

DataSet::~DataSet() {
    closeAll();
}

std::filesystem::path DataSet::resolve(const std::string& name) const {
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');
    while (n.rfind("./", 0) == 0)
        n.erase(0, 2);
    std::filesystem::path p(n);
    if (p.is_absolute()) return p;
    const std::filesystem::path dir = (folder_ / p).parent_path();
    const std::string leaf = p.filename().string();
    std::error_code ec;
    if (std::filesystem::exists(dir / leaf, ec)) return dir / leaf;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (equalsNoCase(it->path().filename().string(), leaf)) return it->path();
    return dir / leaf;
}

TableLocation DataSet::locate(const TableDef& t) const {
    std::string storage = t.currentStorageName();
    std::string fileName = storage;
    std::string table = t.label;
    const auto bang = storage.find("\\!");
    if (bang != std::string::npos) {
        fileName = storage.substr(0, bang);
        table = storage.substr(bang + 2);
    }
    // The containers are written the way the start-up check looks for them,
    // whichever table's spelling ("Qd97.TPS", "qd97") created the file.
    for (const char* canonical : {"QD97", "QDTpl"}) {
        const std::string stem = std::filesystem::path(fileName).stem().string();
        if (equalsNoCase(stem, canonical))
            fileName = canonical + std::filesystem::path(fileName).extension().string();
    }
    if (t.kind == TableKind::Store && std::filesystem::path(fileName).extension().empty()) fileName += ".TPS";
    if (equalsNoCase(std::filesystem::path(fileName).extension().string(), ".TPS"))
        fileName = std::filesystem::path(fileName).replace_extension(".TPS").string();
    return {resolve(fileName), table};
}

std::string DataSet::tableKey(const TableDef& t) const {
    const TableLocation loc = locate(t);
    return text::lowerAscii(loc.file.string()) + "|" + text::lowerAscii(loc.table);
}

bool DataSet::readyNow(const std::string& key, const TableDef& t) const {
    auto it = ready_.find(key);
    if (it == ready_.end()) return false;
    auto file = files_.find(text::lowerAscii(locate(t).file.string()));
    return file != files_.end() && file->second->tablesUndone() == it->second;
}

StoreFile* DataSet::fileOf(const TableDef& t) {
    if (!readyNow(tableKey(t), t)) return nullptr;
    auto it = files_.find(text::lowerAscii(locate(t).file.string()));
    return it == files_.end() ? nullptr : it->second.get();
}

bool DataSet::isOpen(const TableDef& t) const {
    return readyNow(tableKey(t), t);
}

void DataSet::closeAll() {
    ++generation_;
    ready_.clear();
    files_.clear();
}

void DataSet::forget(const TableDef& t) {
    ++generation_;
    ready_.erase(tableKey(t));
}

OpenResult DataSet::upgradeFailed(const TableDef&, const StoreError& e) {
    UserInterface* ui = errors_.userInterface();
    const std::string title = "Upgrade Error";
    const std::string text = "The databases must be upgraded before using this version or the version you "
                             "are installing is not the "
                             "latest.  Re-install this application, or contact Klevora.";
    if (ui) {
        ui->message(title, text, MessageIcon::Hand);
        ui->setClipboardText("\r\nError:  " + e.text + "\r\nPath:  " + folder_.string() + "\r\n");
        ui->message(
            "Assistant",
            "The error has been placed in the clipboard.  Press CTRL-V in your email message to paste it.",
            MessageIcon::Information);
    }
    errors_.recordFatal("Upgrade Error", text, "Cannot proceed.");
    return OpenResult{OpenStatus::Fatal, e};
}

OpenResult DataSet::openTable(const TableDef& t, const OpenOptions& options) {
    if (t.kind != TableKind::Store)
        return OpenResult{OpenStatus::NotFound,
                          {kStoreMisuse, t.label + " is a text file, not a keyed table"}};
    const std::string key = tableKey(t);
    if (readyNow(key, t)) return {};
    const TableLocation loc = locate(t);
    const std::string fileKey = text::lowerAscii(loc.file.string());
    const std::string name = loc.file.filename().string();

    if (files_.empty()) {
        // Files that anyone may replace could make this program run anything.
        if (const std::string why = unsafeDataFolder(folder_); !why.empty()) {
            if (UserInterface* ui = errors_.userInterface())
                ui->message("Data Folder Not Safe", why, MessageIcon::Hand);
            errors_.recordFatal("Data Folder Not Safe", why, why);
            return OpenResult{OpenStatus::Fatal, {kStoreCantOpen, why}};
        }
    }
    StoreFile* file = nullptr;
    if (auto it = files_.find(fileKey); it != files_.end()) file = it->second.get();
    if (!file) {
        const bool create = options.createIfMissing && !options.neverCreate;
        StoreError err;
        auto opened = StoreFile::open(loc.file, t.encrypted, create, err, passphrase_);
        if (!opened && err.primary() == kStoreBusy) {
            // Locked by another process: wait a short, bounded time and try once more.
            std::this_thread::sleep_for(std::chrono::seconds(3));
            opened = StoreFile::open(loc.file, t.encrypted, create, err, passphrase_);
        }
        if (!opened) {
            if (err.code == kStoreCantOpen && !std::filesystem::exists(loc.file)) {
                if (options.neverCreate) return OpenResult{OpenStatus::NotFound, err};
                errors_.programWarning(4, name, err.text);
                return OpenResult{OpenStatus::Fatal, err};
            }
            errors_.programWarning(30, name, err.text);
            return OpenResult{OpenStatus::Fatal, err};
        }
        file = opened.get();
        files_.emplace(fileKey, std::move(opened));
    }

    for (int attempt = 0; attempt < 3; ++attempt) {
        StoreError err;
        switch (file->inspect(t, loc.table, err)) {
        case TableState::Ready:
            ready_[key] = file->tablesUndone();
            return {};
        case TableState::Missing:
            if (options.neverCreate)
                return OpenResult{OpenStatus::NotFound, {kStoreCantOpen, "File Not Found"}};
            if (!file->createTable(t, loc.table, err)) {
                errors_.programWarning(4, name, err.text);
                return OpenResult{OpenStatus::Fatal, err};
            }
            continue; // inspect the new table once more
        case TableState::NeedsUpgrade:
            if (!file->upgradeTable(t, loc.table, err)) return upgradeFailed(t, err);
            continue;
        case TableState::Newer:
            return upgradeFailed(t, err);
        case TableState::Damaged:
            errors_.programWarning(30, name, err.text);
            return OpenResult{OpenStatus::Fatal, err};
        case TableState::IndexDamaged:
            if (errors_.programWarning(2, t.label, "") != Level::Benign)
                return OpenResult{OpenStatus::Declined, {kStoreCorrupt, t.label + " key file is invalid"}};
            if (!file->rebuildKeys(t, loc.table, err)) {
                errors_.programWarning(3, t.label, err.text);
                return OpenResult{OpenStatus::Fatal, err};
            }
            continue;
        }
    }
    const StoreError err{kStoreError, "The table " + t.label + " could not be prepared"};
    errors_.programWarning(30, name, err.text);
    return OpenResult{OpenStatus::Fatal, err};
}

} // namespace qd
