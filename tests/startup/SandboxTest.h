#pragma once

#include "StartupTest.h"

#include "SimControl.h"
#include "UsbDrive.h"

#include <cstdlib>

// Tests of the hub's fixed paths: each case runs in a hub sandbox of its own,
// and is skipped anywhere else so that the host is never touched.
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SimControl::available())
            GTEST_SKIP() << "needs the hub sandbox: run inside qor-sandbox";
        sim.configure(SimControl::Json::object());
    }

    // A shell command of the test's own set-up or check, as root in the sandbox.
    static void shell(const std::string& command)
    {
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    static bool exists(const std::string& path) { return std::system(("test -e " + path).c_str()) == 0; }

    // Keypad 1's texts since the last mark (both keypads are present).
    std::vector<std::string> keypad1() const
    {
        std::vector<std::string> texts;
        for (const auto& [keypad, text] : sim.keypadTexts())
            if (keypad == 1)
                texts.push_back(text);
        return texts;
    }

    static std::string stderrOf(const std::function<void()>& action)
    {
        testing::internal::CaptureStderr();
        action();
        return testing::internal::GetCapturedStderr();
    }

    static std::string stdoutOf(const std::function<void()>& action)
    {
        testing::internal::CaptureStdout();
        action();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    SimControl sim;
    UsbDrive drive;
};
