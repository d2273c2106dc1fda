#pragma once

#include "StartupTest.h"

#include "SimTest.h"
#include "UsbDrive.h"

#include <cstdlib>

// Tests of the hub's fixed paths: each case runs in a hub sandbox of its own,
// and is skipped anywhere else so that the host is never touched.
class SandboxTest : public SimTest {
protected:
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

    UsbDrive drive;
};
