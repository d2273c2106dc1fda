#include "JournalFile.h"
#include "SimTest.h"

#include "PrintKeypad.h"
#include "misc.h"

#include <sys/mount.h>
#include <sys/wait.h>

namespace {

using Json = SimControl::Json;

class JournalTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        removeJournal();
    }

    bool log(int event, const char* text, std::string* out = nullptr, std::string* err = nullptr)
    {
        bool ok = false;
        std::string o;
        const std::string e = stderrOf([&] { o = stdoutOf([&] { ok = logHubEvent(event, text); }); });
        if (out != nullptr)
            *out = o;
        if (err != nullptr)
            *err = e;
        return ok;
    }
};

TEST_F(JournalTest, Event99WithAnEmptyTextIsTheWorkedRecord)
{
    std::string out;
    EXPECT_TRUE(log(99, "", &out));
    const Bytes expected = {'@', 'Q', 'O', 'R', 0x00, 0x07, 0xDE, 0x89, 0x35, 0x02, 0x97, 0x85, 0x63, 0xFF, 0x00};
    EXPECT_EQ(journalBytes(), expected);
    EXPECT_EQ(out, "qorutil: Wrote hub-event #99 \"\"\n");
    EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{{0x22, 0x04}}));
}

struct RecordCase {
    const char* name;
    int event;
    std::string text;
    bool nullText;
    int storedEvent;
    size_t storedLength;
};

TEST_F(JournalTest, EventsAndTextsAreStoredAsTheRecordLayoutSays)
{
    const RecordCase cases[] = {
        {"hello world", 1234, "hello world", false, 210, 11},
        {"negative event", -1, "x", false, 255, 1},
        {"null text", 5, "", true, 5, 0},
        {"255 bytes", 7, std::string(255, 'a'), false, 7, 255},
        {"300 bytes cut to 255", 8, std::string(300, 'b'), false, 8, 255},
        {"raw bytes", 9, "\"\n\xFF$(rm)", false, 9, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        removeJournal();
        std::string out;
        EXPECT_TRUE(log(c.event, c.nullText ? nullptr : c.text.c_str(), &out));
        const Bytes journal = journalBytes();
        ASSERT_EQ(journal.size(), 15 + c.storedLength);
        const size_t bodyLength = 7 + c.storedLength;
        EXPECT_EQ(journal[4] << 8 | journal[5], static_cast<int>(bodyLength));
        EXPECT_EQ(journal[6] << 8 | journal[7], CRC16(&journal[8], static_cast<unsigned short>(bodyLength)));
        EXPECT_EQ(recordTime(journal), 889362309u);
        EXPECT_EQ(journal[12], c.storedEvent);
        EXPECT_EQ(journal[13], 0xFF);
        EXPECT_EQ(journal[14], c.storedLength);
        EXPECT_EQ(std::string(journal.begin() + 15, journal.end()), c.text.substr(0, c.storedLength));
        EXPECT_EQ(out, "qorutil: Wrote hub-event #" + std::to_string(c.storedEvent) + " \"" + c.text + "\"\n");
    }
}

TEST_F(JournalTest, RecordsFollowEachOtherBackToBack)
{
    EXPECT_TRUE(log(1, "first"));
    EXPECT_TRUE(log(2, "second"));
    const Bytes journal = journalBytes();
    ASSERT_EQ(journal.size(), 20u + 21u);
    EXPECT_EQ(std::string(journal.begin() + 20, journal.begin() + 24), "@QOR");
    EXPECT_EQ(journal[20 + 12], 2);
}

TEST_F(JournalTest, TheJournalReaderNamesTheOffsetOfATornTail)
{
    EXPECT_TRUE(log(1, "first"));
    EXPECT_TRUE(log(2, "second"));
    ASSERT_EQ(truncate("/mnt/app/client/hub_events.bin", 20 + 21 - 3), 0);
    std::string verdict;
    EXPECT_EQ(journalReaderStatus(SimControl::toolsDir(), verdict), 1);
    EXPECT_NE(verdict.find("1 whole records; torn or corrupt record at offset 20"), std::string::npos) << verdict;
}

TEST_F(JournalTest, ANewJournalIsReadableByAllAndWritableByItsOwner)
{
    const mode_t old = umask(0);
    EXPECT_TRUE(log(1, "x"));
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat("/mnt/app/client/hub_events.bin", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST_F(JournalTest, WithoutAClockTheRecordHoldsTimeZeroAndTheResultIsFalse)
{
    sim.configure({{"faults", {{"no_reply", true}}}});
    std::string out, err;
    EXPECT_FALSE(log(3, "no clock", &out, &err));
    EXPECT_EQ(err, "FSKP: failed to read chip RTC\n");
    EXPECT_EQ(out, "qorutil: Wrote hub-event #3 \"no clock\"\n");
    const Bytes journal = journalBytes();
    ASSERT_EQ(journal.size(), 23u);
    EXPECT_EQ(recordTime(journal), 0u);

    removeJournal();
    ASSERT_TRUE(SimControl::removeDevice());
    const bool ok = log(4, "", &out, &err);
    ASSERT_TRUE(SimControl::restoreDevice());
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "") << "a missing device is not reported here";
    EXPECT_EQ(recordTime(journalBytes()), 0u);
}

TEST_F(JournalTest, AMissingClientFolderIsReportedWithThePath)
{
    ASSERT_EQ(rmdir("/mnt/app/client"), 0);
    std::string out, err;
    const bool ok = log(1, "x", &out, &err);
    mkdir("/mnt/app/client", 0755);
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "/mnt/app/client/hub_events.bin: No such file or directory\n");
    EXPECT_EQ(out, "");
}

// Builds one whole record the way the journal stores it.
Bytes record(int event, const std::string& text)
{
    Bytes body = {0x35, 0x02, 0x97, 0x85, static_cast<unsigned char>(event), 0xFF,
                  static_cast<unsigned char>(text.size())};
    body.insert(body.end(), text.begin(), text.end());
    const unsigned short crc = CRC16(body.data(), static_cast<unsigned short>(body.size()));
    Bytes whole = {'@', 'Q', 'O', 'R', static_cast<unsigned char>(body.size() >> 8),
                   static_cast<unsigned char>(body.size() & 0xFF),
                   static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc & 0xFF)};
    whole.insert(whole.end(), body.begin(), body.end());
    return whole;
}

