#include "core/capture/SerialReader.h"

#include <gtest/gtest.h>

#include <future>

#include "CaptureTestSupport.h"

namespace veltra {
namespace {

using namespace test;

bool AnyButC8(uint8_t b) { return b != 0xC8; }

std::vector<std::u16string> Drain(CodeQueues& queues, QueueId which) {
    std::vector<std::u16string> entries;
    while (auto entry = queues.Front(which)) {
        entries.push_back(*entry);
        queues.PopFront(which);
    }
    return entries;
}

TEST(SerialReader_, QueuesAndTracesNothing_OnSilentReads) {
    TraceRecorder traces;
    CodeQueues queues;
    FakeSerialPort port({SilenceStep(), SilenceStep()});
    SerialReader reader(port, queues, AnyButC8);
    reader.Start();
    ASSERT_TRUE(port.WaitReads(3));
    reader.Stop();
    EXPECT_EQ(queues.Size(QueueId::Serial), 0u);
    EXPECT_TRUE(traces.Taken().empty());
    EXPECT_EQ(reader.EndError(), std::nullopt);
}

TEST(SerialReader_, QueuesEachBurstInOrder_ThroughDecoding) {
    TraceRecorder traces;
    CodeQueues queues;
    FakeSerialPort port({DataStep("12345\r"), SilenceStep(), DataStep("\r\n"), DataStep(std::string("67\xC8") + '8'),
                         DataStep("90\n")});
    SerialReader reader(port, queues, AnyButC8);
    reader.Start();
    ASSERT_TRUE(port.WaitReads(6));  // the sixth read starts only after the fifth burst was handled
    reader.Stop();
    EXPECT_EQ(Drain(queues, QueueId::Serial), (std::vector<std::u16string>{u"12345\r", u"Error", u"90\n"}));
    EXPECT_EQ(traces.Taken(), (std::vector<std::u16string>{u"Пришла строка=12345\r", u"Пришла строка=\r\n",
                                                           u"Пришла строка=Error", u"Пришла строка=90\n"}));
    EXPECT_EQ(queues.Size(QueueId::Keyboard), 0u);
}

TEST(SerialReader_, EndsWithReadFailedMessage_WhenReadFails) {
    const struct {
        const char* row;
        ReadStep::Kind failure;
        bool english;
    } rows[] = {
        {"failed read, English", ReadStep::Fail, true},
        {"failed read, Russian", ReadStep::Fail, false},
        {"throwing port", ReadStep::Throw, true},
    };
    for (const auto& row : rows) {
        LanguageScope language(row.english);
        CodeQueues queues;
        FakeSerialPort port({DataStep("1\r"), {row.failure, {}}, DataStep("2\r")});
        SerialReader reader(port, queues, AnyButC8);
        reader.Start();
        ASSERT_TRUE(reader.WaitFinished(kPatience)) << row.row;
        EXPECT_EQ(reader.EndError(), Text(Msg::PortReadFailed)) << row.row;
        EXPECT_EQ(port.Reads(), 2u) << row.row;
        EXPECT_EQ(Drain(queues, QueueId::Serial), std::vector<std::u16string>{u"1\r"}) << row.row;
        reader.Stop();  // returns at once: the thread has ended
    }
}

TEST(SerialReader_, StopWaitsForPendingRead_AndQueuesWhatItBrought) {
    CodeQueues queues;
    FakeSerialPort port({{ReadStep::Hold, Bytes("77\r")}});
    SerialReader reader(port, queues, AnyButC8);
    reader.Start();
    ASSERT_TRUE(port.WaitReads(1));
    auto stopped = std::async(std::launch::async, [&] { reader.Stop(); });
    EXPECT_EQ(stopped.wait_for(50ms), std::future_status::timeout) << "Stop returned during a pending read";
    port.Release();
    ASSERT_EQ(stopped.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(port.Reads(), 1u) << "no read may start after the stop request";
    EXPECT_EQ(Drain(queues, QueueId::Serial), std::vector<std::u16string>{u"77\r"});
}

TEST(SerialReader_, ReadsOnce_WhenStoppedRightAfterStart) {
    CodeQueues queues;
    FakeSerialPort port({DataStep("5\r")});
    {
        SerialReader reader(port, queues, AnyButC8);
        reader.Start();
    }  // the destructor stops and joins
    EXPECT_GE(port.Reads(), 1u);
    EXPECT_EQ(queues.Front(QueueId::Serial), u"5\r");
}

}  // namespace
}  // namespace veltra
