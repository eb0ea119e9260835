#include "HostFixture.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>

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

// ---- RecordingHost ---------------------------------------------------------

STDMETHODIMP RecordingHost::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, IID_IAsyncEvent) && offerAsyncEvent) *out = static_cast<IAsyncEvent*>(this);
    else if (IsEqualIID(iid, IID_IErrorLog)) *out = static_cast<IErrorLog*>(this);
    else if (IsEqualIID(iid, IID_IStatusLine)) *out = static_cast<IStatusLine*>(this);
    else if (IsEqualIID(iid, IID_IExtWndsSupport)) *out = static_cast<IExtWndsSupport*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

void RecordingHost::RefuseEvents(HRESULT result) {
    std::lock_guard<std::mutex> guard(lock_);
    eventResult_ = result;
}

std::vector<HostEvent> RecordingHost::Events() const {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

std::vector<long> RecordingHost::BufferDepths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return depths_;
}

size_t RecordingHost::RefusedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return refused_;
}

bool RecordingHost::WaitForEvents(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return events_.size() >= count; });
}

STDMETHODIMP RecordingHost::SetEventBufferDepth(long depth) {
    std::lock_guard<std::mutex> guard(lock_);
    depths_.push_back(depth);
    return depthResult_;
}

STDMETHODIMP RecordingHost::ExternalEvent(BSTR source, BSTR message, BSTR data) {
    std::lock_guard<std::mutex> guard(lock_);
    if (FAILED(eventResult_)) {
        ++refused_;
        return eventResult_;
    }
    events_.push_back({FromBstr(source), FromBstr(message), FromBstr(data), ::GetCurrentThreadId()});
    changed_.notify_all();
    return S_OK;
}

// ---- Component -------------------------------------------------------------

std::wstring BesideProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

Component::Component() {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(L"AddIn.VeltraScanner", &clsid);
    EXPECT_EQ(hr, S_OK) << "ProgID not registered";
    if (FAILED(hr)) return;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitDone, init_.put_void());
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return;
    EXPECT_EQ(init_->QueryInterface(IID_ILanguageExtender, ext_.put_void()), S_OK);
    EXPECT_EQ(init_->QueryInterface(IID_ILocale, locale_.put_void()), S_OK);
}

Component::~Component() = default;

void Component::SetLocale(const wchar_t* locale) {
    UniqueBstr b(::SysAllocString(locale));
    EXPECT_EQ(locale_->SetLocale(b.get()), S_OK);
}

Component::CallResult Component::Call(long method, long count, const std::vector<const VARIANT*>& inputs) {
    CallResult out;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, count);
    for (long i = 0; i < static_cast<long>(inputs.size()) && i < count; ++i)
        ::SafeArrayPutElement(array, &i, const_cast<VARIANT*>(inputs[i]));
    out.hr = ext_->CallAsFunc(method, out.result.get(), &array);
    for (long i = 0; i < count; ++i) {
        Variant element;
        ::SafeArrayGetElement(array, &i, element.get());
        out.types.push_back(element.type());
        Variant text;
        if (SUCCEEDED(::VariantChangeType(text.get(), element.get(), 0, VT_BSTR)))
            out.textParams.push_back(FromBstr(V_BSTR(text.get())));
        else out.textParams.push_back(u"");
    }
    ::SafeArrayDestroy(array);
    return out;
}

Component::CallResult Component::CallWithTexts(long method, long count, const std::vector<std::u16string>& inputs) {
    std::vector<Variant> values(inputs.size());
    std::vector<const VARIANT*> pointers;
    for (size_t i = 0; i < inputs.size(); ++i) {
        values[i].set_text(inputs[i]);
        pointers.push_back(values[i].get());
    }
    return Call(method, count, pointers);
}

std::pair<long, std::u16string> Component::LastError() {
    CallResult r = Call(2, 1);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result.type(), VT_I4);
    return {V_I4(r.result.get()), r.textParams[0]};
}

long Component::SetParameter(const std::u16string& name, const std::u16string& value) {
    CallResult r = CallWithTexts(4, 2, {name, value});
    EXPECT_EQ(r.hr, S_OK);
    return V_I4(r.result.get());
}

// ---- ComEnvironment --------------------------------------------------------

void ComEnvironment::SetUp() {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    HMODULE dll = ::LoadLibraryW(BesideProgram(L"VeltraScanner.dll").c_str());
    ASSERT_NE(dll, nullptr);
    auto reg =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void (*)()>(::GetProcAddress(dll, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
    ::FreeLibrary(dll);
}

void ComEnvironment::TearDown() { ::CoUninitialize(); }

}  // namespace veltra::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new veltra::test::ComEnvironment);
    return RUN_ALL_TESTS();
}
