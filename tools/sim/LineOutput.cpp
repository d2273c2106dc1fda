#include "LineOutput.h"

#include <cerrno>
#include <iostream>

#include <unistd.h>

void LineOutput::send(const Bytes& bytes) {
    if (buffer_.size() + bytes.size() > LIMIT) {
        // Nobody has read the line for a long time; old replies are worthless.
        std::cerr << "qor-sim: output backlog full, dropping " << buffer_.size() << " bytes\n";
        buffer_.clear();
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    flush();
}

void LineOutput::flush() {
    while (!buffer_.empty()) {
        const ssize_t written = ::write(fd_, buffer_.data(), buffer_.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        buffer_.erase(buffer_.begin(), buffer_.begin() + written);
    }
}
