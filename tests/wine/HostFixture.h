// A host that behaves like the platform: registers the library, creates the
// add-in object by its programmatic identifier and hands it a connection
// object that records what the component sends.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "com/host/AddInLib.h"
#include "com/addin/ComOwners.h"

namespace veltra::test {

struct HostEvent {
    std::u16string source;
    std::u16string name;
    std::u16string data;
    DWORD threadId;
};

// The host's connection object. Answers IDispatch, IAsyncEvent, IErrorLog,
// IStatusLine and IExtWndsSupport; records buffer depths and events; can be
// told to refuse them. Safe to call from any thread.
class RecordingHost final : public IDispatch,
                            public IAsyncEvent,
                            public IErrorLog,
                            public IStatusLine,
                            public IExtWndsSupport {
public:
    RecordingHost() = default;
    bool offerAsyncEvent = true;  // answer QueryInterface for IAsyncEvent

    void RefuseEvents(HRESULT result);  // S_OK accepts again
    void RefuseBufferDepth(HRESULT result) { depthResult_ = result; }
    std::vector<HostEvent> Events() const;
    std::vector<long> BufferDepths() const;
    size_t RefusedCount() const;
    // Waits until at least count events were accepted; false on time-out.
    bool WaitForEvents(size_t count, std::chrono::milliseconds timeout) const;
    LONG References() const { return refs_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return ::InterlockedDecrement(&refs_); }  // lives on the stack

    // IDispatch: nothing to offer
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    // IAsyncEvent
    STDMETHODIMP SetEventBufferDepth(long depth) override;
    STDMETHODIMP UnusedSlot2() override { return E_NOTIMPL; }
    STDMETHODIMP ExternalEvent(BSTR source, BSTR message, BSTR data) override;
    STDMETHODIMP UnusedSlot4() override { return E_NOTIMPL; }
    // IErrorLog
    STDMETHODIMP AddError(LPCOLESTR, EXCEPINFO*) override { return S_OK; }
    // IStatusLine and IExtWndsSupport share the names of their unused slots.
    STDMETHODIMP UnusedSlot1() override { return E_NOTIMPL; }
    STDMETHODIMP UnusedSlot3() override { return E_NOTIMPL; }

private:
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<HostEvent> events_;
    std::vector<long> depths_;
    HRESULT eventResult_ = S_OK;
    HRESULT depthResult_ = S_OK;
    size_t refused_ = 0;
    volatile LONG refs_ = 0;
};

// Handles and threads of this process. Wine may run a thread of its own for
// a while, so a leak shows as growth over many repetitions, not as one count.
DWORD HandleCount();
size_t ThreadCount();

// Runs cycle a few times to warm up, then cycle(0 ... cycles-1) (up to a
// fatal failure); prints the time taken and the counts before and after
// under label and expects both counts flat.
void ExpectFlatOverCycles(const char* label, int cycles, const std::function<void(int)>& cycle);

// Path of a file next to the test program.
std::wstring BesideProgram(const wchar_t* name);

// The add-in object as the host holds it.
class Component {
public:
    Component();  // CoCreateInstance by ProgID; fails the test when impossible
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    bool Created() const { return static_cast<bool>(init_); }
    IInitDone* init() const { return init_.get(); }
    ILanguageExtender* ext() const { return ext_.get(); }
    ILocale* locale() const { return locale_.get(); }

    HRESULT Init(RecordingHost& host) { return init_->Init(static_cast<IDispatch*>(&host)); }
    HRESULT Done() { return init_->Done(); }
    void SetLocale(const wchar_t* locale);

    // Calls a method by number with `count` parameters, the first ones set
    // from `inputs`; returns the result and leaves the array's contents in `out`.
    struct CallResult {
        HRESULT hr;
        Variant result;
        std::vector<std::u16string> textParams;  // each parameter as text ("" if none)
        std::vector<VARTYPE> types;
    };
    CallResult Call(long method, long count, const std::vector<const VARIANT*>& inputs = {});
    CallResult CallWithTexts(long method, long count, const std::vector<std::u16string>& inputs);

    // The GetLastError command: code and description.
    std::pair<long, std::u16string> LastError();
    // SetParameter(name, value) as texts; returns the command's result.
    long SetParameter(const std::u16string& name, const std::u16string& value);

private:
    ComPtr<IInitDone> init_;
    ComPtr<ILanguageExtender> ext_;
    ComPtr<ILocale> locale_;
};

// A component created by its programmatic identifier and initialised with a
// recording host, its language English; Done at the end of the test.
class InitialisedComponent : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(c.Created());
        ASSERT_EQ(c.Init(host), S_OK);
        c.SetLocale(L"en_US");
    }
    void TearDown() override {
        if (c.Created()) c.Done();
    }
    RecordingHost host;  // outlives the component
    Component c;
};

// Registers the library machine-wide for the whole test program and
// initialises COM on the main thread.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace veltra::test
