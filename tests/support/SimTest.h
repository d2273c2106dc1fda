#pragma once

#include "SimControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Base of the tests that run against the simulated controller in the sandbox.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SimControl::available())
            GTEST_SKIP() << "needs the simulated controller: run inside qor-sandbox";
        sim.configure(SimControl::Json::object());
    }

    // (command code, sub-command) of every frame since the last configure().
    std::vector<std::pair<int, int>> commands() const
    {
        std::vector<std::pair<int, int>> list;
        for (auto& frame : sim.frames())
            list.emplace_back(frame["code"].get<int>(), frame["sub"].get<int>());
        return list;
    }

    static double secondsTaken(const std::function<void()>& action)
    {
        const auto start = std::chrono::steady_clock::now();
        action();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
};
