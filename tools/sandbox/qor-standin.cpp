// Stand-in for the platform tools that must not act on the host: mount, umount,
// date, killall, sync and the client's init script. One program, chosen by the
// name it is called under. Every call is recorded as a JSON line; the exit
// status can be chosen per tool.
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

std::string stateDir()
{
    const char* dir = std::getenv("QOR_SANDBOX");
    return dir != nullptr && *dir != '\0' ? dir : "/dev/.qor-sandbox";
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The status chosen for a tool: a number in <state>/exit/<tool>, else none.
bool chosenStatus(const std::string& tool, int& status)
{
    std::ifstream file(stateDir() + "/exit/" + tool);
    return static_cast<bool>(file >> status);
}

double nowSeconds()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

void record(const std::string& tool, const std::vector<std::string>& args, int status, const std::string& note)
{
    nlohmann::json line = {{"t", nowSeconds()}, {"tool", tool}, {"args", args}, {"status", status}};
    if (!note.empty())
        line["note"] = note;
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const int fd = open((stateDir() + "/standins.jsonl").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    ssize_t ignored = write(fd, text.data(), text.size());
    (void)ignored;
    close(fd);
}

const char* realTool(const std::string& tool)
{
    static const std::map<std::string, std::vector<const char*>> places = {
        {"mount", {"/usr/bin/mount", "/bin/mount"}},
        {"umount", {"/usr/bin/umount", "/bin/umount"}},
        {"date", {"/usr/bin/date", "/bin/date"}},
    };
    for (const char* path : places.at(tool))
        if (access(path, X_OK) == 0)
            return path;
    return nullptr;
}

int run(const std::string& tool, std::vector<std::string> args)
{
    const char* path = realTool(tool);
    if (path == nullptr) {
        fprintf(stderr, "%s: the real tool is missing\n", tool.c_str());
        return 127;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path));
        for (auto& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        execv(path, argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The stick that `mount -t vfat DEVICE` finds for DEVICE, from <state>/usb-map.
std::string stickFor(const std::string& device)
{
    std::ifstream map(stateDir() + "/usb-map");
    std::string line;
    while (std::getline(map, line)) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos && line.compare(0, tab, device) == 0)
            return line.substr(tab + 1);
    }
    return std::string();
}

int mountTool(const std::vector<std::string>& args)
{
    const bool vfat = args.size() == 4 && args[0] == "-t" && args[1] == "vfat";
    if (!vfat) {
        // The sandbox's own mounts (remounting /var read-only, say) stay real.
        const int status = run("mount", args);
        record("mount", args, status, "passed through");
        return status;
    }
    int status = 0;
    if (chosenStatus("mount", status)) {
        record("mount", args, status, "chosen status");
        return status;
    }
    const std::string stick = stickFor(args[2]);
    if (stick.empty()) {
        fprintf(stderr, "mount: %s: no stick behind this device\n", args[2].c_str());
        record("mount", args, 32, "no stick");
        return 32;
    }
    status = run("mount", {"--bind", stick, args[3]});
    record("mount", args, status, "bound " + stick);
    return status;
}

int umountTool(const std::vector<std::string>& args)
{
    int status = 0;
    if (chosenStatus("umount", status)) {
        record("umount", args, status, "chosen status");
        return status;
    }
    status = run("umount", args);
    record("umount", args, status, "");
    return status;
}

int dateTool(const std::vector<std::string>& args)
{
    const bool onlyShows = args.empty() || (args.size() == 1 && args[0][0] == '+');
    if (onlyShows)
        return run("date", args);
    int status = 0;
    chosenStatus("date", status);
    record("date", args, status, "clock not set");
    return status;
}

int recordOnly(const std::string& tool, const std::vector<std::string>& args)
{
    int status = 0;
    chosenStatus(tool, status);
    record(tool, args, status, "");
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string tool = baseName(argv[0]);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (tool == "mount")
        return mountTool(args);
    if (tool == "umount")
        return umountTool(args);
    if (tool == "date")
        return dateTool(args);
    if (tool == "killall" || tool == "sync" || tool == "orvelusb")
        return recordOnly(tool, args);
    fprintf(stderr, "qor-standin: called as '%s', which it does not stand in for\n", tool.c_str());
    return 127;
}
