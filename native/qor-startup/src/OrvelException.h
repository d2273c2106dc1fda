#pragma once

#include <exception>

// Where an exception was raised. `file` must live for the whole program: it is
// the compiler's file-name literal.
struct CodeSource {
    CodeSource(const char* sourceFile, int sourceLine);

    const char* file;
    int line;
};

// The raising statement's own location.
#define ORVEL_HERE CodeSource(__FILE__, __LINE__)

namespace oerr {

// People see these numbers on the console and the keypads: they never change.
enum ErrorCode : int {
    AssertionFailed = 0,
    UnexpectedException = 1,
    CreateTempDirFailed = 2,
    ClearTempDirFailed = 5,
    ForkFailed = 6,
    ChildProcessFailed = 7,
    UnmountFailed = 8,
    StatFailed = 9,
    ScriptFailed = 10,
    ExecFailed = 11,
    CopyFailed = 12,
    FileSetupFailed = 13,
    DeleteFailed = 14,
    LogArchiveFailed = 15,
};

}  // namespace oerr

// The startup task's only exception: raised by value, caught by reference.
class OrvelException : public std::exception {
public:
    OrvelException(oerr::ErrorCode errorCode, const CodeSource& raisedAt);
    // `errorDetail`: an exit status or an errno value.
    OrvelException(oerr::ErrorCode errorCode, int errorDetail, const CodeSource& raisedAt);

    CodeSource source;
    oerr::ErrorCode code;
    bool hasDetail;
    int detail;
};

void assertTrue(bool condition, const CodeSource& source);
