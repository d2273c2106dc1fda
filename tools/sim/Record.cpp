#include "Record.h"

#include <cerrno>
#include <cmath>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

Record::Record(const std::string& path, TimePoint start) : start_(start) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot open record " + path);
    }
}

Record::~Record() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void Record::write(const Json& line, TimePoint now) {
    const double ms = std::chrono::duration<double, std::milli>(now - start_).count();
    Json out;
    out["t_ms"] = std::round(ms * 10) / 10;
    for (const auto& item : line.items()) {
        out[item.key()] = item.value();
    }
    const std::string text = out.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}
