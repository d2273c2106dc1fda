#include "StartupTest.h"

#include "ErrorReporter.h"

#include <new>
#include <stdexcept>

namespace {

struct OrvelTextCase {
    const char* name;
    OrvelException exception;
    const char* console;  // after the prefix
    const char* keypad;
};

TEST(ErrorReporterTest, OrvelExceptionsShowCodeDetailAndSource)
{
    const OrvelTextCase cases[] = {
        {"detail 1", OrvelException(oerr::CopyFailed, 1, CodeSource("UsbDrive.cpp", 90)),
         "14OrvelException: #12, detail #1 (thrown from UsbDrive.cpp:90)", "ERR 12 90 1"},
        {"detail 0 is still a detail", OrvelException(oerr::LogArchiveFailed, 0, CodeSource("a/b.cpp", 7)),
         "14OrvelException: #15, detail #0 (thrown from a/b.cpp:7)", "ERR 15 7 0"},
        {"negative detail", OrvelException(oerr::ChildProcessFailed, -1, CodeSource("x.cpp", 1234)),
         "14OrvelException: #7, detail #-1 (thrown from x.cpp:1234)", "ERR 7 1234 FFFFFFFF"},
        {"exit status 255", OrvelException(oerr::ScriptFailed, 255, CodeSource("x.cpp", 33)),
         "14OrvelException: #10, detail #255 (thrown from x.cpp:33)", "ERR 10 33 FF"},
        {"errno 13", OrvelException(oerr::DeleteFailed, 13, CodeSource("x.cpp", 1000)),
         "14OrvelException: #14, detail #13 (thrown from x.cpp:1000)", "ERR 14 1000 D"},
        {"upper-case hexadecimal", OrvelException(oerr::ExecFailed, 0xABCDEF, CodeSource("x.cpp", 12)),
         "14OrvelException: #11, detail #11259375 (thrown from x.cpp:12)", "ERR 11 12 ABCDEF"},
        {"no detail", OrvelException(oerr::ChildProcessFailed, CodeSource("UsbDrive.cpp", 240)),
         "14OrvelException: #7 (thrown from UsbDrive.cpp:240)", "ERROR\xA0# 7-240"},
        {"no detail, code 0", OrvelException(oerr::AssertionFailed, CodeSource("t.cpp", 5)),
         "14OrvelException: #0 (thrown from t.cpp:5)", "ERROR\xA0# 0-5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorReporter::consoleText("ERROR: ", c.exception), std::string("ERROR: ") + c.console);
        EXPECT_EQ(ErrorReporter::keypadText(c.exception), c.keypad);
    }
}

TEST(ErrorReporterTest, OtherExceptionsShowTheirTypeAndText)
{
    const std::runtime_error stickGone("stick gone");
    const std::bad_alloc noMemory;
    EXPECT_EQ(ErrorReporter::consoleText("ERROR: ", stickGone), "ERROR: St13runtime_error: stick gone");
    EXPECT_EQ(ErrorReporter::keypadText(stickGone), "ERROR: St13runtime_error");
    EXPECT_EQ(ErrorReporter::consoleText("ERROR: ", noMemory), "ERROR: St9bad_alloc: std::bad_alloc");
    EXPECT_EQ(ErrorReporter::keypadText(noMemory), "ERROR: St9bad_alloc");
}

TEST(ErrorReporterTest, TheTypeNameIsTheDynamicOne)
{
    OrvelException raised(oerr::UnmountFailed, 1, CodeSource("m.cpp", 3));
    std::exception& seen = raised;
    EXPECT_EQ(ErrorReporter::keypadText(seen), "ERR 8 3 1");
    EXPECT_EQ(ErrorReporter::consoleText("", seen), "14OrvelException: #8, detail #1 (thrown from m.cpp:3)");
}

// logWarning never touches the controller, so it can run anywhere.
TEST(ErrorReporterTest, AWarningIsOneConsoleLine)
{
    OrvelException unmount(oerr::UnmountFailed, 1, CodeSource("m.cpp", 3));
    std::runtime_error other("odd");
    testing::internal::CaptureStderr();
    reporter()->logWarning(unmount);
    reporter()->logWarning(other);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: 14OrvelException: #8, detail #1 (thrown from m.cpp:3)\n"
              "WARNING: St13runtime_error: odd\n");
}

TEST(AssertTrueTest, OnlyAFalseConditionRaisesCodeZeroWithItsSource)
{
    const CodeSource here("check.cpp", 77);
    EXPECT_EQ(outcomeOf([&] { assertTrue(true, here); }), NOTHING_RAISED);
    try {
        assertTrue(false, here);
        ADD_FAILURE() << "nothing raised";
    } catch (const OrvelException& e) {
        EXPECT_EQ(e.code, oerr::AssertionFailed);
        EXPECT_FALSE(e.hasDetail);
        EXPECT_EQ(e.detail, 0);
        EXPECT_EQ(e.source.file, here.file);
        EXPECT_EQ(e.source.line, 77);
    }
}

TEST(ErrorCodeTest, TheNumbersPeopleSeeStayFixed)
{
    const std::pair<oerr::ErrorCode, int> codes[] = {
        {oerr::AssertionFailed, 0}, {oerr::UnexpectedException, 1}, {oerr::CreateTempDirFailed, 2},
        {oerr::ClearTempDirFailed, 5}, {oerr::ForkFailed, 6}, {oerr::ChildProcessFailed, 7},
        {oerr::UnmountFailed, 8}, {oerr::StatFailed, 9}, {oerr::ScriptFailed, 10},
        {oerr::ExecFailed, 11}, {oerr::CopyFailed, 12}, {oerr::FileSetupFailed, 13},
        {oerr::DeleteFailed, 14}, {oerr::LogArchiveFailed, 15},
    };
    for (const auto& [code, value] : codes)
        EXPECT_EQ(static_cast<int>(code), value);
}

}  // namespace
