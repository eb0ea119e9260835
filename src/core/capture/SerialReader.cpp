#include "core/capture/SerialReader.h"

#include <algorithm>
#include <array>
#include <new>
#include <system_error>

#include "core/common/Messages.h"

namespace veltra {

SerialReader::SerialReader(SerialPort& port, CodeQueues& queues, IsLayoutKey isLayoutKey, std::u16string portName,
                           LineSettings line, std::chrono::milliseconds reopenPause)
    : port_(port), queues_(queues), isLayoutKey_(std::move(isLayoutKey)), portName_(std::move(portName)), line_(line),
      reopenPause_(reopenPause) {}

void SerialReader::Start() {
    try {
        worker_.Start([this] { Run(); });
    } catch (const std::system_error&) {
        Raise(Msg::PortThreadFailed);
    }
}

void SerialReader::Stop() {
    worker_.Stop([this] {
        port_.CancelRead();
        queues_.WakeWaiters();
    });
}

bool SerialReader::ReadOnce(uint8_t* buffer, size_t capacity) {
    try {
        const std::optional<size_t> n = port_.Read(buffer, capacity);
        if (!n) return false;
        AcceptBurst(buffer, std::min(*n, capacity), isLayoutKey_, queues_);
        return true;
    } catch (const std::bad_alloc&) {
        throw;  // the burst is lost, not the line
    } catch (...) {
        return false;  // a port or a predicate that throws cannot be read reliably
    }
}

bool SerialReader::Reopen() {
    const std::atomic<bool>& stop = worker_.StopRequest();
    while (!queues_.WaitForStop(stop, reopenPause_)) {
        try {
            port_.Open(portName_, line_);
            Trace(u"COM порт снова открыт");
            return true;
        } catch (const DriverError&) {
            // still away; the next attempt comes after the pause
        }
    }
    return false;
}

void SerialReader::Run() {
    try {
        std::array<uint8_t, 1024> buffer{};
        do {
            if (ReadOnce(buffer.data(), buffer.size())) continue;
            Trace(u"COM порт потерян");
            queues_.Append(QueueId::Serial, QueueEntry::LineLost());
            port_.Close();
            if (!Reopen()) break;
        } while (!worker_.StopRequest());
    } catch (...) {
        // Memory running out: the loop cannot go on reliably, and ends.
    }
}

}  // namespace veltra
