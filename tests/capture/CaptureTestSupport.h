// Doubles for the capture tests: a scripted serial port, a recording host
// and a trace recorder. All of them are safe to use from the worker threads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/capture/DispatchThread.h"
#include "core/capture/SerialPort.h"

#include "../common/LanguageScope.h"
#include "core/common/Messages.h"
#include "core/common/Text.h"

namespace veltra {

inline void PrintTo(const QueueEntry& entry, std::ostream* out) {
    switch (entry.kind) {
    case QueueEntry::Kind::Code: *out << "Code(\"" << ToUtf8(entry.text) << "\")"; break;
    case QueueEntry::Kind::Unreadable: *out << "Unreadable"; break;
    case QueueEntry::Kind::LineLost: *out << "LineLost"; break;
    }
}

namespace test {

using namespace std::chrono_literals;

// Long enough never to fail on a loaded machine; waits end as soon as their
// condition holds, so passing tests never take this long.
constexpr std::chrono::milliseconds kPatience = 10s;

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// One read of the scripted port.
struct ReadStep {
    enum Kind { Data, Silence, Fail, Throw, Hold } kind;
    std::vector<uint8_t> bytes;  // Data, and Hold once released
};

inline ReadStep DataStep(const std::string& text) { return {ReadStep::Data, Bytes(text)}; }
inline ReadStep SilenceStep() { return {ReadStep::Silence, {}}; }

// Replays its script one step per Read. Once the script is used up every read
// is a silent time-out that returns after a millisecond (a real port waits
// about a second), so the reader loop never spins.
class FakeSerialPort : public SerialPort {
public:
    explicit FakeSerialPort(std::vector<ReadStep> script) : script_(std::move(script)) {}

    // Counts the openings; the first refuseOpens of them fail as a missing port does.
    void Open(const std::u16string& name, const LineSettings&) override {
        ++opens;
        if (refuseOpens > 0) {
            --refuseOpens;
            Raise(Msg::PortUnavailable);
        }
    }
    std::atomic<int> opens{0};
    std::atomic<int> refuseOpens{0};
    void Close() noexcept override {}
    int32_t DeviceId() const noexcept override { return 5; }

    std::optional<size_t> Read(uint8_t* buffer, size_t capacity) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++reads_;
        changed_.notify_all();
        if (next_ == script_.size()) {
            changed_.wait_for(lock, 1ms);
            return 0;
        }
        const ReadStep step = script_[next_++];
        switch (step.kind) {
        case ReadStep::Silence: return 0;
        case ReadStep::Fail: return std::nullopt;
        case ReadStep::Throw: throw std::runtime_error("port gone");
        case ReadStep::Hold: changed_.wait(lock, [this] { return released_; }); break;
        case ReadStep::Data: break;
        }
        const size_t n = std::min(step.bytes.size(), capacity);
        if (n != 0) std::memcpy(buffer, step.bytes.data(), n);
        return n;
    }

    // Waits until Read has been entered count times in all.
    bool WaitReads(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return reads_ >= count; });
    }

    size_t Reads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reads_;
    }

    // Lets a Hold step return its bytes.
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ReadStep> script_;
    size_t next_ = 0;
    size_t reads_ = 0;
    bool released_ = false;
};

// One call of Post as the host saw it.
struct Posting {
    Posting(std::u16string source, std::u16string name, std::u16string data, bool accepted = true)
        : source(std::move(source)), name(std::move(name)), data(std::move(data)), accepted(accepted) {}

    std::u16string source;
    std::u16string name;
    std::u16string data;
    bool accepted = true;
};

inline std::string Describe(const std::vector<Posting>& postings) {
    std::ostringstream out;
    for (const Posting& p : postings)
        out << "  {" << ToUtf8(p.source) << ", " << ToUtf8(p.name) << ", \"" << ToUtf8(p.data) << "\", "
            << (p.accepted ? "accepted" : "refused") << "}\n";
    return out.str();
}

