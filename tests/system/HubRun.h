#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

// One run of a real program of this build in the hub sandbox, against the
// simulated controller, seen from outside: exit status, output, and what the
// controller and the stand-ins recorded.
struct HubRun {
    using Json = nlohmann::json;

    // Program name (qorutil, qor-watchdog, qor-startup) and its arguments.
    std::vector<std::string> command;
    Json simConfig = Json::object();
    // Further sandbox options (--usb, --put, --fail, --collect, ...).
    std::vector<std::string> sandboxOptions;
    // libfaketime speed-up of the program's clock and sleeps ("x60"), or none.
    std::string speedUp;
    // The program is killed after this many (real) seconds; its status is then 137.
    double limitSeconds = 60;
    // A shell command run in the sandbox before the program (as root).
    std::string setup;
};

struct HubResult {
    using Json = nlohmann::json;

    int status = -1;  // the program's exit status
    std::string out;
    std::string err;
    std::vector<Json> simRecord;
    std::vector<Json> standins;
    // Files collected with --collect, by their path in the sandbox.
    std::map<std::string, std::string> files;

    std::vector<Json> frames() const;
    std::vector<std::pair<int, std::string>> keypadTexts() const;
    std::vector<Json> calls(const std::string& tool) const;
    // A file collected with --collect PATH, as bytes; empty if absent.
    std::string collected(const std::string& path) const;
    bool wasCollected(const std::string& path) const;
};

// Skips the calling test when the sandbox cannot be made here (fails under CI=true).
bool sandboxAvailable(std::string& why);

// With QOR_VALGRIND=1 in the environment, a native build's program runs under
// Valgrind's memcheck: a memory error or a definitely lost block makes its
// status 99.
HubResult runInHub(const HubRun& run);

// Path of a host tool (qor-journal, ...).
std::string hostTool(const std::string& name);
