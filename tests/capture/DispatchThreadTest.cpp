#include "core/capture/DispatchThread.h"

#include <gtest/gtest.h>

#include <future>

#include "CaptureTestSupport.h"

namespace veltra {
namespace {

using namespace test;
using Answer = RecordingHost::Answer;

TEST(ModeOfPortText_, SelectsKeyboardSerialOrNone) {
    const struct {
        const char16_t* text;
        CaptureMode mode;
    } rows[] = {
        {u"USB", CaptureMode::Keyboard},
        {u"0", CaptureMode::Keyboard},
        {u"COM1", CaptureMode::Serial},
        {u"COM35", CaptureMode::Serial},
        {u"xCOMy", CaptureMode::Serial},
        {u"usb", CaptureMode::None},
        {u"com3", CaptureMode::None},
        {u"", CaptureMode::None},
        {u"USB ", CaptureMode::None},
        {u"00", CaptureMode::None},
        {u"/dev/ttyUSB0", CaptureMode::Serial},
        {u"dev/ttyS0", CaptureMode::None},
        {u"/dev/input/event3", CaptureMode::Keyboard},
        {u"usb:05e0:1200", CaptureMode::Keyboard},
    };
    for (const auto& row : rows) EXPECT_EQ(ModeOfPortText(row.text), row.mode) << ToUtf8(row.text);
}

}  // namespace

void PrintTo(DispatchPacing pacing, std::ostream* out) {
    *out << (pacing == DispatchPacing::Paced ? "Paced" : "Prompt");
}

namespace {

// Every behaviour must hold in both pacings.
class Dispatch : public ::testing::TestWithParam<DispatchPacing> {
protected:
    LanguageScope english_{true};
    RecordingHost host_;
    CodeQueues queues_;
    DispatchThread thread_{host_, queues_, GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Pacing, Dispatch, ::testing::Values(DispatchPacing::Paced, DispatchPacing::Prompt),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

TEST_P(Dispatch, PostsKeyboardCodesInOrder_AsQueued_WithSourceOfTheMoment) {
    for (const char16_t* code : {u"4607", u"", u" A\r"}) queues_.Append(QueueId::Keyboard, QueueEntry::Code(code));
    thread_.Start();
    host_.WaitAccepted(3);
    host_.deviceId = -3;
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"X"));
    ExpectPostings(host_.WaitAccepted(4), {
                                              {u"7", u"Barcode", u"4607"},
                                              {u"7", u"Barcode", u""},
                                              {u"7", u"Barcode", u" A\r"},
                                              {u"-3", u"Barcode", u"X"},
                                          });
    thread_.Stop();
    EXPECT_EQ(queues_.Size(QueueId::Keyboard), 0u);
}

// A Linux input device that went away and came back.
TEST_P(Dispatch, PostsLostInputDeviceAsDriverError_BetweenKeyboardCodes) {
    for (const QueueEntry& entry : {QueueEntry::Code(u"1"), QueueEntry::LineLost(), QueueEntry::Code(u"2")})
        queues_.Append(QueueId::Keyboard, entry);
    thread_.Start();
    ExpectPostings(
        host_.WaitAccepted(3),
        {
            {u"7", u"Barcode", u"1"},
            {u"7", u"DriverError", u"An error occurred while reading the scanner's input device: it is gone."},
            {u"7", u"Barcode", u"2"},
        });
    thread_.Stop();
}

TEST_P(Dispatch, PostsSerialCodesTrimmed_AndUnreadableDataOrALostLineAsDriverErrors) {
    host_.mode = CaptureMode::Serial;
    for (const QueueEntry& entry :
         {QueueEntry::Code(u"  123\r\n"), QueueEntry::Unreadable(), QueueEntry::Code(u"\u001D456\r"),
          QueueEntry::Code(u"Error"), QueueEntry::Code(u"Error\r\n"), QueueEntry::LineLost()})
        queues_.Append(QueueId::Serial, entry);
    thread_.Start();
    const std::u16string bad = u"Check COM port settings, incorrect values come.";
    ExpectPostings(host_.WaitAccepted(6),
                   {
                       {u"7", u"Barcode", u"123"},
                       {u"7", u"DriverError", bad},
                       {u"7", u"Barcode", u"456"},
                       {u"7", u"Barcode", u"Error"},  // a scanner without a suffix read the code "Error"
                       {u"7", u"Barcode", u"Error"},
                       {u"7", u"DriverError", u"An error occurred while reading from the COM port."},
                   });
    thread_.Stop();
    EXPECT_EQ(queues_.Size(QueueId::Serial), 0u);
}

TEST_P(Dispatch, KeepsRefusedEntryAtHead_UntilAccepted_AndKeepsRunning) {
    const struct {
        const char* row;
        CaptureMode mode;
        QueueId queue;
        const char16_t* first;
        const char16_t* second;
        const char16_t* third;
        const char16_t* posted[3];
    } rows[] = {
        {"keyboard", CaptureMode::Keyboard, QueueId::Keyboard, u"A", u"B", u"C", {u"A", u"B", u"C"}},
        {"serial", CaptureMode::Serial, QueueId::Serial, u"A\r", u"B\r", u"C\r", {u"A", u"B", u"C"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        RecordingHost host;
        CodeQueues queues;
        host.mode = row.mode;
        host.Plan({Answer::Refuse, Answer::Throw, Answer::Refuse});
        queues.Append(row.queue, QueueEntry::Code(row.first));
        queues.Append(row.queue, QueueEntry::Code(row.second));
        DispatchThread thread(host, queues, GetParam());
        thread.Start();
        host.WaitAccepted(2);
        queues.Append(row.queue, QueueEntry::Code(row.third));
        ExpectPostings(host.WaitAccepted(3), {
                                                 {u"7", u"Barcode", row.posted[0], false},
                                                 {u"7", u"Barcode", row.posted[0], false},
                                                 {u"7", u"Barcode", row.posted[0], false},
                                                 {u"7", u"Barcode", row.posted[0]},
                                                 {u"7", u"Barcode", row.posted[1]},
                                                 {u"7", u"Barcode", row.posted[2]},
                                             });
        thread.Stop();
        EXPECT_EQ(queues.Size(row.queue), 0u);
    }
}

TEST_P(Dispatch, PostsWithoutQueueLock_SoHostThreadCanAppendMeanwhile) {
    std::atomic<bool> appended{false};
    std::future<void> append;  // outlives the posting, so a held lock shows as a failure, not a hang
    host_.onPost = [&] {
        if (append.valid()) return;
        // The host's thread appends from its hook while its event sink waits for that thread.
        append = std::async(std::launch::async, [&] { queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"B")); });
        appended = append.wait_for(kPatience) == std::future_status::ready;
    };
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"A"));
    thread_.Start();
    ExpectPostings(host_.WaitAccepted(2), {{u"7", u"Barcode", u"A"}, {u"7", u"Barcode", u"B"}});
    thread_.Stop();  // before the locals that onPost uses go away
    EXPECT_TRUE(appended);
}

