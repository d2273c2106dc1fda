#include "SimTest.h"

#include "PrintKeypad.h"

namespace {

using Json = SimControl::Json;
using Texts = std::vector<std::pair<int, std::string>>;

const std::pair<int, int> STATUS_QUERY{0x22, 0x03};
const std::pair<int, int> TEXT{0x50, 0x23};

struct KeypadCase {
    const char* name;
    Json config;
    const char* text;
    std::vector<std::pair<int, int>> frames;
    Texts shown;
};

class KeypadTextTest : public SimTest {};

TEST_F(KeypadTextTest, TextsGoToEveryPresentKeypadInOrder)
{
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    const KeypadCase cases[] = {
        {"both keypads", Json::object(), "HI", {STATUS_QUERY, TEXT, TEXT}, {{1, "HI"}, {2, "HI"}}},
        {"empty text", Json::object(), "", {STATUS_QUERY, TEXT, TEXT}, {{1, ""}, {2, ""}}},
        {"cut to 16 bytes", Json::object(), twenty.c_str(), {STATUS_QUERY, TEXT, TEXT},
         {{1, twenty.substr(0, 16)}, {2, twenty.substr(0, 16)}}},
        {"raw bytes", Json::object(), "\"a\"\n\xA0\xFF$(x)", {STATUS_QUERY, TEXT, TEXT},
         {{1, "\"a\"\n\xA0\xFF$(x)"}, {2, "\"a\"\n\xA0\xFF$(x)"}}},
        {"only keypad 2", {{"keypads", {false, true}}}, "HI", {STATUS_QUERY, TEXT}, {{2, "HI"}}},
        {"only keypad 1", {{"keypads", {true, false}}}, "HI", {STATUS_QUERY, TEXT}, {{1, "HI"}}},
        {"no keypad", {{"keypads", {false, false}}}, "HI", {STATUS_QUERY}, {}},
        {"status without keypad 2's byte", {{"status_length", 17}}, "HI", {STATUS_QUERY, TEXT}, {{1, "HI"}}},
        {"empty status reply", {{"status_length", 0}}, "HI", {STATUS_QUERY}, {}},
        {"refused status query", {{"faults", {{"refuse_first", 1}}}}, "HI", {STATUS_QUERY, STATUS_QUERY, TEXT, TEXT},
         {{1, "HI"}, {2, "HI"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim.configure(c.config);
        const std::string messages = stderrOf([&] { print_To_Keypad(c.text); });
        EXPECT_EQ(commands(), c.frames);
        EXPECT_EQ(sim.keypadTexts(), c.shown);
        EXPECT_EQ(messages, "");
    }
}

TEST_F(KeypadTextTest, TheTextFrameCarriesKeypadNumberAndLength)
{
    sim.configure({{"keypads", {false, true}}});
    print_To_Keypad("HELLO");
    const auto frames = sim.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1]["param1"], 2);
    EXPECT_EQ(frames[1]["param2"], 0);
    EXPECT_EQ(frames[1]["length"], 5);
    EXPECT_EQ(frames[1]["payload"], hexOf("HELLO"));
}

TEST_F(KeypadTextTest, ANullTextSendsNothing)
{
    print_To_Keypad(nullptr);
    usleep(50000);
    EXPECT_TRUE(sim.frames().empty());
}

TEST_F(KeypadTextTest, AFailedStatusQuerySendsNoTextAndSaysNothing)
{
    sim.configure({{"faults", {{"no_reply", true}}}});
    const std::string messages = stderrOf([] { print_To_Keypad("HI"); });
    EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{STATUS_QUERY, STATUS_QUERY, STATUS_QUERY}));
    EXPECT_EQ(messages, "");
}

TEST_F(KeypadTextTest, AFailedSendToKeypad1DoesNotStopKeypad2)
{
    sim.configure({{"faults", {{"drop_first", 3}, {"only_code", 0x50}}}});
    print_To_Keypad("HI");
    EXPECT_EQ(commands(), (std::vector<std::pair<int, int>>{STATUS_QUERY, TEXT, TEXT, TEXT, TEXT}));
    const auto frames = sim.frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3]["param1"], 1);
    EXPECT_EQ(frames[4]["param1"], 2);
}

TEST_F(KeypadTextTest, AnUnopenableDeviceIsSilent)
{
    ASSERT_TRUE(SimControl::removeDevice());
    const std::string messages = stderrOf([] { print_To_Keypad("HI"); });
    ASSERT_TRUE(SimControl::restoreDevice());
    EXPECT_EQ(messages, "");
}

TEST(KeypadMessage, ValidityAndLength)
{
    int length = -1;
    EXPECT_FALSE(isMessageValid(nullptr, &length));
    EXPECT_EQ(length, -1);
    EXPECT_TRUE(isMessageValid("", &length));
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(isMessageValid("USB SCAN", &length));
    EXPECT_EQ(length, 8);
}

}  // namespace
