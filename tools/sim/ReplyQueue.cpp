#include "ReplyQueue.h"

#include <algorithm>
#include <utility>

void ReplyQueue::push(TimedWrite write) {
    write.at = notBeforeLast(write.at);
    writes_.push_back(std::move(write));
}

TimePoint ReplyQueue::notBeforeLast(TimePoint at) const {
    return writes_.empty() ? at : std::max(at, writes_.back().at);
}

std::optional<TimePoint> ReplyQueue::nextTime() const {
    if (writes_.empty()) {
        return std::nullopt;
    }
    return writes_.front().at;
}

std::vector<TimedWrite> ReplyQueue::takeDue(TimePoint now) {
    std::vector<TimedWrite> due;
    while (!writes_.empty() && writes_.front().at <= now) {
        due.push_back(std::move(writes_.front()));
        writes_.pop_front();
    }
    return due;
}
