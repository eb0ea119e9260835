// The serial reader thread: reads bursts from the port and queues their text
// on the serial queue. It never talks to the host. Plain standard C++.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "core/capture/CodeQueues.h"
#include "core/capture/SerialDecode.h"
#include "core/capture/SerialPort.h"
#include "core/capture/WorkerThread.h"

namespace veltra {

class SerialReader {
public:
    // The port, the queues and the predicate must outlive the thread. The
    // port is open; portName and line are what it was opened with, and what
    // it is opened with again after a loss.
    SerialReader(SerialPort& port, CodeQueues& queues, IsLayoutKey isLayoutKey, std::u16string portName,
                 LineSettings line, std::chrono::milliseconds reopenPause = std::chrono::seconds(1));
    ~SerialReader() { Stop(); }
    SerialReader(const SerialReader&) = delete;
    SerialReader& operator=(const SerialReader&) = delete;

    // Starts the read loop: read one burst, hand it to AcceptBurst, then look
    // at the stop request; the first read always happens. A read that fails
    // (or throws) means the line is lost: a LineLost entry is queued once, the
    // port is closed, and about once a second the reader opens it again with
    // the same name and settings until that succeeds (reading goes on) or a
    // stop is requested. Raises PortThreadFailed when no thread can be
    // created. Does nothing while a thread is held. Start and Stop belong to
    // the owner's thread.
    void Start();

    // Asks the loop to end, cancels a pending read (what it brought is
    // still queued) or the pause between two attempts to open the port again,
    // and waits for the loop. Returns at once when the loop has already ended
    // or never started.
    void Stop();

private:
    void Run();
    bool ReadOnce(uint8_t* buffer, size_t capacity);
    bool Reopen();

    SerialPort& port_;
    CodeQueues& queues_;
    IsLayoutKey isLayoutKey_;
    const std::u16string portName_;
    const LineSettings line_;
    const std::chrono::milliseconds reopenPause_;  // between two attempts to open a lost port
    WorkerThread worker_;
};

}  // namespace veltra
