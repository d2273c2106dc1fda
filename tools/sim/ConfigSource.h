#pragma once

#include <optional>
#include <string>
#include <utility>

#include "Config.h"
#include "Types.h"

// The configuration file, read again on demand. Reports a configuration only
// when its effective content differs from the one applied last.
class ConfigSource {
public:
    struct Change {
        Config config;
        Json effective;
    };
    struct Result {
        std::optional<Change> change;
        std::optional<std::string> error;
    };

    explicit ConfigSource(std::string path) : path_(std::move(path)) {}
    Result reload();

private:
    std::optional<std::string> readText() const;

    std::string path_;
    std::optional<std::string> lastText_;
    std::optional<Json> applied_;
};
