// File operations, mostly through the hub's own tools.
#include "UsbDrive.h"

#include "OrvelException.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>

extern const char* const temp_folder = "/mnt/app/tmp";

namespace {

// Through the shell, for its wildcard.
const char* const delete_temp = "rm -rf /mnt/app/tmp/*";

}  // namespace

void UsbDrive::allowExecuteFile(const std::string& path)
{
    const char* args[] = {"755", path.c_str()};
    const int status = execProcess("chmod", 2, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::FileSetupFailed, status, ORVEL_HERE);
}

void UsbDrive::clearTempDir()
{
    const char* args[] = {"-c", delete_temp};
    const int status = execProcess("/bin/ash", 2, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::ClearTempDirFailed, status, ORVEL_HERE);
}

void UsbDrive::createTempDir()
{
    const char* args[] = {temp_folder};
    const int status = execProcess("mkdir", 1, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::CreateTempDirFailed, status, ORVEL_HERE);
}

void UsbDrive::copyFile(const std::string& from, const std::string& to)
{
    const char* args[] = {"-f", from.c_str(), to.c_str()};
    const int status = execProcess("cp", 3, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::CopyFailed, status, ORVEL_HERE);
}

void UsbDrive::extractFile(const std::string& archive, const std::string& directory)
{
    const char* args[] = {"-xzf", archive.c_str(), "-C", directory.c_str()};
    const int status = execProcess("tar", 4, args, nullptr, nullptr, nullptr);
    if (status != 0)
        throw OrvelException(oerr::FileSetupFailed, status, ORVEL_HERE);
}

void UsbDrive::deleteFile(const std::string& path)
{
    if (remove(path.c_str()) != 0 && errno != ENOENT)
        throw OrvelException(oerr::DeleteFailed, errno, ORVEL_HERE);
}

bool UsbDrive::directoryExist(const std::string& path)
{
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr)
        return false;
    closedir(dir);
    return true;
}

bool UsbDrive::fileExist(const std::string& path)
{
    bool exists = false;
    try {
        std::ifstream file(path);
        if (file.is_open()) {
            file.close();
            exists = true;
        }
    } catch (...) {
        std::cout << "UsbDrive::fileExist function error" << "\n";
        std::cout << "  file=" << path << "\n";
    }
    return exists;
}

long UsbDrive::fileSize(const std::string& path)
{
    long size = 0;
    try {
        std::ifstream file(path);
        if (file.is_open()) {
            file.seekg(0, std::ios::beg);
            const std::streampos begin = file.tellg();
            file.seekg(0, std::ios::end);
            const std::streampos end = file.tellg();
            file.close();
            size = end - begin;
        }
    } catch (...) {
        std::cout << "UsbDrive::fileSize function error\r\n";
        std::cout << "  file=" << path << "\n";
    }
    return size;
}
