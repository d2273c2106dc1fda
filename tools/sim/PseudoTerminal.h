#pragma once

#include <string>

// The controller's end of the line. The slave stays open here for the whole
// run: otherwise each close by a program would hang the master up.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

private:
    void openSlave();

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Writes the slave's path under a temporary name and renames it into place.
void publishSlavePath(const std::string& file, const std::string& slavePath);
