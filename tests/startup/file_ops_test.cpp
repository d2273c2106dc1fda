#include "SandboxTest.h"

#include <cerrno>

namespace {

struct FileCase {
    const char* name;
    const char* setup;  // shell commands
    std::function<void(UsbDrive&)> action;
    Outcome outcome;
    const char* check;  // shell condition afterwards, in the same folder
};

class FileOpsTest : public SandboxTest {
protected:
    void runCases(const std::vector<FileCase>& cases)
    {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            shell("rm -rf /mnt/app/tmp /tmp/f && mkdir -p /tmp/f && cd /tmp/f && " + std::string(c.setup));
            testing::internal::CaptureStderr();
            const Outcome outcome = outcomeOf([&] { c.action(drive); });
            testing::internal::GetCapturedStderr();
            EXPECT_EQ(outcome, c.outcome);
            EXPECT_EQ(std::system(("cd /tmp/f && " + std::string(c.check)).c_str()), 0) << c.check;
        }
    }
};

TEST_F(FileOpsTest, TheTemporaryDirectory)
{
    runCases({
        {"created when missing", "true", [](UsbDrive& d) { d.createTempDir(); }, NOTHING_RAISED,
         "test -d /mnt/app/tmp"},
        {"an existing one fails mkdir", "mkdir -p /mnt/app/tmp/keep", [](UsbDrive& d) { d.createTempDir(); },
         raised(oerr::CreateTempDirFailed, 1), "test -d /mnt/app/tmp/keep"},
        {"emptying a missing one", "true", [](UsbDrive& d) { d.clearTempDir(); }, NOTHING_RAISED,
         "test ! -e /mnt/app/tmp"},
        {"emptying an empty one", "mkdir -p /mnt/app/tmp", [](UsbDrive& d) { d.clearTempDir(); }, NOTHING_RAISED,
         "test -d /mnt/app/tmp"},
        {"emptying leaves dot files", "mkdir -p /mnt/app/tmp/sub/deep && touch /mnt/app/tmp/a /mnt/app/tmp/.hidden",
         [](UsbDrive& d) { d.clearTempDir(); }, NOTHING_RAISED,
         "test \"$(ls -A /mnt/app/tmp)\" = .hidden"},
        {"names with blanks and quotes", "mkdir -p /mnt/app/tmp && touch '/mnt/app/tmp/a b' \"/mnt/app/tmp/it's\"",
         [](UsbDrive& d) { d.clearTempDir(); }, NOTHING_RAISED, "test -z \"$(ls -A /mnt/app/tmp)\""},
    });
}

TEST_F(FileOpsTest, ToolBasedOperations)
{
    runCases({
        {"copy", "echo new > from && echo old > to && chmod 444 to",
         [](UsbDrive& d) { d.copyFile("/tmp/f/from", "/tmp/f/to"); }, NOTHING_RAISED, "test \"$(cat to)\" = new"},
        {"copy into a folder", "echo x > from && mkdir into", [](UsbDrive& d) { d.copyFile("/tmp/f/from", "/tmp/f/into"); },
         NOTHING_RAISED, "test -f into/from"},
        {"copy of a missing file", "true", [](UsbDrive& d) { d.copyFile("/tmp/f/none", "/tmp/f/to"); },
         raised(oerr::CopyFailed, 1), "test ! -e to"},
        {"make executable", "touch s && chmod 600 s", [](UsbDrive& d) { d.allowExecuteFile("/tmp/f/s"); },
         NOTHING_RAISED, "test \"$(stat -c %a s)\" = 755"},
        {"make a missing file executable", "true", [](UsbDrive& d) { d.allowExecuteFile("/tmp/f/none"); },
         raised(oerr::FileSetupFailed, 1), "true"},
        {"extract", "mkdir -p in/sub out && echo a > in/sub/a && tar -czf p.tar.gz -C in .",
         [](UsbDrive& d) { d.extractFile("/tmp/f/p.tar.gz", "/tmp/f/out"); }, NOTHING_RAISED,
         "test \"$(cat out/sub/a)\" = a"},
        {"extract what is not gzip-compressed tar", "echo junk > p.tar.gz && mkdir out",
         [](UsbDrive& d) { d.extractFile("/tmp/f/p.tar.gz", "/tmp/f/out"); }, raised(oerr::FileSetupFailed, 1),
         "test -z \"$(ls -A out)\""},
        // Written by a tar that keeps "../" (the hub's strips it when writing).
        {"members that climb out stay inside",
         "mkdir -p a/b out && echo e > evil && (cd a/b && /usr/bin/tar -czPf /tmp/f/p.tar.gz ../../evil) && rm evil",
         [](UsbDrive& d) { d.extractFile("/tmp/f/p.tar.gz", "/tmp/f/out"); }, NOTHING_RAISED,
         "test ! -e /tmp/evil && test -f out/evil"},
    });
}

TEST_F(FileOpsTest, Deletion)
{
    runCases({
        {"a file", "touch x", [](UsbDrive& d) { d.deleteFile("/tmp/f/x"); }, NOTHING_RAISED, "test ! -e x"},
        {"nothing there", "true", [](UsbDrive& d) { d.deleteFile("/tmp/f/x"); }, NOTHING_RAISED, "true"},
        {"an empty folder", "mkdir x", [](UsbDrive& d) { d.deleteFile("/tmp/f/x"); }, NOTHING_RAISED, "test ! -e x"},
        {"a folder with content", "mkdir x && touch x/y", [](UsbDrive& d) { d.deleteFile("/tmp/f/x"); },
         raised(oerr::DeleteFailed, ENOTEMPTY), "test -f x/y"},
        {"below a file", "touch x", [](UsbDrive& d) { d.deleteFile("/tmp/f/x/y"); }, raised(oerr::DeleteFailed, ENOTDIR),
         "test -f x"},
    });
}

TEST_F(FileOpsTest, ExistenceAndSize)
{
    shell("rm -rf /tmp/f && mkdir -p /tmp/f/dir && head -c 1234 /dev/zero > /tmp/f/file && : > /tmp/f/empty"
          " && ln -s dir /tmp/f/link && ln -s none /tmp/f/dangling");
    struct Case {
        const char* path;
        bool directory;
        bool file;
        long size;
    };
    const Case cases[] = {
        {"/tmp/f/dir", true, true, 0},  // a folder opens for reading too
        {"/tmp/f/link", true, true, 0},
        {"/tmp/f/file", false, true, 1234},
        {"/tmp/f/empty", false, true, 0},
        {"/tmp/f/dangling", false, false, 0},
        {"/tmp/f/none", false, false, 0},
        {"", false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(drive.directoryExist(c.path), c.directory);
        EXPECT_EQ(drive.fileExist(c.path), c.file);
        if (!c.directory) {
            EXPECT_EQ(drive.fileSize(c.path), c.size);
        }
    }
}

}  // namespace