TEST_P(Dispatch, LeavesRefusedEntryQueued_WhenStopped) {
    host_.RefuseAll();
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"A"));
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"B"));
    thread_.Start();
    host_.WaitAttempts(2);
    thread_.Stop();
    for (const Posting& p : host_.Postings()) EXPECT_EQ(p.data, u"A") << Describe(host_.Postings());
    EXPECT_EQ(queues_.Size(QueueId::Keyboard), 2u);
    EXPECT_EQ(queues_.Front(QueueId::Keyboard), QueueEntry::Code(u"A"));
}

TEST_P(Dispatch, KeepsEventNamesOfStart_ButErrorTextFollowsLanguage) {
    host_.mode = CaptureMode::Serial;
    queues_.Append(QueueId::Serial, QueueEntry::Unreadable());
    thread_.Start();
    host_.WaitAccepted(1);
    g_LangEnglish = false;
    queues_.Append(QueueId::Serial, QueueEntry::Unreadable());
    queues_.Append(QueueId::Serial, QueueEntry::Code(u"5\r"));
    const std::u16string english = u"Check COM port settings, incorrect values come.";
    const std::u16string russian = u"Проверьте настройки COM порта, приходят некорректные значения.";
    ExpectPostings(host_.WaitAccepted(3), {
                                              {u"7", u"DriverError", english},
                                              {u"7", u"DriverError", russian},
                                              {u"7", u"Barcode", u"5"},
                                          });
}

