#include "SandboxTest.h"

#include "ErrorReporter.h"
#include "OrvelStartup.h"

#include <regex>
#include <stdexcept>

namespace {

using Texts = std::vector<std::pair<int, std::string>>;

class ReportTest : public SandboxTest {};

TEST_F(ReportTest, AReportIsAConsoleLineAndATextOnEveryKeypad)
{
    OrvelException withDetail(oerr::CopyFailed, 1, CodeSource("UsbDrive.cpp", 90));
    OrvelException withoutDetail(oerr::ChildProcessFailed, CodeSource("UsbDrive.cpp", 240));
    std::runtime_error other("odd");

    EXPECT_EQ(stderrOf([&] { reporter()->report(withDetail); }),
              "ERROR: 14OrvelException: #12, detail #1 (thrown from UsbDrive.cpp:90)\n");
    EXPECT_EQ(sim.keypadTexts(), (Texts{{1, "ERR 12 90 1"}, {2, "ERR 12 90 1"}}));

    sim.mark();
    reporter()->report(withoutDetail);
    EXPECT_EQ(sim.keypadTexts(), (Texts{{1, "ERROR\xA0# 7-240"}, {2, "ERROR\xA0# 7-240"}}));

    sim.mark();
    EXPECT_EQ(stderrOf([&] { reporter()->report(other); }), "ERROR: St13runtime_error: odd\n");
    // The keypads take 16 bytes.
    EXPECT_EQ(sim.keypadTexts(), (Texts{{1, "ERROR: St13runti"}, {2, "ERROR: St13runti"}}));
}

TEST_F(ReportTest, AWarningLeavesTheKeypadsAlone)
{
    OrvelException e(oerr::UnmountFailed, 1, CodeSource("m.cpp", 3));
    stderrOf([&] { reporter()->logWarning(e); });
    EXPECT_TRUE(sim.frames().empty());
}

TEST_F(ReportTest, AReportWithoutControllerStillWritesTheLine)
{
    ASSERT_TRUE(SimControl::removeDevice());
    OrvelException e(oerr::ScriptFailed, 5, CodeSource("d.cpp", 8));
    EXPECT_EQ(stderrOf([&] { reporter()->report(e); }),
              "ERROR: 14OrvelException: #10, detail #5 (thrown from d.cpp:8)\n");
    ASSERT_TRUE(SimControl::restoreDevice());
}

class RunStartupTest : public SandboxTest {};

TEST_F(RunStartupTest, AForeignExceptionIsReportedAsCodeOneFromTheHandler)
{
    int status = -1;
    const std::string err = stderrOf([&] { status = runStartup([] { throw 42; }); });
    EXPECT_EQ(status, 1);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(err, match,
                                 std::regex("ERROR: 14OrvelException: #1 \\(thrown from (.*OrvelStartup\\.cpp):([0-9]+)\\)\n")))
        << err;
    const std::string text = std::string("ERROR\xA0# 1-") + match[2].str();
    EXPECT_EQ(sim.keypadTexts(), (Texts{{1, text.substr(0, 16)}, {2, text.substr(0, 16)}}));
}

TEST_F(RunStartupTest, StandardExceptionsAreReportedAsThemselves)
{
    struct Case {
        void (*sequence)();
        std::string line;
        std::string keypad;
    };
    const Case cases[] = {
        {[] { throw OrvelException(oerr::ScriptFailed, 2, CodeSource("u.cpp", 61)); },
         "ERROR: 14OrvelException: #10, detail #2 (thrown from u.cpp:61)\n", "ERR 10 61 2"},
        {[] { throw std::logic_error("bad"); }, "ERROR: St11logic_error: bad\n", "ERROR: St11logic"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        sim.mark();
        int status = -1;
        EXPECT_EQ(stderrOf([&] { status = runStartup(c.sequence); }), c.line);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(sim.keypadTexts(), (Texts{{1, c.keypad}, {2, c.keypad}}));
    }
}

TEST_F(RunStartupTest, ASequenceThatEndsNormallyGivesStatusZeroAndNoReport)
{
    int status = -1;
    EXPECT_EQ(stderrOf([&] { status = runStartup([] {}); }), "");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(sim.frames().empty());
}

}  // namespace