// Compares the whole recording with the expected sequence and prints both on
// a mismatch.
inline void ExpectPostings(const std::vector<Posting>& recorded, const std::vector<Posting>& expected) {
    bool same = recorded.size() == expected.size();
    for (size_t i = 0; same && i < expected.size(); ++i) {
        const Posting& r = recorded[i];
        const Posting& e = expected[i];
        same = r.source == e.source && r.name == e.name && r.data == e.data && r.accepted == e.accepted;
    }
    EXPECT_TRUE(same) << "recorded:\n" << Describe(recorded) << "expected:\n" << Describe(expected);
}

class RecordingHost : public DispatchHost {
public:
    enum class Answer { Accept, Refuse, Throw };

    std::atomic<CaptureMode> mode{CaptureMode::Keyboard};
    std::atomic<int32_t> deviceId{7};
    std::atomic<bool> modeFails{false};

    CaptureMode Mode() const override {
        if (modeFails) throw std::runtime_error("mode unreadable");
        const CaptureMode m = mode;
        std::lock_guard<std::mutex> lock(mutex_);
        ++modeReads_[static_cast<int>(m)];
        changed_.notify_all();
        return m;
    }

    int32_t DeviceId() const override { return deviceId; }

    // Runs inside every Post before it is recorded; set before the thread starts.
    std::function<void()> onPost;

    bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) override {
        if (onPost) onPost();
        std::lock_guard<std::mutex> lock(mutex_);
        Answer answer = refuseAll_ ? Answer::Refuse : Answer::Accept;
        if (!plan_.empty()) {
            answer = plan_.front();
            plan_.erase(plan_.begin());
        }
        postings_.push_back({source, name, data, answer == Answer::Accept});
        changed_.notify_all();
        if (answer == Answer::Throw) throw std::runtime_error("sink failed");
        return answer == Answer::Accept;
    }

    // Answers for the next postings, in order; after them every posting is
    // accepted (or refused, with RefuseAll).
    void Plan(std::vector<Answer> answers) {
        std::lock_guard<std::mutex> lock(mutex_);
        plan_ = std::move(answers);
    }
    void RefuseAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        refuseAll_ = true;
    }

    // Waits for `count` accepted postings, then returns every posting so far.
    std::vector<Posting> WaitAccepted(size_t count) { return WaitPostings(count, true); }
    // Waits for `count` postings, accepted or not.
    std::vector<Posting> WaitAttempts(size_t count) { return WaitPostings(count, false); }

    std::vector<Posting> Postings() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return postings_;
    }

    // Waits until Mode has answered `m` at least count times in all.
    bool WaitModeReads(CaptureMode m, size_t count) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return modeReads_[static_cast<int>(m)] >= count; });
    }

    size_t ModeReads(CaptureMode m) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return modeReads_[static_cast<int>(m)];
    }

private:
    std::vector<Posting> WaitPostings(size_t count, bool acceptedOnly) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, kPatience, [&] {
            size_t n = 0;
            for (const Posting& p : postings_) n += (!acceptedOnly || p.accepted) ? 1 : 0;
            return n >= count;
        });
        return postings_;
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable size_t modeReads_[3] = {0, 0, 0};
    std::vector<Answer> plan_;
    bool refuseAll_ = false;
    std::vector<Posting> postings_;
};

// Collects trace lines while it lives.
class TraceRecorder {
public:
    TraceRecorder() {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().clear();
        SetTraceSink(&Record);
    }
    ~TraceRecorder() { SetTraceSink(nullptr); }

    std::vector<std::u16string> Taken() const {
        std::lock_guard<std::mutex> lock(Mutex());
        return Lines();
    }

private:
    static void Record(const std::u16string& line) {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().push_back(line);
    }
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::u16string>& Lines() {
        static std::vector<std::u16string> lines;
        return lines;
    }
};

}  // namespace test
}  // namespace veltra