TEST_P(Dispatch, TakesQueueOfCurrentMode_AfterModeSwitch) {
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"K1"));
    thread_.Start();
    host_.WaitAccepted(1);
    host_.mode = CaptureMode::Serial;
    thread_.Wake();
    // Once the thread has seen the new mode, no keyboard pass is under way.
    ASSERT_TRUE(host_.WaitModeReads(CaptureMode::Serial, 1));
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"K2"));
    queues_.Append(QueueId::Serial, QueueEntry::Code(u"C1\r"));
    ExpectPostings(host_.WaitAccepted(2), {{u"7", u"Barcode", u"K1"}, {u"7", u"Barcode", u"C1"}});
    thread_.Stop();
    EXPECT_EQ(queues_.Front(QueueId::Keyboard), QueueEntry::Code(u"K2"));
}

TEST_P(Dispatch, PostsNothing_WhenModeIsNone) {
    host_.mode = CaptureMode::None;
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"K"));
    queues_.Append(QueueId::Serial, QueueEntry::Code(u"C"));
    thread_.Start();
    ASSERT_TRUE(host_.WaitModeReads(CaptureMode::None, 2));
    thread_.Stop();
    EXPECT_TRUE(host_.Postings().empty()) << Describe(host_.Postings());
    EXPECT_EQ(queues_.Size(QueueId::Keyboard), 1u);
    EXPECT_EQ(queues_.Size(QueueId::Serial), 1u);
}

TEST_P(Dispatch, StopsPromptly_WhenIdle) {
    thread_.Start();
    ASSERT_TRUE(host_.WaitModeReads(CaptureMode::Keyboard, 2));  // a pass is over and the thread waits
    const auto begin = std::chrono::steady_clock::now();
    thread_.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 2s);
}

TEST_P(Dispatch, EndsWithDispatchFailure_WhenModeCannotBeRead) {
    host_.modeFails = true;
    queues_.Append(QueueId::Keyboard, QueueEntry::Code(u"K"));
    thread_.Start();
    host_.WaitAccepted(1);
    host_.modeFails = false;  // an ended loop posts nothing more, even now
    thread_.Wake();
    thread_.Stop();
    ExpectPostings(host_.Postings(), {{u"7", u"DriverError", u"Error when processing flow barcode."}});
    EXPECT_EQ(queues_.Size(QueueId::Keyboard), 1u);
}

TEST(DispatchPacing_, PacedPausesAfterEachPosting) {
    LanguageScope english(true);
    RecordingHost host;
    CodeQueues queues;
    for (int i = 0; i < 10; ++i) queues.Append(QueueId::Keyboard, QueueEntry::Code(DecimalText(i)));
    DispatchThread thread(host, queues, DispatchPacing::Paced);
    const auto begin = std::chrono::steady_clock::now();
    thread.Start();
    host.WaitAccepted(10);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 90ms);  // nine pauses of 10 ms at least
}

TEST(DispatchPacing_, PromptDrainsWithoutPausing) {
    LanguageScope english(true);
    RecordingHost host;
    CodeQueues queues;
    for (int i = 0; i < 200; ++i) queues.Append(QueueId::Keyboard, QueueEntry::Code(DecimalText(i)));
    DispatchThread thread(host, queues, DispatchPacing::Prompt);
    const auto begin = std::chrono::steady_clock::now();
    thread.Start();
    const std::vector<Posting> postings = host.WaitAccepted(200);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1500ms);  // paced, this takes two seconds at least
    ASSERT_EQ(postings.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(postings[i].data, DecimalText(i));
}

}  // namespace
}  // namespace veltra
