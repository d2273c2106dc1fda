#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

// The hub's scratch directory.
extern const char* const temp_folder;

// The startup task's USB stick, child-process and file handling. Failures are
// raised as OrvelException.
class UsbDrive {
public:
    // Device paths of the first partitions found by the last enumeration, in
    // the order of the walk.
    static std::vector<std::string> gFoundPartitions;

    // Discovery and mounting.
    void enumerateUSBDrives();
    static int ftw_callback(const char* path, const struct stat* info, int flag);
    // True when the mount failed.
    bool mountDrive(const std::string& device, const std::string& mountPoint);
    void umountDrive(std::string& mountPoint);
    void umountDrive_nothrow(std::string& mountPoint);

    // Child processes. `args` holds the `argc` arguments after the command;
    // each file may be null (that stream is inherited).
    int execProcess(const char* command, int argc, const char* const* args, const char* errFile,
                    const char* outFile, const char* inFile);
    void processExec(const std::string& command);
    void processScript(const std::string& script);
    void processScript(const char* script, const char* errFile, const char* outFile, const char* inFile);
    void threadSleep(int ms);

    // File operations.
    void allowExecuteFile(const std::string& path);
    void clearTempDir();
    void createTempDir();
    void copyFile(const std::string& from, const std::string& to);
    void extractFile(const std::string& archive, const std::string& directory);
    void deleteFile(const std::string& path);
    bool directoryExist(const std::string& path);
    bool fileExist(const std::string& path);
    long fileSize(const std::string& path);

    // One stick: authorizer script, log archive.
    void processUSBDevice(const std::string& device);

    // A pending application update package.
    void applicationUpdate();

    bool deviceProcessed = false;
    bool scriptFound = false;
};
