// qor-sim-show: what the simulated controller saw, for people: the keypad
// texts in the order they were shown, or every frame and state change.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string printable(const std::string& hex)
{
    std::string text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int byte = std::stoi(hex.substr(i, 2), nullptr, 16);
        if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
    }
    return text;
}

void showLine(const nlohmann::json& line, bool everything)
{
    if (!line.is_object())
        return;
    const std::string event = line.value("event", "");
    const bool keypad = event == "state" && line.value("what", "") == "keypad";
    if (keypad) {
        printf("%9.3f s  keypad %d shows \"%s\"\n", line.value("t_ms", 0.0) / 1000, line.value("keypad", 0),
               printable(line.value("text_hex", "")).c_str());
    } else if (everything && event == "frame") {
        printf("%9.3f s  frame code 0x%02x sub 0x%02x p1 %d p2 %d len %d seq %d%s\n", line.value("t_ms", 0.0) / 1000,
               line.value("code", 0), line.value("sub", 0), line.value("param1", 0), line.value("param2", 0),
               line.value("length", 0), line.value("seq", 0), line.value("header_crc_ok", true) ? "" : " BAD CRC");
    } else if (everything && event == "state") {
        nlohmann::json details = line;
        details.erase("t_ms");
        details.erase("event");
        printf("%9.3f s  %s\n", line.value("t_ms", 0.0) / 1000, details.dump().c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool everything = argc == 3 && std::string(argv[1]) == "--all";
    if (argc != 2 && !everything) {
        fprintf(stderr, "Usage: qor-sim-show [--all] RECORD\n"
                        "Shows the keypad texts in a simulator record (sim-record.jsonl); with --all also\n"
                        "every frame received and every other state change.\n");
        return 2;
    }
    std::ifstream record(argv[argc - 1]);
    if (!record) {
        perror(argv[argc - 1]);
        return 2;
    }
    std::string line;
    while (std::getline(record, line))
        if (!line.empty())
            showLine(nlohmann::json::parse(line, nullptr, false), everything);
    return 0;
}
