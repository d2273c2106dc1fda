#pragma once

#include <string>

#include "Types.h"

// The JSON-lines record. Each line goes out in one append write, so that a
// reader never sees half a line and nothing waits in a buffer at exit.
class Record {
public:
    Record(const std::string& path, TimePoint start);
    ~Record();
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // Writes "t_ms" followed by the line's own members.
    void write(const Json& line, TimePoint now);

private:
    int fd_ = -1;
    TimePoint start_;
};
