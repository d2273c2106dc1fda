#pragma once

#include <exception>
#include <string>

// Turns an exception into a console line on stderr and, for errors, a short
// keypad text.
class ErrorReporter {
public:
    void report(std::exception& e);
    void logWarning(std::exception& e);

    // The texts themselves, without the line end.
    static std::string consoleText(const char* prefix, const std::exception& e);
    static std::string keypadText(const std::exception& e);
};

extern ErrorReporter gErrorReporter;

ErrorReporter* reporter();
