// The startup task's reporter texts for any code, detail and line: the console
// line and the keypad text, against their formats written out here with
// printf. Input: a kind byte (OrvelException without or with a detail, or
// another std::exception), code, line and detail (4 bytes each), then the
// source file name or the other exception's text.
#include "Fuzz.h"

#include "ErrorReporter.h"
#include "OrvelException.h"

#include <cstdarg>
#include <new>
#include <stdexcept>
#include <string>

namespace {

std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string printed(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

void checkOrvel(const OrvelException& e, const std::string& file)
{
    const std::string keypad = ErrorReporter::keypadText(e);
    const std::string expectedKeypad = e.hasDetail ? printed("ERR %d %d %X", static_cast<int>(e.code), e.source.line,
                                                             static_cast<unsigned>(e.detail))
                                                   : printed("ERROR\xA0# %d-%d", static_cast<int>(e.code), e.source.line);
    FUZZ_CHECK(keypad == expectedKeypad, "keypad text \"%s\", expected \"%s\"", keypad.c_str(), expectedKeypad.c_str());

    const std::string detail = e.hasDetail ? printed(", detail #%d", e.detail) : std::string();
    for (const char* prefix : {"ERROR: ", "WARNING: "}) {
        const std::string console = ErrorReporter::consoleText(prefix, e);
        const std::string expected = std::string(prefix) + "14OrvelException: #" + std::to_string(static_cast<int>(e.code)) + detail +
                                     " (thrown from " + file + ":" + std::to_string(e.source.line) + ")";
        FUZZ_CHECK(console == expected, "console line \"%s\", expected \"%s\"", console.c_str(), expected.c_str());
    }
}

void checkOther(const std::exception& e, const char* typeName)
{
    const std::string keypad = ErrorReporter::keypadText(e);
    FUZZ_CHECK(keypad == std::string("ERROR: ") + typeName, "keypad text \"%s\"", keypad.c_str());
    const std::string console = ErrorReporter::consoleText("ERROR: ", e);
    const std::string expected = std::string("ERROR: ") + typeName + ": " + e.what();
    FUZZ_CHECK(console == expected, "console line \"%s\", expected \"%s\"", console.c_str(), expected.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const uint8_t kind = input.byte();
    const auto code = static_cast<oerr::ErrorCode>(input.int32());
    const int line = input.int32();
    const int detail = input.int32();
    const std::string text(reinterpret_cast<const char*>(input.rest()), input.restSize());
    const std::string file = text.c_str();  // a C string: up to the first zero byte

    switch (kind % 4) {
    case 0:
        checkOrvel(OrvelException(code, CodeSource(file.c_str(), line)), file);
        break;
    case 1:
        checkOrvel(OrvelException(code, detail, CodeSource(file.c_str(), line)), file);
        break;
    case 2:
        checkOther(std::runtime_error(file), "St13runtime_error");
        break;
    default:
        checkOther(std::bad_alloc(), "St9bad_alloc");
        break;
    }
    return 0;
}
