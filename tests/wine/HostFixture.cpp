#include "HostFixture.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "core/common/Text.h"

namespace veltra::test {

// ---- Process counts ----------------------------------------------------------

// Wine 8 answers GetProcessHandleCount with 0, which no real process has; the
// system handle list counts them there.
DWORD HandleCount() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count != 0) return count;
    struct Entry {
        PVOID object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace, type;
        ULONG attributes, reserved;
    };
    struct List {
        ULONG_PTR count, reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<char> buffer(1 << 20);
    ULONG size = 0;
    const ULONG kExtendedHandleInformation = 64;
    while (query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &size) ==
           static_cast<LONG>(0xC0000004))  // buffer too small
        buffer.resize(buffer.size() * 2);
    const List& list = *reinterpret_cast<const List*>(buffer.data());
    for (ULONG_PTR i = 0; i < list.count; ++i)
        if (list.entries[i].process == ::GetCurrentProcessId()) ++count;
    return count;
}

size_t ThreadCount() {
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    size_t count = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    return count;
}

void ExpectFlatOverCycles(const char* label, int cycles, const std::function<void(int)>& cycle) {
    for (int i = 0; i < 3 && !::testing::Test::HasFatalFailure(); ++i) cycle(-1);
    const DWORD handles = HandleCount();
    const size_t threads = ThreadCount();
    const auto start = std::chrono::steady_clock::now();
    int done = 0;
    for (; done < cycles && !::testing::Test::HasFatalFailure(); ++done) cycle(done);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const DWORD handlesAfter = HandleCount();
    const size_t threadsAfter = ThreadCount();
    std::printf("%s: %d cycles in %lld ms; handles %lu -> %lu, threads %u -> %u\n", label, done,
                static_cast<long long>(ms), static_cast<unsigned long>(handles),
                static_cast<unsigned long>(handlesAfter), static_cast<unsigned>(threads),
                static_cast<unsigned>(threadsAfter));
    // Slack for what Wine itself may hold for a while; one handle or thread
    // left per cycle would exceed it many times over.
    EXPECT_LT(handlesAfter, handles + 10) << label;
    EXPECT_LE(threadsAfter, threads + 2) << label;
}

// ---- Failure messages --------------------------------------------------------

std::string Printable(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
            out += hex;
        } else {
            out += ToUtf8(std::u16string(1, c));
        }
    }
    return out;
}

std::string Recording(const std::vector<HostEvent>& events) {
    std::string out;
    for (const HostEvent& e : events)
        out += "\n  " + ToUtf8(e.source) + " " + ToUtf8(e.name) + " \"" + Printable(e.data) + "\"";
    return out.empty() ? " (none)" : out;
}

// ---- Component -------------------------------------------------------------

Component::Component() {
    const Creation created = Create();
    EXPECT_EQ(created.hr, S_OK) << (created.step == Step::Lookup       ? "ProgID not registered"
                                    : created.step == Step::Instance   ? "CoCreateInstance"
                                    : created.step == Step::Interfaces ? "ILanguageExtender or ILocale"
                                                                       : "");
}

void Component::SetLocale(const wchar_t* locale) { EXPECT_EQ(HostedComponent::SetLocale(locale), S_OK); }

std::pair<long, std::u16string> Component::LastError() {
    const CallResult r = HostedComponent::LastError();
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result.type(), VT_I4);
    return {V_I4(r.result.get()), r.textParams[0]};
}

long Component::SetParameter(const std::u16string& name, const std::u16string& value) {
    const CallResult r = CallWithTexts(4, 2, {name, value});
    EXPECT_EQ(r.hr, S_OK);
    return V_I4(r.result.get());
}

// ---- ConnectingComponent ---------------------------------------------------

Opened ConnectingComponent::Open() {
    const Component::CallResult r = c.CallByName(u"Open", 1);
    EXPECT_EQ(r.hr, S_OK);
    return {V_I4(r.result.get()), r.textParams[0]};
}

std::u16string ConnectingComponent::Connect() {
    const Opened o = Open();
    EXPECT_EQ(o.result, 1) << ToUtf8(c.LastError().second);
    return o.id;
}

long ConnectingComponent::Close(const std::u16string& id) {
    const Component::CallResult r = c.CallWithTexts(6, 1, {id});
    EXPECT_EQ(r.hr, S_OK);
    return V_I4(r.result.get());
}

void ConnectingComponent::OpenCloseCycles(const char* label, int cycles) {
    ExpectFlatOverCycles(label, cycles, [this](int i) { ASSERT_EQ(Close(Connect()), 1) << "cycle " << i; });
}

void ConnectingComponent::ExpectPromptDoneWhileRefusing(const std::function<void()>& sendCode) {
    using namespace std::chrono_literals;
    Connect();
    host.RefuseEvents(E_FAIL);
    sendCode();
    // Generous: nothing waits this long unless the driver is broken.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (host.RefusedCount() < 2 && std::chrono::steady_clock::now() < deadline) ::Sleep(10);
    ASSERT_GE(host.RefusedCount(), 2u);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.Done(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(host.References(), 0);
    host.RefuseEvents(S_OK);
    ::Sleep(300);
    EXPECT_TRUE(host.Events().empty()) << Recording(host.Events());
}

// ---- ComEnvironment --------------------------------------------------------

void ComEnvironment::SetUp() {
    com_ = std::make_unique<substitute::ComApartment>();
    ASSERT_TRUE(SUCCEEDED(com_->result()));
    ASSERT_EQ(substitute::RegisterServer(BesideProgram(L"VeltraScanner.dll"), true), S_OK);
}

void ComEnvironment::TearDown() { com_.reset(); }

}  // namespace veltra::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new veltra::test::ComEnvironment);
    return RUN_ALL_TESTS();
}
