#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;
// Ordered, so that record lines keep "t_ms" and "event" first.
using Json = nlohmann::ordered_json;
