#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// Talks to the simulated controller of the hub sandbox: rewrites its
// configuration and reads back what it recorded.
class SimControl {
public:
    using Json = nlohmann::json;

    // Inside a sandbox ($QOR_SANDBOX set)?
    static bool available();

    // Replaces the configuration (fault counters start again) and starts a
    // new section of the record: the queries below only see what follows.
    void configure(const Json& config);
    // Only starts a new section of the record.
    void mark();

    std::vector<Json> events(const std::string& kind) const;
    std::vector<Json> frames() const;
    std::vector<Json> replies() const;
    // Keypad texts as shown, in order: {keypad number, exact bytes}.
    std::vector<std::pair<int, std::string>> keypadTexts() const;

    // Calls of a stand-in tool (mount, date, ...) recorded so far, in order.
    static std::vector<Json> standinCalls(const std::string& tool);
    // The stand-in `tool` exits with `status` from now on.
    static void chooseStatus(const std::string& tool, int status);
    // The folder of the host tools (qor-journal, ...).
    static std::string toolsDir();

    // Takes /dev/ttyAM1 away (as on a hub whose device is missing) and puts it back.
    static bool removeDevice();
    static bool restoreDevice();

private:
    std::vector<Json> recordSinceMark() const;
    static std::string stateDir();

    long recordOffset = 0;
    int generation = 0;
};

std::string hexOf(const std::string& bytes);
std::string bytesOfHex(const std::string& hex);
