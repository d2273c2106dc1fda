#include "SimControl.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string SimControl::stateDir()
{
    const char* dir = std::getenv("QOR_SANDBOX");
    return dir != nullptr ? dir : "";
}

bool SimControl::available()
{
    return !stateDir().empty();
}

void SimControl::configure(const Json& config)
{
    Json withGeneration = config;
    // A new generation makes the configuration new even when its content is not.
    withGeneration["generation"] = ++generation;
    const std::string path = stateDir() + "/sim-config.json";
    {
        std::ofstream out(path + ".new");
        out << withGeneration.dump();
    }
    std::rename((path + ".new").c_str(), path.c_str());
    mark();
}

void SimControl::mark()
{
    std::ifstream record(stateDir() + "/sim-record.jsonl", std::ios::ate);
    recordOffset = record ? static_cast<long>(record.tellg()) : 0;
}

std::vector<SimControl::Json> SimControl::recordSinceMark() const
{
    std::vector<Json> lines;
    std::ifstream record(stateDir() + "/sim-record.jsonl");
    record.seekg(recordOffset);
    std::string line;
    while (std::getline(record, line))
        if (!line.empty())
            lines.push_back(Json::parse(line));
    return lines;
}

std::vector<SimControl::Json> SimControl::events(const std::string& kind) const
{
    std::vector<Json> matching;
    for (auto& line : recordSinceMark())
        if (line.value("event", "") == kind)
            matching.push_back(line);
    return matching;
}

std::vector<SimControl::Json> SimControl::frames() const
{
    return events("frame");
}

std::vector<SimControl::Json> SimControl::replies() const
{
    return events("reply");
}

std::vector<std::pair<int, std::string>> SimControl::keypadTexts() const
{
    std::vector<std::pair<int, std::string>> texts;
    for (auto& state : events("state"))
        if (state.value("what", "") == "keypad")
            texts.emplace_back(state["keypad"].get<int>(), bytesOfHex(state["text_hex"].get<std::string>()));
    return texts;
}

std::vector<SimControl::Json> SimControl::standinCalls(const std::string& tool)
{
    std::vector<Json> calls;
    std::ifstream record(stateDir() + "/standins.jsonl");
    std::string line;
    while (std::getline(record, line)) {
        Json call = Json::parse(line);
        if (call.value("tool", "") == tool)
            calls.push_back(call);
    }
    return calls;
}

void SimControl::chooseStatus(const std::string& tool, int status)
{
    std::ofstream(stateDir() + "/exit/" + tool) << status << "\n";
}

std::string SimControl::toolsDir()
{
    const char* dir = std::getenv("QOR_SANDBOX_TOOLS");
    return dir != nullptr ? dir : "";
}

bool SimControl::removeDevice()
{
    return umount2("/dev/ttyAM1", MNT_DETACH) == 0 && unlink("/dev/ttyAM1") == 0;
}

bool SimControl::restoreDevice()
{
    std::ifstream slaveFile(stateDir() + "/sim-slave");
    std::string slave;
    if (!std::getline(slaveFile, slave))
        return false;
    std::ofstream(std::string("/dev/ttyAM1")).flush();
    return mount(slave.c_str(), "/dev/ttyAM1", nullptr, MS_BIND, nullptr) == 0;
}

std::string hexOf(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

std::string bytesOfHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}
