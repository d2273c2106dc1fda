#pragma once

#include "HubRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// Base of the system tests: skipped (failed under CI=true) where no sandbox can be made.
class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::string why;
        static const bool available = sandboxAvailable(why);
        if (available)
            return;
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true")
            FAIL() << "no hub sandbox in CI: " << why;
        GTEST_SKIP() << why;
    }

    using Json = nlohmann::json;
    using Texts = std::vector<std::pair<int, std::string>>;

    static Json deadController()
    {
        return {{"faults", {{"no_reply", true}}}};
    }

    // (code, sub, param1) of every frame of a run.
    static std::vector<std::vector<int>> sent(const HubResult& result)
    {
        std::vector<std::vector<int>> list;
        for (const auto& frame : result.frames())
            list.push_back({frame["code"].get<int>(), frame["sub"].get<int>(), frame["param1"].get<int>()});
        return list;
    }

    static std::vector<std::string> argsOf(const Json& call)
    {
        return call["args"].get<std::vector<std::string>>();
    }
};
