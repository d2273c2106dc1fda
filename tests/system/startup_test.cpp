#include "SystemTest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>

namespace {

const char* const STICK_NODE = "host0/bus0/target0/lun0/part1";
const char* const STICK_DEVICE = "/dev/scsi/host0/bus0/target0/lun0/part1";
const char* const PACKAGE = "/mnt/app/update.tar.gz";
const std::vector<std::string> HUB_LOGS = {"/var/err1.log", "/var/err2.log", "/var/err.log", "/var/client.log"};

std::string hexOf(const std::string& text)
{
    std::string hex;
    char pair[3];
    for (unsigned char c : text) {
        snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return hex;
}

std::string shell(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    if (pipe != nullptr)
        pclose(pipe);
    return output;
}

// A folder of the host, removed with the test: a stick's contents, or where a package is built.
class Folder {
public:
    Folder()
    {
        std::string pattern = "/tmp/qor-startup-test.XXXXXX";
        path = mkdtemp(&pattern[0]);
    }
    ~Folder() { shell("rm -rf '" + path + "'"); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    void write(const std::string& name, const std::string& content, mode_t mode = 0644) const
    {
        const std::string file = path + "/" + name;
        shell("mkdir -p \"$(dirname '" + file + "')\"");
        std::ofstream(file, std::ios::binary) << content;
        chmod(file.c_str(), mode);
    }
    bool has(const std::string& name) const { return access((path + "/" + name).c_str(), F_OK) == 0; }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path + "/" + name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Members of a gzip-compressed tar archive in this folder, in order.
    std::vector<std::string> members(const std::string& archive) const
    {
        std::vector<std::string> names;
        std::istringstream list(shell("tar -tzf '" + path + "/" + archive + "' 2>/dev/null"));
        std::string name;
        while (std::getline(list, name))
            names.push_back(name);
        return names;
    }
    // Packs the named files of this folder into a gzip-compressed tar archive.
    std::string pack(const std::string& archive, const std::string& members) const
    {
        shell("cd '" + path + "' && tar -czf '" + archive + "' " + members);
        return path + "/" + archive;
    }

    std::string path;
};

const std::string SCRIPT_OK = "#!/bin/sh\necho authorizing\necho oops >&2\ntouch /var/authorizer-ran\nexit 0\n";

struct Boot {
    bool developmentMode = false;
    const Folder* stick = nullptr;
    bool hubLogs = true;
    bool oldScriptLog = false;
    std::string package;  // host path of an update package to put in place
    int removeAfterShowings = 1;  // the stick is pulled when REMOVE USB has shown this often
    std::string speedUp = "x10";
    nlohmann::json sim = nlohmann::json::object();
    std::vector<std::string> options;
    std::string setup;
};

class StartupTest : public SystemTest {
protected:
    HubResult boot(const Boot& b)
    {
        HubRun run;
        run.command = {"qor-startup"};
        run.speedUp = b.speedUp;
        run.simConfig = b.sim;
        if (!b.speedUp.empty()) {
            run.simConfig["processing_ms"] = 0;
            run.simConfig["wire_time"] = false;
        }
        run.sandboxOptions = b.options;
        const std::string putLogs = logFiles.path;
        for (const auto& log : HUB_LOGS)
            if (b.hubLogs)
                run.sandboxOptions.insert(run.sandboxOptions.end(), {"--put", putLogs + "/log=" + log});
        if (b.oldScriptLog)
            run.sandboxOptions.insert(run.sandboxOptions.end(), {"--put", putLogs + "/log=/var/auth_usb.log"});
        if (b.developmentMode)
            run.sandboxOptions.insert(run.sandboxOptions.end(), {"--put", putLogs + "/log=/etc/init.d/telnetd"});
        if (b.stick != nullptr)
            run.sandboxOptions.insert(run.sandboxOptions.end(), {"--usb", std::string(STICK_NODE) + "=" + b.stick->path});
        if (!b.package.empty())
            run.sandboxOptions.insert(run.sandboxOptions.end(), {"--put", b.package + "=" + PACKAGE});
        for (const char* path : {PACKAGE, "/mnt/app/tmp", "/var/auth_usb.log", "/tmp/update-log.txt",
                                 "/tmp/update-err.txt", "/var/authorizer-ran", "/mnt/cf"})
            run.sandboxOptions.insert(run.sandboxOptions.end(), {"--collect", path});
        run.setup = b.setup + pullStickAfter(b.removeAfterShowings);
        run.limitSeconds = 120;
        return runInHub(run);
    }

    // Pulls every stick once keypad 1 has shown REMOVE USB `count` times.
    static std::string pullStickAfter(int count)
    {
        return "(while [ \"$(grep -c '\"keypad\":1,.*\"text_hex\":\"" + hexOf("REMOVE USB") +
               "\"' \"$QOR_SANDBOX/sim-record.jsonl\" 2>/dev/null)\" -lt " + std::to_string(count) +
               " ]; do sleep 0.05; done; rm -rf /dev/scsi/*) &\n";
    }

    // The texts keypad 1 showed, in order, with repeats folded.
    static std::vector<std::string> keypad1(const HubResult& result)
    {
        std::vector<std::string> texts;
        for (const auto& [keypad, text] : result.keypadTexts())
            if (keypad == 1 && (texts.empty() || texts.back() != text))
                texts.push_back(text);
        return texts;
    }

    static std::vector<std::string> lines(const std::string& text)
    {
        std::vector<std::string> list;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line))
            list.push_back(line);
        return list;
    }

    static bool contains(const std::string& text, const std::string& part)
    {
        return text.find(part) != std::string::npos;
    }

    void SetUp() override
    {
        SystemTest::SetUp();
        logFiles.write("log", "a hub log line\n");
    }

    Folder logFiles;
};

const std::vector<std::string> START = {"qor-startup version 2.0", "qor-startup: Chip watchdog set to 5 minutes.",
                                        "Looking for USB Drives..."};

TEST_F(StartupTest, WithoutAStickTheBootRunsStraightThrough)
{
    Boot b;
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> expected = START;
    expected.insert(expected.end(), {"\tFound 0", "waiting for removal", "QOR startup task is complete."});
    EXPECT_EQ(lines(result.out), expected);
    EXPECT_EQ(keypad1(result), (std::vector<std::string>{"USB SCAN", "NO USB"}));
    const auto frames = sent(result);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0], (std::vector<int>{0x23, 0x40, 300}));
    EXPECT_EQ(frames[1], (std::vector<int>{0x73, 0, 0x0101}));
    EXPECT_EQ(frames.back(), (std::vector<int>{0x73, 0, 0})) << "blinking stopped before the removal wait";
    EXPECT_TRUE(result.calls("mount").empty());
}