TEST_F(JournalTest, ARecordThatDoesNotFitIsCutAwayAgain)
{
    // A one-page file system holding fifteen 270-byte records: 46 bytes are left.
    ASSERT_EQ(mount("journal", "/mnt/app/client", "tmpfs", 0, "size=4k"), 0);
    Bytes fifteen;
    for (int i = 0; i < 15; ++i) {
        const Bytes r = record(i, std::string(255, 'r'));
        fifteen.insert(fifteen.end(), r.begin(), r.end());
    }
    {
        std::ofstream out("/mnt/app/client/hub_events.bin", std::ios::binary);
        out.write(reinterpret_cast<const char*>(fifteen.data()), static_cast<std::streamsize>(fifteen.size()));
    }
    std::string out, err;
    const bool ok = log(42, std::string(255, 'x').c_str(), &out, &err);
    const Bytes after = journalBytes();
    std::string verdict;
    const int readerStatus = journalReaderStatus(SimControl::toolsDir(), verdict);
    umount2("/mnt/app/client", MNT_DETACH);

    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "/mnt/app/client/hub_events.bin: No space left on device\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(after, fifteen);
    EXPECT_EQ(readerStatus, 0) << verdict;
}

TEST_F(JournalTest, TwoWritersAtOnceLeaveOnlyWholeRecords)
{
    const int perWriter = 12;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            for (int i = 0; i < perWriter; ++i) {
                const std::string text = "writer " + std::to_string(w) + " record " + std::to_string(i) +
                                         std::string(static_cast<size_t>(i * 20), '.');
                logHubEvent(w, text.c_str());
            }
            _exit(0);
        }
    }
    for (pid_t writer : writers) {
        int status = 0;
        waitpid(writer, &status, 0);
    }
    std::string verdict;
    EXPECT_EQ(journalReaderStatus(SimControl::toolsDir(), verdict), 0) << verdict;
    EXPECT_NE(verdict.find(std::to_string(2 * perWriter) + " records"), std::string::npos) << verdict;
}

}  // namespace
