#include "StartupTest.h"

#include "OrvelStartup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(PrintFileStatTest, PrintsThirteenNumbersInStatOrder)
{
    std::string pattern = testing::TempDir() + "qor-stat-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string file = pattern + "/five";
    writeFile(file, "12345");
    chmod(file.c_str(), 0640);
    struct stat info;
    ASSERT_EQ(stat(file.c_str(), &info), 0);

    testing::internal::CaptureStdout();
    printFileStat(file);
    const auto lines = linesOf(testing::internal::GetCapturedStdout());
    std::filesystem::remove_all(pattern);

    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[1], std::to_string(info.st_ino));
    EXPECT_EQ(lines[2], std::to_string(S_IFREG | 0640));
    EXPECT_EQ(lines[3], "1");
    EXPECT_EQ(lines[4], std::to_string(getuid()));
    EXPECT_EQ(lines[7], "5");
    EXPECT_EQ(lines[11], std::to_string(info.st_mtime));
    for (const auto& line : lines)
        EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << line;
}

TEST(PrintFileStatTest, AMissingPathRaisesStatFailedWithErrno)
{
    EXPECT_EQ(outcomeOf([] { printFileStat(testing::TempDir() + "qor-no-such-file/x"); }),
              raised(oerr::StatFailed, ENOENT));
    EXPECT_EQ(outcomeOf([] { printFileStat(""); }), raised(oerr::StatFailed, ENOENT));
}

}  // namespace