TEST_F(StartupTest, DevelopmentModeDisarmsTheWatchdog)
{
    Boot b;
    b.developmentMode = true;
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(lines(result.out)[1],
              "qor-startup: Disabling chip watchdog because device is in development mode (found /etc/init.d/telnetd).");
    EXPECT_EQ(sent(result)[0], (std::vector<int>{0x23, 0x41, 0}));
}

TEST_F(StartupTest, AStickWithAnAuthorizerIsProcessedAndTheUpdateSkipped)
{
    Folder stick;
    stick.write("authorizer.sh", SCRIPT_OK, 0755);
    Folder package;
    package.write("authorizer.sh", "#!/bin/sh\nexit 0\n", 0755);
    Boot b;
    b.stick = &stick;
    b.package = package.pack("update.tar.gz", "authorizer.sh");
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> expected = START;
    expected.insert(expected.end(), {"\tFound 1", std::string("Processing USB device on ") + STICK_DEVICE,
                                     "Found /mnt/cf/authorizer.sh", "waiting for removal",
                                     "QOR startup task is complete."});
    EXPECT_EQ(lines(result.out), expected);
    EXPECT_EQ(keypad1(result), (std::vector<std::string>{"USB SCAN", "READ USB", "REMOVE USB", "STARTING"}));
    EXPECT_TRUE(result.wasCollected("/var/authorizer-ran"));
    EXPECT_EQ(result.collected("/var/auth_usb.log"), "authorizing\noops\n") << "both streams, in order";
    EXPECT_TRUE(result.wasCollected(PACKAGE)) << "the update is skipped";
    EXPECT_EQ(stick.members("H0ABC017Flogs.tar.gz"),
              (std::vector<std::string>{"var/err1.log", "var/err2.log", "var/err.log", "var/client.log",
                                        "var/auth_usb.log"}));
    ASSERT_EQ(result.calls("mount").size(), 1u);
    EXPECT_EQ(argsOf(result.calls("mount")[0]),
              (std::vector<std::string>{"-t", "vfat", STICK_DEVICE, "/mnt/cf"}));
    ASSERT_EQ(result.calls("umount").size(), 1u);
    EXPECT_EQ(argsOf(result.calls("umount")[0]), std::vector<std::string>{"/mnt/cf"});
    EXPECT_FALSE(stick.has("auth_usb.log"));
}

