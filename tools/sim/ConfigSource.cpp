#include "ConfigSource.h"

#include <fstream>
#include <sstream>

namespace {

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

std::optional<std::string> ConfigSource::readText() const {
    std::ifstream file(path_, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ConfigSource::Result ConfigSource::reload() {
    const std::optional<std::string> text = readText();
    if (applied_ && text == lastText_) {
        return {};
    }
    // An empty file is most likely being rewritten in place: wait for its content.
    if (applied_ && text && blank(*text)) {
        return {};
    }
    lastText_ = text;
    try {
        const Json file = text && !blank(*text) ? Json::parse(*text) : Json::object();
        Json effective = effectiveConfig(file);
        if (applied_ && effective == *applied_) {
            return {};
        }
        Config config = parseConfig(effective);
        applied_ = effective;
        return {Change{std::move(config), std::move(effective)}, std::nullopt};
    } catch (const std::exception& error) {
        Result result;
        result.error = path_ + ": " + error.what();
        if (!applied_) {
            Json defaults = effectiveConfig(Json::object());
            applied_ = defaults;
            result.change = Change{parseConfig(defaults), std::move(defaults)};
        }
        return result;
    }
}
