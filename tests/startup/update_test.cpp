#include "SandboxTest.h"

namespace {

const char* const PACKAGE = "/mnt/app/update.tar.gz";

class UpdateTest : public SandboxTest {
protected:
    // A package holding `installer` as authorizer.sh (none when empty) and a companion file.
    static void makePackage(const std::string& installer)
    {
        shell("rm -rf /tmp/pkg && mkdir -p /tmp/pkg && echo data > /tmp/pkg/companion");
        if (!installer.empty())
            shell("printf '#!/bin/sh\\n%s\\n' '" + installer + "' > /tmp/pkg/authorizer.sh");
        shell(std::string("tar -czf ") + PACKAGE + " -C /tmp/pkg .");
    }

    Outcome update()
    {
        Outcome outcome;
        stderrOf([&] { outcome = outcomeOf([&] { drive.applicationUpdate(); }); });
        return outcome;
    }
};

TEST_F(UpdateTest, NoPackageNothingHappens)
{
    EXPECT_EQ(update(), NOTHING_RAISED);
    EXPECT_FALSE(exists("/mnt/app/tmp"));
    EXPECT_TRUE(sim.frames().empty());
}

TEST_F(UpdateTest, AnInstallerThatSucceedsLeavesOnlyItsLogs)
{
    makePackage("cat /mnt/app/tmp/companion; echo warned >&2");
    EXPECT_EQ(update(), NOTHING_RAISED);
    EXPECT_EQ(keypad1(), (std::vector<std::string>{"UPDATING", "UPDATED!"}));
    EXPECT_FALSE(exists(PACKAGE));
    EXPECT_EQ(std::system("test -d /mnt/app/tmp && test -z \"$(ls -A /mnt/app/tmp)\""), 0);
    EXPECT_EQ(contentOf("/tmp/update-log.txt"), "data\n");
    EXPECT_EQ(contentOf("/tmp/update-err.txt"), "warned\n");
}

struct FailureCase {
    const char* name;
    const char* setup;
    Outcome outcome;
    bool packageKept;
};

TEST_F(UpdateTest, FailuresEndTheUpdateWhereTheyHappen)
{
    const FailureCase cases[] = {
        {"installer fails", "installer:exit 2", raised(oerr::ScriptFailed, 2), false},
        {"installer killed", "installer:kill -KILL $$", raisedWithoutDetail(oerr::ChildProcessFailed), false},
        {"no installer in the package", "no installer", raised(oerr::FileSetupFailed, 1), false},
        {"corrupt package", "corrupt", raised(oerr::FileSetupFailed, 1), true},
        {"temporary path taken by a file", "tmp is a file", raised(oerr::CreateTempDirFailed, 1), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shell("rm -rf /mnt/app/tmp /tmp/update-*.txt");
        const std::string setup = c.setup;
        if (setup.rfind("installer:", 0) == 0)
            makePackage(setup.substr(10));
        else if (setup == "no installer")
            makePackage("");
        else if (setup == "corrupt")
            shell(std::string("echo junk > ") + PACKAGE);
        else {
            makePackage("exit 0");
            shell("touch /mnt/app/tmp");
        }
        sim.mark();
        EXPECT_EQ(update(), c.outcome);
        EXPECT_EQ(exists(PACKAGE), c.packageKept);
        EXPECT_EQ(keypad1(), std::vector<std::string>{"UPDATING"});
    }
}

TEST_F(UpdateTest, LeftOversOfAnEarlierRunAreNotTakenForTheInstaller)
{
    shell("mkdir -p /mnt/app/tmp && printf '#!/bin/sh\\ntouch /tmp/stale-ran\\n' > /mnt/app/tmp/authorizer.sh"
          " && chmod 755 /mnt/app/tmp/authorizer.sh");
    makePackage("");
    EXPECT_EQ(update(), raised(oerr::FileSetupFailed, 1));
    EXPECT_FALSE(exists("/tmp/stale-ran"));
    EXPECT_FALSE(exists(PACKAGE));
}

}  // namespace
