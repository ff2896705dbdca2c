#include "data/RelationManager.h"

#include <memory>
#include <set>

namespace qd {
namespace {

constexpr int kMaxDepth = 16; // the dictionary's relations nest three deep at most

// Positions a child table on the children of the parent's (saved) linking values.
bool startChildren(GenericTable& child, const RelationDef& rel, const std::vector<FieldValue>& parentValues) {
    child.clearBuffer();
    for (std::size_t i = 0; i < rel.links.size(); ++i)
        child.setValue(rel.links[i].second, parentValues[i]);
    child.setPosition(rel.childKey, static_cast<int>(rel.links.size()));
    return true;
}

bool sameLink(const FileManager& child, const RelationDef& rel, const std::vector<FieldValue>& parentValues) {
    for (std::size_t i = 0; i < rel.links.size(); ++i) {
        const FieldValue v = child.value(rel.links[i].second);
        const FieldValue& p = parentValues[i];
        if (v.index() != p.index()) return false;
        if (std::holds_alternative<std::string>(v)) {
            if (!equalsNoCase(std::get<std::string>(v), std::get<std::string>(p))) return false;
        } else if (std::get<long long>(v) != std::get<long long>(p)) {
            return false;
        }
    }
    return true;
}

bool linkEmpty(const std::vector<FieldValue>& values) {
    for (const auto& v : values) {
        if (std::holds_alternative<std::string>(v) ? !std::get<std::string>(v).empty()
                                                   : std::get<long long>(v) != 0)
            return false;
    }
    return true;
}

std::vector<FieldValue> savedLinks(const FileManager& parent, const RelationDef& rel) {
    std::vector<FieldValue> v;
    for (const auto& [p, c] : rel.links)
        v.push_back(parent.savedValue(p));
    return v;
}

std::vector<FieldValue> currentLinks(const FileManager& parent, const RelationDef& rel) {
    std::vector<FieldValue> v;
    for (const auto& [p, c] : rel.links) {
        FieldValue x = parent.value(p);
        if (std::holds_alternative<std::string>(x)) {
            const FieldDef& fd = parent.def().field(p);
            x = fitText(std::get<std::string>(x), fd.type, fd.width);
        }
        v.push_back(x);
    }
    return v;
}

bool linksDiffer(const std::vector<FieldValue>& a, const std::vector<FieldValue>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].index() != b[i].index()) return true;
        if (std::holds_alternative<std::string>(a[i])) {
            // A change of letter case alone is a change of the text.
            if (std::get<std::string>(a[i]) != std::get<std::string>(b[i])) return true;
        } else if (std::get<long long>(a[i]) != std::get<long long>(b[i])) {
            return true;
        }
    }
    return false;
}

} // namespace

Level RelationManager::deleteChildren(FileManager& parent, int depth) {
    if (depth > kMaxDepth) return Level::Notify;
    for (const RelationDef* rel : tables::relationsOf(parent.def())) {
        if (rel->onDelete == Rule::None) continue;
        const std::vector<FieldValue> links = savedLinks(parent, *rel);
        if (linkEmpty(links)) continue; // an empty link has no children
        GenericTable child(parent.dataSet(), *rel->child);
        if (Level l = child.open(); l != Level::Benign) return l;
        startChildren(child, *rel, links);
        while (child.next() == Level::Benign && sameLink(child, *rel, links)) {
            switch (rel->onDelete) {
            case Rule::Restrict: {
                ErrorContext ctx;
                ctx.file = rel->child->label;
                parent.dataSet().errors().throwMessage(30, ctx);
                return Level::Notify;
            }
            case Rule::Cascade:
                if (Level l = deleteChildren(child, depth + 1); l != Level::Benign) return l;
                if (Level l = child.deleteRecord(); l != Level::Benign) return l;
                break;
            case Rule::Clear:
                for (const auto& [p, c] : rel->links)
                    child.setValue(c, child.def().field(c).type == FieldType::Long ||
                                              child.def().field(c).type == FieldType::ULong ||
                                              child.def().field(c).type == FieldType::Byte
                                          ? FieldValue{0LL}
                                          : FieldValue{std::string()});
                if (Level l = child.update(); l != Level::Benign) return l;
                // The cleared record left this parent's range; start again from the parent's values.
                startChildren(child, *rel, links);
                break;
            case Rule::None:
                break;
            }
        }
    }
    return Level::Benign;
}

