// Ordered output of parallel items: the earliest unfinished item writes through, later ones
// buffer within a shared byte budget and are flushed in item order as earlier items finish.
#include "common/OrderedOutput.hpp"

#include <cerrno>

OrderedOutput::OrderedOutput(std::ostream& report, Progress progress, size_t budgetBytes)
    : report_(report), progress_(progress), budget_(budgetBytes) {}

void OrderedOutput::report(size_t item, const std::string& text) {
    write(item, true, text);
}

void OrderedOutput::progress(size_t item, std::string line) {
    write(item, false, line);
}

void OrderedOutput::emit(const Piece& piece) {
    // errno is the write's own reason only if nothing set it before. A progress line may be
    // the write that fails the report: standard error flushes standard output first.
    errno = 0;
    if (piece.isReport)
        report_ << piece.text;
    else
        progress_.line(piece.text);
    if (!report_ && failure_ == 0) failure_ = errno != 0 ? errno : EIO;
}

void OrderedOutput::write(size_t item, bool isReport, const std::string& text) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Over the budget, a later item waits for its turn rather than buffer more.
    turn_.wait(lock, [&] { return item == current_ || buffered_ + text.size() <= budget_; });
    if (item == current_) {
        emit({isReport, text});
        return;
    }
    buffered_ += text.size();
    pending_[item].push_back({isReport, text});
}

void OrderedOutput::flushCurrent() {
    auto it = pending_.find(current_);
    if (it == pending_.end()) return;
    for (const Piece& piece : it->second) {
        emit(piece);
        buffered_ -= piece.text.size();
    }
    pending_.erase(it);
}

void OrderedOutput::finish(size_t item) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_.insert(item);
    while (finished_.count(current_)) {
        flushCurrent();
        finished_.erase(current_);
        ++current_;
    }
    flushCurrent();  // the new earliest item streams from here on
    turn_.notify_all();
}