TEST_F(StartupTest, AFailingAuthorizerIsReportedAndTheUpdateStillRuns)
{
    Folder stick;
    stick.write("authorizer.sh", "#!/bin/sh\necho refusing\nexit 5\n", 0755);
    Folder package;
    package.write("authorizer.sh", "#!/bin/sh\necho installing\nexit 0\n", 0755);
    Boot b;
    b.stick = &stick;
    b.package = package.pack("update.tar.gz", "authorizer.sh");
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << "a reported stick error does not change the exit status";
    const std::regex report("ERROR: 14OrvelException: #10, detail #5 \\(thrown from [^:]+:([0-9]+)\\)\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(result.err, match, report)) << result.err;
    const std::vector<std::string> texts = keypad1(result);
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[2], "ERR 10 " + match[1].str() + " 5");
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 3, texts.begin() + 5),
              (std::vector<std::string>{"UPDATING", "UPDATED!"}));
    EXPECT_EQ(stick.read("auth_usb.log"), "refusing\n") << "the script's log is saved on the stick";
    EXPECT_FALSE(stick.has("H0ABC017Flogs.tar.gz"));
    EXPECT_FALSE(result.wasCollected(PACKAGE));
    EXPECT_EQ(result.collected("/tmp/update-log.txt"), "installing\n");
    EXPECT_EQ(result.calls("umount").size(), 1u);
}

TEST_F(StartupTest, AnErrorPausesFifteenSecondsBeforeTheRemovalWait)
{
    Folder stick;
    stick.write("authorizer.sh", "#!/bin/sh\nexit 1\n", 0755);
    Boot b;
    b.stick = &stick;
    const HubResult result = boot(b);
    // Simulated seconds from the error's keypad text to the first REMOVE USB.
    double errorShown = -1, removeShown = -1;
    for (const auto& line : result.simRecord) {
        if (line.value("what", "") != "keypad" || line.value("keypad", 0) != 1)
            continue;
        const std::string text = line.value("text", "");
        if (text.rfind("ERR 10", 0) == 0 && errorShown < 0)
            errorShown = line.value("t_ms", 0.0);
        if (text == "REMOVE USB" && removeShown < 0)
            removeShown = line.value("t_ms", 0.0);
    }
    ASSERT_GE(errorShown, 0);
    ASSERT_GE(removeShown, 0);
    EXPECT_GE((removeShown - errorShown) / 1000 * 10, 14.5);
}

TEST_F(StartupTest, AnArchivedAuthorizerIsUnpackedRunAndCleanedUp)
{
    Folder pack;
    pack.write("authorizer.sh", "#!/bin/sh\ncat companion.txt 2>/dev/null || cat /mnt/app/tmp/companion.txt\nexit 0\n", 0755);
    pack.write("companion.txt", "beside the script\n");
    Folder stick;
    shell("cp '" + pack.pack("authorizer.tar.gz", "authorizer.sh companion.txt") + "' '" + stick.path + "/'");
    Boot b;
    b.stick = &stick;
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "Found /mnt/cf/authorizer.tar.gz\n"));
    EXPECT_EQ(keypad1(result), (std::vector<std::string>{"USB SCAN", "READ USB", "REMOVE USB", "STARTING"}));
    EXPECT_EQ(result.collected("/var/auth_usb.log"), "beside the script\n");
    EXPECT_TRUE(stick.has("H0ABC017Flogs.tar.gz"));
    for (const auto& [path, content] : result.files)
        EXPECT_NE(path.rfind("/mnt/app/tmp/", 0), 0u) << "left in the temporary folder: " << path;
}

