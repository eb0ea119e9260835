#include "core/capture/SerialReader.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "core/common/Messages.h"

namespace veltra {

SerialReader::SerialReader(SerialPort& port, CodeQueues& queues, IsLayoutKey isLayoutKey)
    : port_(port), queues_(queues), isLayoutKey_(std::move(isLayoutKey)) {}

void SerialReader::Start() {
    try {
        worker_.Start([this] { return Run(); });
    } catch (const std::system_error&) {
        Raise(Msg::PortThreadFailed);
    }
}

void SerialReader::Stop() {
    worker_.Stop([this] { port_.CancelRead(); });
}

std::optional<std::u16string> SerialReader::Run() {
    try {
        std::array<uint8_t, 1024> buffer{};
        do {
            const std::optional<size_t> n = port_.Read(buffer.data(), buffer.size());
            if (!n) Raise(Msg::PortReadFailed);
            AcceptBurst(buffer.data(), std::min(*n, buffer.size()), isLayoutKey_, queues_);
        } while (!worker_.StopRequest());
        return std::nullopt;
    } catch (const DriverError& e) {
        return e.message();
    } catch (...) {
        // A port or a predicate that throws, or memory running out: the loop
        // cannot go on reliably, so it ends as if the read had failed.
        g_ErrorText = Text(Msg::PortReadFailed);
        return g_ErrorText;
    }
}

}  // namespace veltra
