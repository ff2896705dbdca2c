#include "data/StoreTransaction.h"

namespace qd {

StoreTransaction::StoreTransaction(FileManager& table) : table_(table), file_(table.file()) {
    if (!file_) {
        status_ = Level::Notify;
        return;
    }
    if (file_->begin() != kStoreOk) {
        status_ = cancelled();
        return;
    }
    open_ = true;
}

StoreTransaction::~StoreTransaction() {
    rollback();
}

Level StoreTransaction::cancelled() {
    ErrorContext ctx;
    ctx.file = table_.def().label;
    const StoreError e = file_->lastError();
    ctx.errorText = e.text;
    ctx.errorCode = e.code;
    return table_.dataSet().errors().throwMessage(21, ctx);
}

Level StoreTransaction::commit() {
    if (!open_) return status_ == Level::Benign ? Level::Notify : status_;
    open_ = false;
    if (file_->commit() == kStoreOk) return Level::Benign;
    const Level l = cancelled();
    file_->rollback();
    status_ = l;
    return l;
}

void StoreTransaction::rollback() {
    if (!open_) return;
    open_ = false;
    file_->rollback();
}

} // namespace qd
