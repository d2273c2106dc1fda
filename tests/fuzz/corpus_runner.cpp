// Runs a fuzz target over the files of its corpus, once each, as an ordinary
// test: for compilers without libFuzzer and for the hub's build under qemu-arm.
// Usage: TARGET FILE_OR_FOLDER...   Exit status 0 when every input ran and the
// corpus was not empty; a failing check aborts the run.
#include "Fuzz.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> inputsOf(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        perror(path.c_str());
        return {};
    }
    if (!S_ISDIR(info.st_mode))
        return {path};
    std::vector<std::string> files;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        perror(path.c_str());
        return {};
    }
    errno = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            files.push_back(path + "/" + entry->d_name);
    if (errno != 0)
        perror(path.c_str());
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t ran = 0;
    for (int i = 1; i < argc; ++i) {
        for (const std::string& file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++ran;
        }
    }
    printf("%zu inputs ran\n", ran);
    return ran > 0 ? 0 : 1;
}
