#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void failWith(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        failWith("posix_openpt");
    }
    try {
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            failWith("grantpt/unlockpt");
        }
        const char* name = ::ptsname(master_);
        if (name == nullptr) {
            failWith("ptsname");
        }
        slavePath_ = name;
        openSlave();
        if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
            failWith("fcntl on the master");
        }
    } catch (...) {
        ::close(master_);
        if (slave_ >= 0) {
            ::close(slave_);
        }
        throw;
    }
}

PseudoTerminal::~PseudoTerminal() {
    ::close(slave_);
    ::close(master_);
}

void PseudoTerminal::openSlave() {
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        failWith("cannot open the slave");
    }
    termios settings{};
    if (::tcgetattr(slave_, &settings) != 0) {
        failWith("tcgetattr");
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B115200);
    ::cfsetospeed(&settings, B115200);
    if (::tcsetattr(slave_, TCSANOW, &settings) != 0) {
        failWith("tcsetattr");
    }
}

void publishSlavePath(const std::string& file, const std::string& slavePath) {
    const std::string temporary = file + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << slavePath;
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), file.c_str()) != 0) {
        failWith("cannot rename the slave file");
    }
}
