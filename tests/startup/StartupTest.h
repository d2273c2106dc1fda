#pragma once

#include "OrvelException.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

// What an action raised, comparable in tables.
struct Outcome {
    bool raised = false;
    int code = 0;
    bool hasDetail = false;
    int detail = 0;

    bool operator==(const Outcome& other) const
    {
        return raised == other.raised && code == other.code && hasDetail == other.hasDetail &&
               detail == other.detail;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    if (!o.raised)
        return out << "no exception";
    out << "OrvelException #" << o.code;
    if (o.hasDetail)
        out << ", detail " << o.detail;
    return out;
}

const Outcome NOTHING_RAISED{};

inline Outcome raised(oerr::ErrorCode code, int detail)
{
    return {true, code, true, detail};
}

inline Outcome raisedWithoutDetail(oerr::ErrorCode code)
{
    return {true, code, false, 0};
}

// Other exceptions than OrvelException fail the test through gtest itself.
inline Outcome outcomeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const OrvelException& e) {
        return {true, e.code, e.hasDetail, e.detail};
    }
    return NOTHING_RAISED;
}

inline std::string contentOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