TEST_F(StartupTest, APlainAuthorizerWinsOverTheArchive)
{
    Folder pack;
    pack.write("authorizer.sh", "#!/bin/sh\necho from the archive\n", 0755);
    Folder stick;
    shell("cp '" + pack.pack("authorizer.tar.gz", "authorizer.sh") + "' '" + stick.path + "/'");
    stick.write("authorizer.sh", "#!/bin/sh\necho plain\n", 0755);
    Boot b;
    b.stick = &stick;
    const HubResult result = boot(b);
    EXPECT_EQ(result.collected("/var/auth_usb.log"), "plain\n");
    EXPECT_TRUE(contains(result.out, "Found /mnt/cf/authorizer.sh\n"));
    EXPECT_FALSE(contains(result.out, "authorizer.tar.gz"));
}

TEST_F(StartupTest, AStickWithoutAScriptStillGetsTheLogsAndTheUpdateRuns)
{
    Folder stick;
    Folder package;
    package.write("authorizer.sh", "#!/bin/sh\nexit 0\n", 0755);
    Boot b;
    b.stick = &stick;
    b.oldScriptLog = true;
    b.package = package.pack("update.tar.gz", "authorizer.sh");
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "No script found\n"));
    EXPECT_EQ(keypad1(result),
              (std::vector<std::string>{"USB SCAN", "READ USB", "NO FILE", "UPDATING", "UPDATED!", "REMOVE USB",
                                        "STARTING"}));
    EXPECT_EQ(stick.members("H0ABC017Flogs.tar.gz").size(), 5u);
    EXPECT_FALSE(result.wasCollected(PACKAGE));
}

TEST_F(StartupTest, AMissingHubLogFailsTheArchiveWithCode15)
{
    Folder stick;
    stick.write("authorizer.sh", SCRIPT_OK, 0755);
    Boot b;
    b.stick = &stick;
    b.hubLogs = false;
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(std::regex_search(result.err, std::regex("ERROR: 14OrvelException: #15, detail #[1-9][0-9]* \\(thrown")))
        << result.err;
    EXPECT_EQ(stick.read("auth_usb.log"), "authorizing\noops\n");
    const std::vector<std::string> texts = keypad1(result);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[2].substr(0, 7), "ERR 15 ");
}

TEST_F(StartupTest, WithoutAnIdentifierTheArchiveIsNamedWithUnderscores)
{
    Folder stick;
    stick.write("authorizer.sh", SCRIPT_OK, 0755);
    Boot b;
    b.stick = &stick;
    b.sim = {{"faults", {{"no_reply", true}, {"only_sub", 0x80}}}};
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(stick.has("H________logs.tar.gz"));
}

TEST_F(StartupTest, TwoPartitionsAreCountedAndOnlyTheFirstIsProcessed)
{
    Folder first, second;
    first.write("authorizer.sh", SCRIPT_OK, 0755);
    second.write("authorizer.sh", SCRIPT_OK, 0755);
    Boot b;
    b.stick = &first;
    b.options = {"--usb", "host1/bus0/target0/lun0/part1=" + second.path, "--usb", "host1/bus0/target0/lun0/part2"};
    const HubResult result = boot(b);
    EXPECT_TRUE(contains(result.out, "\tFound 2\n")) << result.out;
    EXPECT_EQ(std::regex_search(result.out, std::regex("Processing USB device on .*\n.*Processing")), false);
    EXPECT_EQ(first.has("H0ABC017Flogs.tar.gz") + second.has("H0ABC017Flogs.tar.gz"), 1);
}

TEST_F(StartupTest, AStickInsertedDuringThePauseIsFound)
{
    Folder stick;
    stick.write("authorizer.sh", SCRIPT_OK, 0755);
    Boot b;
    b.speedUp = "";
    b.options = {"--keep", stick.path};
    // After the first walk (USB SCAN is on both keypads), within the 2 s pause.
    b.setup = "(while ! grep -q '\"keypad\":2,.*\"text_hex\":\"" + hexOf("USB SCAN") +
              "\"' \"$QOR_SANDBOX/sim-record.jsonl\" 2>/dev/null; do sleep 0.05; done; sleep 0.7;"
              " mkdir -p /dev/scsi/host0/bus0/target0/lun0; touch " + STICK_DEVICE + ";"
              " printf '%s\\t%s\\n' " + STICK_DEVICE + " '" + stick.path + "' >>\"$QOR_SANDBOX/usb-map\") &\n";
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(contains(result.out, "\tFound 1\n")) << result.out;
    EXPECT_TRUE(stick.has("H0ABC017Flogs.tar.gz"));
}

