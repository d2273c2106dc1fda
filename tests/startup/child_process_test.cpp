#include "StartupTest.h"

#include "UsbDrive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

// Runs the host's own sh and true; every file lives in a fresh folder below TMPDIR.
class ExecProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = testing::TempDir() + "qor-startup-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }

    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const char* name) const { return dir + "/" + name; }

    std::string script(const char* name, const std::string& body) const
    {
        const std::string file = path(name);
        writeFile(file, "#!/bin/sh\n" + body + "\n");
        chmod(file.c_str(), 0755);
        return file;
    }

    int run(const char* command, const std::vector<const char*>& args, const char* errFile = nullptr,
            const char* outFile = nullptr, const char* inFile = nullptr)
    {
        return drive.execProcess(command, static_cast<int>(args.size()), args.data(), errFile, outFile, inFile);
    }

    UsbDrive drive;
    std::string dir;
};

struct StatusCase {
    const char* name;
    const char* command;
    std::vector<const char*> args;
    Outcome outcome;
    int status;  // when nothing was raised
};

TEST_F(ExecProcessTest, ExitStatusesAreReturnedAndFailuresToRunRaised)
{
    const std::string notExecutable = path("plain");
    writeFile(notExecutable, "exit 0\n");
    const StatusCase cases[] = {
        {"success", "sh", {"-c", "exit 0"}, NOTHING_RAISED, 0},
        {"status 3", "sh", {"-c", "exit 3"}, NOTHING_RAISED, 3},
        {"status 255", "sh", {"-c", "exit 255"}, NOTHING_RAISED, 255},
        {"status 237", "sh", {"-c", "exit 237"}, NOTHING_RAISED, 237},
        {"status 238 means not run", "sh", {"-c", "exit 238"}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
        {"killed by a signal", "sh", {"-c", "kill -KILL $$"}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
        {"terminated by a signal", "sh", {"-c", "kill -TERM $$"}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
        {"no such program", "qor-no-such-program", {}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
        {"not executable", notExecutable.c_str(), {}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
        {"a directory", dir.c_str(), {}, raisedWithoutDetail(oerr::ChildProcessFailed), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int status = -1;
        testing::internal::CaptureStderr();
        const Outcome outcome = outcomeOf([&] { status = run(c.command, c.args); });
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(outcome, c.outcome);
        if (!c.outcome.raised) {
            EXPECT_EQ(status, c.status);
        }
    }
}

TEST_F(ExecProcessTest, OneStringForBothFilesGivesOneFileInTheOrderWritten)
{
    const std::string log = path("log");
    writeFile(log, "old content that must go away\n");
    EXPECT_EQ(run("sh", {"-c", "echo out1; echo err1 >&2; echo out2; echo err2 >&2"}, log.c_str(), log.c_str()), 0);
    EXPECT_EQ(contentOf(log), "out1\nerr1\nout2\nerr2\n");
}

TEST_F(ExecProcessTest, TwoStringsForTheSameFileOverwriteEachOther)
{
    const std::string log = path("log");
    const std::string sameLog = dir + "/./log";
    EXPECT_EQ(run("sh", {"-c", "printf AAAA; printf bb >&2"}, log.c_str(), sameLog.c_str()), 0);
    EXPECT_EQ(contentOf(log), "bbAA");
}

TEST_F(ExecProcessTest, SeparateFilesGetTheirOwnStream)
{
    const std::string err = path("err");
    const std::string out = path("out");
    EXPECT_EQ(run("sh", {"-c", "echo to-out; echo to-err >&2"}, err.c_str(), out.c_str()), 0);
    EXPECT_EQ(contentOf(out), "to-out\n");
    EXPECT_EQ(contentOf(err), "to-err\n");
}

TEST_F(ExecProcessTest, AProgramThatCannotRunLeavesOneLineInTheErrorFile)
{
    const std::string log = path("log");
    const Outcome outcome = outcomeOf([&] { run("qor-no-such-program", {"-x", "two words", ""}, log.c_str(), log.c_str()); });
    EXPECT_EQ(outcome, raisedWithoutDetail(oerr::ChildProcessFailed));
    EXPECT_EQ(contentOf(log), "execvp failing with errno 2; command: qor-no-such-program -x two words \n");
}

TEST_F(ExecProcessTest, WithoutArgumentsTheProgramGetsOnlyItsName)
{
    const std::string input = path("input");
    const std::string out = path("out");
    writeFile(input, "echo \"$# $0\"\n");
    EXPECT_EQ(run("sh", {}, nullptr, out.c_str(), input.c_str()), 0);
    EXPECT_EQ(contentOf(out), "0 sh\n");
}

TEST_F(ExecProcessTest, ArgumentsArrivePlainWithoutAShell)
{
    const std::string out = path("out");
    EXPECT_EQ(run("sh", {"-c", "printf '[%s]' \"$@\"", "name", "a b", "", "*", "$HOME"}, nullptr, out.c_str()), 0);
    EXPECT_EQ(contentOf(out), "[a b][][*][$HOME]");
}

TEST_F(ExecProcessTest, AFileThatCannotBeOpenedLeavesTheStreamInherited)
{
    const std::string nowhere = dir + "/missing-folder/err";
    const std::string out = path("out");
    testing::internal::CaptureStderr();
    EXPECT_EQ(run("sh", {"-c", "echo still-runs >&2; echo out"}, nowhere.c_str(), out.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "still-runs\n");
    EXPECT_EQ(contentOf(out), "out\n");
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

TEST_F(ExecProcessTest, TheProgramHoldsTheFilesOnlyOnItsStandardStreams)
{
    const std::string log = path("fdcheck-log");
    const std::string input = path("fdcheck-in");
    writeFile(input, "");
    EXPECT_EQ(run("sh", {"-c", "ls -l /proc/$$/fd | grep -c fdcheck"}, log.c_str(), log.c_str(), input.c_str()), 0);
    EXPECT_EQ(contentOf(log), "3\n");
}

TEST_F(ExecProcessTest, ThePendingOutputOfTheCallerComesFirstAndOnce)
{
    testing::internal::CaptureStdout();
    printf("pending;");
    run("sh", {"-c", "echo child"});
    printf("again;");
    outcomeOf([&] { run("qor-no-such-program", {}, path("err").c_str()); });
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pending;child\nagain;");
}

struct WrapperCase {
    const char* name;
    std::function<void(UsbDrive&, const std::string&)> call;
    Outcome onStatus3;
};

TEST_F(ExecProcessTest, WrappersTurnANonZeroStatusIntoTheirCode)
{
    const std::string log = path("log");
    const WrapperCase cases[] = {
        {"processExec", [](UsbDrive& d, const std::string& s) { d.processExec(s); }, raised(oerr::ExecFailed, 3)},
        {"processScript", [](UsbDrive& d, const std::string& s) { d.processScript(s); },
         raised(oerr::ScriptFailed, 3)},
        {"processScript with files",
         [&](UsbDrive& d, const std::string& s) { d.processScript(s.c_str(), log.c_str(), log.c_str(), nullptr); },
         raised(oerr::ScriptFailed, 3)},
    };
    const std::string fails = script("fails", "exit 3");
    const std::string works = script("works", "exit 0");
    const std::string stopped = script("stopped", "kill -KILL $$");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outcomeOf([&] { c.call(drive, fails); }), c.onStatus3);
        EXPECT_EQ(outcomeOf([&] { c.call(drive, works); }), NOTHING_RAISED);
        EXPECT_EQ(outcomeOf([&] { c.call(drive, stopped); }), raisedWithoutDetail(oerr::ChildProcessFailed));
        testing::internal::CaptureStderr();
        EXPECT_EQ(outcomeOf([&] { c.call(drive, path("missing")); }), raisedWithoutDetail(oerr::ChildProcessFailed));
        testing::internal::GetCapturedStderr();
    }
}

TEST_F(ExecProcessTest, TheScriptFormWritesBothLogs)
{
    const std::string err = path("err");
    const std::string out = path("out");
    drive.processScript(script("talks", "echo said; echo complained >&2").c_str(), err.c_str(), out.c_str(), nullptr);
    EXPECT_EQ(contentOf(out), "said\n");
    EXPECT_EQ(contentOf(err), "complained\n");
}

}  // namespace
