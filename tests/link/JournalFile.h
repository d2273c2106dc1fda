#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The hub event journal's bytes, and the journal reader's verdict on them.
using Bytes = std::vector<unsigned char>;

inline Bytes journalBytes(const char* path = "/mnt/app/client/hub_events.bin")
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void removeJournal()
{
    unlink("/mnt/app/client/hub_events.bin");
}

// Big-endian controller time at offset 8 of the record starting at `at`.
inline unsigned recordTime(const Bytes& journal, size_t at = 0)
{
    return static_cast<unsigned>(journal[at + 8]) << 24 | journal[at + 9] << 16 | journal[at + 10] << 8 |
           journal[at + 11];
}

// Runs the host's journal reader; its exit status is 0 for whole records only.
inline int journalReaderStatus(const std::string& toolsDir, std::string& output)
{
    const std::string command = toolsDir + "/qor-journal /mnt/app/client/hub_events.bin";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
