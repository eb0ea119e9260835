// The add-in object the host creates: its host interfaces, the property and
// method frames and the driver commands behind them.
#pragma once

#include <string>

#include "com/addin/ComOwners.h"
#include "com/host/AddInLib.h"
#include "core/capture/DispatchThread.h"
#include "core/driver/ScannerDriver.h"

namespace veltra {

// The COM face of the driver: the host's interfaces over the driver. Every
// host call lands here, is checked, converted and guarded, and is carried
// out by the core.
class AddInObject final : public ILocale,
                          public ILanguageExtender,
                          public IInitDone,
                          public IDispatch,
                          public ISupportErrorInfo,
                          private EventSink {
public:
    // outer: the controlling object when aggregated, else null.
    explicit AddInObject(IUnknown* outer);
    ~AddInObject();
    AddInObject(const AddInObject&) = delete;
    AddInObject& operator=(const AddInObject&) = delete;

    // The object's own IUnknown: the one handed to an aggregating outer object.
    IUnknown* InnerUnknown() noexcept { return &inner_; }

    // IUnknown (delegating to the controlling object)
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IInitDone
    STDMETHODIMP Init(IDispatch* connection) override;
    STDMETHODIMP Done() override;
    STDMETHODIMP GetInfo(SAFEARRAY** info) override;

    // ILocale
    STDMETHODIMP SetLocale(BSTR locale) override;

    // ILanguageExtender
    STDMETHODIMP RegisterExtensionAs(BSTR* name) override;
    STDMETHODIMP GetNProps(long* count) override;
    STDMETHODIMP FindProp(BSTR name, long* number) override;
    STDMETHODIMP GetPropName(long number, long alias, BSTR* name) override;
    STDMETHODIMP GetPropVal(long number, VARIANT* value) override;
    STDMETHODIMP SetPropVal(long number, VARIANT* value) override;
    STDMETHODIMP IsPropReadable(long number, BOOL* readable) override;
    STDMETHODIMP IsPropWritable(long number, BOOL* writable) override;
    STDMETHODIMP GetNMethods(long* count) override;
    STDMETHODIMP FindMethod(BSTR name, long* number) override;
    STDMETHODIMP GetMethodName(long number, long alias, BSTR* name) override;
    STDMETHODIMP GetNParams(long method, long* count) override;
    STDMETHODIMP GetParamDefValue(long method, long param, VARIANT* value) override;
    STDMETHODIMP HasRetVal(long method, BOOL* hasValue) override;
    STDMETHODIMP CallAsProc(long method, SAFEARRAY** params) override;
    STDMETHODIMP CallAsFunc(long method, VARIANT* result, SAFEARRAY** params) override;

    // IDispatch: present, every operation refused.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // Add-in objects alive in the process (the library stays loaded while any is).
    static long LiveObjects() noexcept;

private:
    // The non-delegating IUnknown that owns the reference count.
    class Inner : public IUnknown {
    public:
        explicit Inner(AddInObject& owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        AddInObject& owner_;
    };

    // EventSink: the dispatch thread's events, through the host's IAsyncEvent.
    bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) override;

    ComPtr<IDispatch> connection_;
    ComPtr<IErrorLog> errorLog_;
    ComPtr<IAsyncEvent> events_;
    ComPtr<IStatusLine> statusLine_;
    ComPtr<IExtWndsSupport> windows_;

    Inner inner_{*this};
    IUnknown* controlling_;
    volatile LONG refs_ = 0;

    // Last, so that it goes first: it stops a connection still running
    // before the host's interfaces that the events go through are released.
    ScannerDriver driver_;
};

}  // namespace veltra
