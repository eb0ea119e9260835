#include "core/capture/SerialReader.h"

#include <gtest/gtest.h>

#include <future>

#include "CaptureTestSupport.h"

namespace veltra {
namespace {

using namespace test;

bool AnyButC8(uint8_t b) { return b != 0xC8; }

std::vector<QueueEntry> Drain(CodeQueues& queues, QueueId which) {
    std::vector<QueueEntry> entries;
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
    SerialReader reader(port, queues, AnyButC8, u"COM3", {});
    reader.Start();
    ASSERT_TRUE(port.WaitReads(3));
    reader.Stop();
    EXPECT_EQ(queues.Size(QueueId::Serial), 0u);
    EXPECT_TRUE(traces.Taken().empty());
}

TEST(SerialReader_, QueuesEachBurstInOrder_ThroughDecoding) {
    TraceRecorder traces;
    CodeQueues queues;
    FakeSerialPort port({DataStep("12345\r"), SilenceStep(), DataStep("\r\n"), DataStep(std::string("67\xC8") + '8'),
                         DataStep("90\n")});
    SerialReader reader(port, queues, AnyButC8, u"COM3", {});
    reader.Start();
    ASSERT_TRUE(port.WaitReads(6));  // the sixth read starts only after the fifth burst was handled
    reader.Stop();
    EXPECT_EQ(
        Drain(queues, QueueId::Serial),
        (std::vector<QueueEntry>{QueueEntry::Code(u"12345\r"), QueueEntry::Unreadable(), QueueEntry::Code(u"90\n")}));
    EXPECT_EQ(traces.Taken(), (std::vector<std::u16string>{u"Пришла строка=12345\r", u"Пришла строка=\r\n",
                                                           u"Пришла строка=Error", u"Пришла строка=90\n"}));
    EXPECT_EQ(queues.Size(QueueId::Keyboard), 0u);
}

// A lost line is queued once; the port is opened again
// (here after two refusals) and reading goes on.
TEST(SerialReader_, LostLine_IsQueuedOnce_AndReadingGoesOn_OnceThePortOpensAgain) {
    for (const ReadStep::Kind failure : {ReadStep::Fail, ReadStep::Throw}) {
        CodeQueues queues;
        FakeSerialPort port({DataStep("1\r"), {failure, {}}, DataStep("2\r")});
        port.refuseOpens = 2;
        SerialReader reader(port, queues, AnyButC8, u"COM3", {}, 1ms);
        reader.Start();
        ASSERT_TRUE(port.WaitReads(4));
        reader.Stop();
        EXPECT_EQ(port.opens, 3);
        EXPECT_EQ(
            Drain(queues, QueueId::Serial),
            (std::vector<QueueEntry>{QueueEntry::Code(u"1\r"), QueueEntry::LineLost(), QueueEntry::Code(u"2\r")}));
    }
}

TEST(SerialReader_, Stop_EndsThePauseBetweenAttemptsToOpenAgain) {
    CodeQueues queues;
    FakeSerialPort port(std::vector<ReadStep>{{ReadStep::Fail, {}}});
    port.refuseOpens = 1000;
    SerialReader reader(port, queues, AnyButC8, u"COM3", {}, 10s);
    reader.Start();
    ASSERT_TRUE(port.WaitReads(1));
    const auto begin = std::chrono::steady_clock::now();
    reader.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_EQ(port.opens, 0);
}

TEST(SerialReader_, StopWaitsForPendingRead_AndQueuesWhatItBrought) {
    CodeQueues queues;
    FakeSerialPort port({{ReadStep::Hold, Bytes("77\r")}});
    SerialReader reader(port, queues, AnyButC8, u"COM3", {});
    reader.Start();
    ASSERT_TRUE(port.WaitReads(1));
    auto stopped = std::async(std::launch::async, [&] { reader.Stop(); });
    EXPECT_EQ(stopped.wait_for(50ms), std::future_status::timeout) << "Stop returned during a pending read";
    port.Release();
    ASSERT_EQ(stopped.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(port.Reads(), 1u) << "no read may start after the stop request";
    EXPECT_EQ(Drain(queues, QueueId::Serial), std::vector<QueueEntry>{QueueEntry::Code(u"77\r")});
}

TEST(SerialReader_, ReadsOnce_WhenStoppedRightAfterStart) {
    CodeQueues queues;
    FakeSerialPort port({DataStep("5\r")});
    {
        SerialReader reader(port, queues, AnyButC8, u"COM3", {});
        reader.Start();
    }  // the destructor stops and joins
    EXPECT_GE(port.Reads(), 1u);
    EXPECT_EQ(queues.Front(QueueId::Serial), QueueEntry::Code(u"5\r"));
}

}  // namespace
}  // namespace veltra
