// Running tools and scripts as child processes.
#include "UsbDrive.h"

#include "OrvelException.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

// The exit status of a child that could not execute its program.
const int EXEC_FAILED_STATUS = 238;

FILE* openOptional(const char* path, const char* mode)
{
    return path != nullptr ? fopen(path, mode) : nullptr;
}

void redirect(FILE* stream, int target)
{
    if (stream == nullptr)
        return;
    const int fd = fileno(stream);
    if (fd == target)
        fcntl(fd, F_SETFD, 0);  // it must survive the exec
    else
        dup2(fd, target);
}

void closeUnlessRedirectedOnto(FILE* stream, int target)
{
    if (stream != nullptr && fileno(stream) != target)
        fclose(stream);
}

char* copyOf(const char* text)
{
    const size_t size = strlen(text) + 1;
    char* copy = new char[size];
    memcpy(copy, text, size);
    return copy;
}

[[noreturn]] void runChild(const char* command, int argc, const char* const* args, const char* errFile,
                           const char* outFile, const char* inFile)
{
    const bool sameFile = errFile != nullptr && outFile != nullptr && strcmp(errFile, outFile) == 0;
    // Opened close-on-exec ("e"): the program holds the files on 0 to 2 only.
    FILE* err = openOptional(errFile, "w+e");
    FILE* out = sameFile ? nullptr : openOptional(outFile, "w+e");
    FILE* in = openOptional(inFile, "re");

    const int count = argc > 0 ? argc : 0;
    char** vector = new char*[static_cast<size_t>(count) + 2];
    vector[0] = copyOf(command);
    for (int i = 0; i < count; ++i)
        vector[i + 1] = copyOf(args[i]);
    vector[count + 1] = nullptr;

    redirect(err, STDERR_FILENO);
    redirect(sameFile ? err : out, STDOUT_FILENO);
    redirect(in, STDIN_FILENO);

    execvp(command, vector);
    const int failure = errno;

    closeUnlessRedirectedOnto(err, STDERR_FILENO);
    closeUnlessRedirectedOnto(out, STDOUT_FILENO);
    closeUnlessRedirectedOnto(in, STDIN_FILENO);
    fprintf(stderr, "execvp failing with errno %d; command: %s", failure, command);
    for (int i = 0; i < count; ++i)
        fprintf(stderr, " %s", args[i]);
    fprintf(stderr, "\n");
    fflush(stderr);
    for (int i = 0; i <= count; ++i)
        delete[] vector[i];
    delete[] vector;
    // Never the parent's exit handlers, nor its stream buffers a second time.
    _exit(EXEC_FAILED_STATUS);
}

}  // namespace

int UsbDrive::execProcess(const char* command, int argc, const char* const* args, const char* errFile,
                          const char* outFile, const char* inFile)
{
    // What the parent has buffered must not appear after the child's output,
    // nor be written again by the child.
    fflush(nullptr);
    std::cout.flush();
    std::cerr.flush();

    const pid_t pid = fork();
    if (pid < 0)
        throw OrvelException(oerr::ForkFailed, errno, ORVEL_HERE);
    if (pid == 0) {
        // Nothing raised in the child may unwind into the parent's code.
        try {
            runChild(command, argc, args, errFile, outFile, inFile);
        } catch (...) {
        }
        _exit(EXEC_FAILED_STATUS);
    }

    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        throw OrvelException(oerr::ChildProcessFailed, errno, ORVEL_HERE);
    if ((status & 0x7F) != 0)
        throw OrvelException(oerr::ChildProcessFailed, ORVEL_HERE);  // ended by a signal
    const int exitStatus = (status >> 8) & 0xFF;
    if (exitStatus == EXEC_FAILED_STATUS)
        throw OrvelException(oerr::ChildProcessFailed, ORVEL_HERE);
    return exitStatus;
}

void UsbDrive::processExec(const std::string& command)
{
    const int status = execProcess(command.c_str(), 0, nullptr, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::ExecFailed, status, ORVEL_HERE);
}

void UsbDrive::processScript(const std::string& script)
{
    const int status = execProcess(script.c_str(), 0, nullptr, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::ScriptFailed, status, ORVEL_HERE);
}

void UsbDrive::processScript(const char* script, const char* errFile, const char* outFile, const char* inFile)
{
    const int status = execProcess(script, 0, nullptr, errFile, outFile, inFile);
    if (status != 0)
        throw OrvelException(oerr::ScriptFailed, status, ORVEL_HERE);
}

void UsbDrive::threadSleep(int ms)
{
    if (ms > 0)
        usleep(static_cast<useconds_t>(ms) * 1000u);
}
