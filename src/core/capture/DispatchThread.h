// The dispatch thread: the one thread that posts received codes to the host,
// oldest first, from the queue of the current mode. Plain standard C++.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/capture/CodeQueues.h"
#include "core/capture/WorkerThread.h"
#include "core/settings/Settings.h"

namespace veltra {

enum class CaptureMode : int {
    None,      // no pass posts anything
    Keyboard,  // the keyboard queue
    Serial,    // the serial queue
};

// The mode a port text selects: exactly "USB" or "0", or an input device
// (IsInputDeviceText), the keyboard; any other
// text that contains "COM" (case-sensitive) or starts with "/dev/" (a device
// path, stored off Windows only) a serial port, anything else none.
CaptureMode ModeOfPortText(const std::u16string& portText);

// Where events go: the host, as the add-in face that holds the connection
// reaches it. Called from the dispatch thread only.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Posts one external event. True when the host accepted it; false or a
    // throw is a refusal, and the entry is offered again later. No event
    // interface at all is a refusal too.
    virtual bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) = 0;
};

// What the dispatch thread needs of the connection it serves. Every call
// comes from the dispatch thread while the host's thread may be changing the
// values, so Mode and DeviceId must read atomics (or something equally safe),
// and be quick: Mode is also asked while the queue lock is held.
class DispatchHost : public EventSink {
public:
    virtual CaptureMode Mode() const = 0;
    virtual int32_t DeviceId() const = 0;
};

enum class DispatchPacing {
    // Wakes when a code is queued and posts everything queued back to back;
    // waits without a time limit when idle; a refused posting is offered
    // again about every 10 ms. What the driver uses: a code goes out as soon
    // as it is queued, and an idle connection costs no wake-ups.
    Prompt,
    // One posting attempt per pass, then a pause of about 10 ms (cut short
    // by Stop): at most about a hundred events a second.
    Paced,
};

class DispatchThread {
public:
    // host and queues must outlive the thread.
    DispatchThread(DispatchHost& host, CodeQueues& queues, DispatchPacing pacing = DispatchPacing::Prompt);
    ~DispatchThread() { Stop(); }
    DispatchThread(const DispatchThread&) = delete;
    DispatchThread& operator=(const DispatchThread&) = delete;

    // Starts the loop. The event names are chosen by the language of this
    // moment and kept for the life of the run. Raises DispatchFailure when no
    // thread can be created; does nothing while a thread is held. Start, Stop
    // and Wake belong to the owner's thread.
    //
    // A pass takes the queue of host.Mode(), reads its oldest entry, posts it
    // without holding the queue lock, and removes it only once the host has
    // accepted it: a refused entry stays at the head, later entries wait
    // behind it, nothing is lost. Keyboard codes are posted as queued, serial
    // codes trimmed of blanks and control characters (an empty one is
    // dropped); an unreadable burst as the driver-error event with the
    // BadSerialData text of the language of the moment, and a lost line as
    // the driver-error event with the PortReadFailed text without its class
    // character (a lost Linux input device, on the keyboard queue, with the
    // InputDeviceLost text). The source is the decimal host.DeviceId() of the moment of
    // posting. Any failure other than a refused posting ends the loop, and
    // the host is told once, with the DispatchFailure text as a driver-error
    // event (no class character) if it takes it.
    void Start();

    // Asks the loop to end and waits for it: it ends after the pass in
    // progress (at most one posting). A pause or an idle wait is cut short.
    void Stop();

    // Makes an idle wait look at host.Mode() again. Call after changing the
    // mode: in Prompt pacing an idle thread otherwise notices the change only
    // at the next append.
    void Wake() { queues_.WakeWaiters(); }

private:
    enum class Pass { Idle, Done, Refused };

    void Run();
    void TellHostOfFailure(const std::u16string& driverErrorName) noexcept;
    Pass RunPass(const std::u16string& barcodeName, const std::u16string& driverErrorName);

    DispatchHost& host_;
    CodeQueues& queues_;
    const DispatchPacing pacing_;
    WorkerThread worker_;
};

}  // namespace veltra
