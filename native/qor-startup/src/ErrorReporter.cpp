#include "ErrorReporter.h"

#include "OrvelException.h"
#include "PrintKeypad.h"

#include <cstdint>
#include <iostream>
#include <sstream>
#include <typeinfo>

ErrorReporter gErrorReporter;

ErrorReporter* reporter()
{
    return &gErrorReporter;
}

std::string ErrorReporter::consoleText(const char* prefix, const std::exception& e)
{
    std::ostringstream text;
    text << prefix << typeid(e).name() << ": ";
    if (const auto* orvel = dynamic_cast<const OrvelException*>(&e)) {
        text << "#" << orvel->code;
        if (orvel->hasDetail)
            text << ", detail #" << orvel->detail;
        text << " (thrown from " << orvel->source.file << ":" << orvel->source.line << ")";
    } else {
        text << e.what();
    }
    return text.str();
}

std::string ErrorReporter::keypadText(const std::exception& e)
{
    std::ostringstream text;
    const auto* orvel = dynamic_cast<const OrvelException*>(&e);
    if (orvel == nullptr) {
        text << "ERROR: " << typeid(e).name();
    } else if (orvel->hasDetail) {
        // The detail in hexadecimal fits the 16-byte display better; negative
        // values show as their 32-bit pattern.
        const uint32_t bits = static_cast<uint32_t>(orvel->detail);
        text << "ERR " << orvel->code << " " << orvel->source.line << " " << std::hex << std::uppercase << bits;
    } else {
        text << "ERROR" << "\xA0" << "# " << orvel->code << "-" << orvel->source.line;
    }
    return text.str();
}

void ErrorReporter::report(std::exception& e)
{
    std::cerr << consoleText("ERROR: ", e) << std::endl;
    print_To_Keypad(keypadText(e).c_str());
}

void ErrorReporter::logWarning(std::exception& e)
{
    std::cerr << consoleText("WARNING: ", e) << std::endl;
}
