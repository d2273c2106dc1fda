#include "HubRun.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<nlohmann::json> readJsonLines(const std::string& path)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::string makeTempDir()
{
    std::string pattern = (env("TMPDIR").empty() ? "/tmp" : env("TMPDIR")) + "/qor-hubrun.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Runs argv with stdout and stderr into files; returns the exit status.
int runToFiles(const std::vector<std::string>& argv, const std::string& out, const std::string& err)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nullFd = open("/dev/null", O_RDONLY);
        dup2(outFd, 1);
        dup2(errFd, 2);
        dup2(nullFd, 0);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

bool underValgrind()
{
    return env("QOR_VALGRIND") == "1" && env("QOR_EMULATOR").empty();
}

// The program as the sandbox must start it: under the emulator for the hub's
// build, under libfaketime when its sleeps are to run fast, and with
// QOR_VALGRIND=1 (native builds) under Valgrind's memcheck, which fails the run
// with status 99 on any memory error or definitely lost block.
std::vector<std::string> programCommand(const HubRun& run)
{
    const std::vector<std::string> emulator = splitWords(env("QOR_EMULATOR"));
    const std::string program = env("QOR_PROGRAMS") + "/" + run.command[0];
    std::vector<std::string> argv;
    if (emulator.empty()) {
        // A sanitized program wants its runtime first among its libraries; a
        // preloaded libfaketime before it does no harm.
        if (!run.speedUp.empty())
            argv = {"env", "FAKETIME=+0 " + run.speedUp, "LD_PRELOAD=" + env("QOR_FAKETIME_LIB"),
                    "ASAN_OPTIONS=" + env("ASAN_OPTIONS") + ":verify_asan_link_order=0"};
        if (underValgrind())
            argv.insert(argv.end(), {"valgrind", "--quiet", "--error-exitcode=99", "--leak-check=full",
                                     "--errors-for-leak-kinds=definite", "--show-leak-kinds=definite",
                                     "--child-silent-after-fork=yes",
                                     std::string("--suppressions=") + QOR_VALGRIND_SUPPRESSIONS});
    } else {
        argv = emulator;
        if (!run.speedUp.empty())
            argv.insert(argv.end(), {"-E", "FAKETIME=+0 " + run.speedUp, "-E", "LD_PRELOAD=" + env("QOR_FAKETIME_LIB")});
    }
    argv.push_back(program);
    argv.insert(argv.end(), run.command.begin() + 1, run.command.end());
    return argv;
}

std::map<std::string, std::string>* gCollecting = nullptr;
size_t gCollectRootLength = 0;

int collectOne(const char* path, const struct stat*, int flag, struct FTW*)
{
    if (flag == FTW_F)
        (*gCollecting)[std::string(path).substr(gCollectRootLength)] = readFile(path);
    return 0;
}

std::map<std::string, std::string> collectedFiles(const std::string& root)
{
    std::map<std::string, std::string> files;
    gCollecting = &files;
    gCollectRootLength = root.size();
    nftw(root.c_str(), collectOne, 16, FTW_PHYS);
    gCollecting = nullptr;
    return files;
}

}  // namespace

std::string hostTool(const std::string& name)
{
    return env("QOR_TOOLS") + "/" + name;
}

bool sandboxAvailable(std::string& why)
{
    const std::string dir = makeTempDir();
    const int status = runToFiles({hostTool("qor-sandbox"), "--check"}, dir + "/out", dir + "/err");
    why = readFile(dir + "/err");
    runToFiles({"rm", "-rf", dir}, "/dev/null", "/dev/null");
    return status == 0;
}

HubResult runInHub(const HubRun& run)
{
    HubResult result;
    const std::string dir = makeTempDir();
    const std::string resultsDir = dir + "/results";
    std::ofstream(dir + "/sim-config.json") << (run.simConfig.is_null() ? "{}" : run.simConfig.dump());

    std::vector<std::string> argv = {hostTool("qor-sandbox"), "--results", resultsDir, "--sim-config",
                                     dir + "/sim-config.json", "--keep", env("QOR_PROGRAMS"), "--keep", dir};
    if (underValgrind()) {
        const std::string suppressions = QOR_VALGRIND_SUPPRESSIONS;
        argv.insert(argv.end(), {"--keep", suppressions.substr(0, suppressions.rfind('/'))});
    }
    argv.insert(argv.end(), run.sandboxOptions.begin(), run.sandboxOptions.end());
    argv.push_back("--");
    // The program's own streams go to files inside the sandbox's results, so
    // that the sandbox's own messages stay apart.
    std::ostringstream limit;
    // Memcheck runs a program many times slower: more time before it counts as hung.
    limit << run.limitSeconds * (underValgrind() ? 2 : 1);
    const std::string script = (run.setup.empty() ? "" : run.setup + "\n") +
                               "exec timeout --signal=KILL " + limit.str() + " \"$@\" >" + dir +
                               "/program.out 2>" + dir + "/program.err";
    argv.insert(argv.end(), {"sh", "-c", script, "hub-run"});
    const std::vector<std::string> program = programCommand(run);
    argv.insert(argv.end(), program.begin(), program.end());

    const int sandboxStatus = runToFiles(argv, dir + "/sandbox.out", dir + "/sandbox.err");
    result.status = sandboxStatus;
    result.out = readFile(dir + "/program.out");
    result.err = readFile(dir + "/program.err");
    const std::string sandboxErr = readFile(dir + "/sandbox.err");
    if (!sandboxErr.empty())
        result.err += "[sandbox] " + sandboxErr;
    result.simRecord = readJsonLines(resultsDir + "/sim-record.jsonl");
    result.standins = readJsonLines(resultsDir + "/standins.jsonl");
    result.files = collectedFiles(resultsDir + "/files");
    if (env("QOR_KEEP_RUNS").empty())
        runToFiles({"rm", "-rf", dir}, "/dev/null", "/dev/null");
    else
        result.err += "[kept in " + dir + "]\n";
    return result;
}

std::vector<nlohmann::json> HubResult::frames() const
{
    std::vector<Json> list;
    for (const auto& line : simRecord)
        if (line.value("event", "") == "frame")
            list.push_back(line);
    return list;
}

std::vector<std::pair<int, std::string>> HubResult::keypadTexts() const
{
    std::vector<std::pair<int, std::string>> texts;
    for (const auto& line : simRecord) {
        if (line.value("event", "") != "state" || line.value("what", "") != "keypad")
            continue;
        const std::string hex = line.value("text_hex", "");
        std::string text;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        texts.emplace_back(line.value("keypad", 0), text);
    }
    return texts;
}

std::vector<nlohmann::json> HubResult::calls(const std::string& tool) const
{
    std::vector<Json> list;
    for (const auto& call : standins)
        if (call.value("tool", "") == tool)
            list.push_back(call);
    return list;
}

std::string HubResult::collected(const std::string& path) const
{
    const auto file = files.find(path);
    return file == files.end() ? std::string() : file->second;
}

bool HubResult::wasCollected(const std::string& path) const
{
    return files.count(path) != 0;
}