TEST_F(StartupTest, AStickLeftInIsAskedForEveryFifteenPasses)
{
    Folder stick;
    stick.write("authorizer.sh", SCRIPT_OK, 0755);
    Boot b;
    b.stick = &stick;
    b.removeAfterShowings = 3;
    const HubResult result = boot(b);
    EXPECT_EQ(result.status, 0);
    std::vector<double> shown;
    for (const auto& line : result.simRecord)
        if (line.value("what", "") == "keypad" && line.value("keypad", 0) == 1 && line.value("text", "") == "REMOVE USB")
            shown.push_back(line.value("t_ms", 0.0));
    ASSERT_EQ(shown.size(), 3u);
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_GE((shown[i] - shown[i - 1]) / 1000 * 10, 14.5) << "at least 15 passes of 1 s";
    EXPECT_EQ(keypad1(result).back(), "STARTING");
}

struct UpdateCase {
    const char* name;
    std::map<std::string, std::string> members;  // name -> installer script
    bool corrupt;
    int status;
    std::string error;  // start of the console report, or empty
    bool packageKept;
};

TEST_F(StartupTest, TheUpdateInstallerDecidesTheOutcome)
{
    const UpdateCase cases[] = {
        {"installer exits 0", {{"authorizer.sh", "#!/bin/sh\necho done\nexit 0\n"}}, false, 0, "", false},
        {"installer exits 2", {{"authorizer.sh", "#!/bin/sh\nexit 2\n"}}, false, 1, "#10, detail #2 ", false},
        {"no installer", {{"readme.txt", "nothing to run\n"}}, false, 1, "#13, detail #", false},
        {"corrupt package", {}, true, 1, "#13, detail #", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Folder package;
        std::string names;
        for (const auto& [name, content] : c.members) {
            package.write(name, content, 0755);
            names += name + " ";
        }
        if (c.corrupt)
            package.write("update.tar.gz", "this is no gzip data\n");
        Boot b;
        b.package = c.corrupt ? package.path + "/update.tar.gz" : package.pack("update.tar.gz", names);
        const HubResult result = boot(b);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(result.wasCollected(PACKAGE), c.packageKept);
        const std::vector<std::string> texts = keypad1(result);
        if (c.error.empty()) {
            EXPECT_TRUE(contains(result.out, "waiting for removal"));
            EXPECT_EQ(texts, (std::vector<std::string>{"USB SCAN", "NO USB", "UPDATING", "UPDATED!"}));
            EXPECT_EQ(result.collected("/tmp/update-log.txt"), "done\n");
        } else {
            EXPECT_TRUE(contains(result.err, "ERROR: 14OrvelException: " + c.error)) << result.err;
            EXPECT_FALSE(contains(result.out, "waiting for removal")) << "no removal wait after a failed update";
            ASSERT_GE(texts.size(), 4u);
            EXPECT_EQ(texts[2], "UPDATING");
            EXPECT_EQ(texts[3].substr(0, 4), "ERR ");
        }
    }
}

TEST_F(StartupTest, AFailedMountOfAnyStatusLeavesTheHubsFoldersAlone)
{
    for (int status : {1, 32, 255}) {
        SCOPED_TRACE(status);
        Folder stick;
        stick.write("authorizer.sh", SCRIPT_OK, 0755);
        Boot b;
        b.stick = &stick;
        b.options = {"--fail", "mount=" + std::to_string(status)};
        // Something that would run if the hub's own /mnt/cf were taken for the stick.
        b.setup = "printf '#!/bin/sh\\ntouch /var/authorizer-ran\\n' >/mnt/cf/authorizer.sh; chmod 755 /mnt/cf/authorizer.sh\n";
        const HubResult result = boot(b);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_FALSE(result.wasCollected("/var/authorizer-ran"));
        for (const auto& [path, content] : result.files)
            EXPECT_EQ(path.find("logs.tar.gz"), std::string::npos) << path;
        EXPECT_EQ(keypad1(result)[1], "READ USB");
        EXPECT_TRUE(result.calls("umount").empty());
    }
}

}  // namespace
