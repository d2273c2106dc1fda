#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "Types.h"

// One step of a reply going out: its record lines, then its bytes.
struct TimedWrite {
    TimePoint at;
    std::vector<Json> lines;
    Bytes bytes;
};

// Replies wait here for their time. Steps go out in the order queued, never
// before an earlier one, as on a real line.
class ReplyQueue {
public:
    void push(TimedWrite write);
    std::optional<TimePoint> nextTime() const;
    std::vector<TimedWrite> takeDue(TimePoint now);

private:
    TimePoint notBeforeLast(TimePoint at) const;

    std::deque<TimedWrite> writes_;
};