Level RelationManager::updateChildren(FileManager& parent, int depth) {
    if (depth > kMaxDepth) return Level::Notify;
    for (const RelationDef* rel : tables::relationsOf(parent.def())) {
        const std::vector<FieldValue> oldLinks = savedLinks(parent, *rel);
        const std::vector<FieldValue> newLinks = currentLinks(parent, *rel);
        if (!linksDiffer(oldLinks, newLinks) || rel->onUpdate == Rule::None || linkEmpty(oldLinks)) continue;
        GenericTable child(parent.dataSet(), *rel->child);
        if (Level l = child.open(); l != Level::Benign) return l;
        startChildren(child, *rel, oldLinks);
        while (child.next() == Level::Benign && sameLink(child, *rel, oldLinks)) {
            if (rel->onUpdate == Rule::Restrict) {
                std::vector<int> fields;
                for (const auto& [p, c] : rel->links)
                    fields.push_back(p);
                parent.restoreSaved(fields);
                ErrorContext ctx;
                ctx.file = rel->child->label;
                parent.dataSet().errors().throwMessage(31, ctx);
                return Level::Notify;
            }
            for (std::size_t i = 0; i < rel->links.size(); ++i) {
                const int c = rel->links[i].second;
                if (rel->onUpdate == Rule::Cascade)
                    child.setValue(c, newLinks[i]);
                else
                    child.setValue(c, std::holds_alternative<std::string>(newLinks[i])
                                          ? FieldValue{std::string()}
                                          : FieldValue{0LL});
            }
            if (Level l = updateChildren(child, depth + 1); l != Level::Benign) return l;
            if (Level l = child.update(); l != Level::Benign) return l;
            // The child moved out of the old range; look again from the start of it.
            startChildren(child, *rel, oldLinks);
        }
    }
    return Level::Benign;
}

Level RelationManager::inTransaction(FileManager& t, Level (RelationManager::*work)(FileManager&, int),
                                     bool thenUpdate, int concurrencyMessage) {
    if (!t.opened()) return t.deleteRecord(); // raises the not-opened message
    StoreFile* f = t.file();
    if (!f) return Level::Notify;
    if (int rc = f->begin(); rc != kStoreOk) {
        ErrorContext ctx;
        ctx.file = t.def().label;
        ctx.errorText = f->lastError().text;
        return t.dataSet().errors().throwMessage(21, ctx);
    }
    // Every relation of the dictionary that acts (restrict, cascade, clear) links
    // tables of one file, so one transaction on the parent's file covers the
    // whole tree.
    Level l = (this->*work)(t, 0);
    if (l == Level::Benign) l = thenUpdate ? t.update(concurrencyMessage) : t.deleteRecord();
    if (l != Level::Benign) {
        f->rollback();
        return l;
    }
    if (f->commit() != kStoreOk) {
        f->rollback();
        ErrorContext ctx;
        ctx.file = t.def().label;
        ctx.errorText = f->lastError().text;
        return t.dataSet().errors().throwMessage(thenUpdate ? 25 : 11, ctx);
    }
    return Level::Benign;
}

Level RelationManager::deleteRecord(bool ask) {
    if (ask) {
        if (table_.dataSet().errors().throwMessage(9, ErrorContext{}) != Level::Benign) return Level::Cancel;
    }
    return inTransaction(table_, &RelationManager::deleteChildren, false, 0);
}

Level RelationManager::update(int concurrencyMessage) {
    return inTransaction(table_, &RelationManager::updateChildren, true, concurrencyMessage);
}

} // namespace qd
