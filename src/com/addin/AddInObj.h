// The add-in object the host creates: its host interfaces, the property and
// method frames and the driver commands behind them.
#pragma once

#include <memory>
#include <string>

#include "com/host/AddInLib.h"
#include "com/addin/ComOwners.h"

namespace veltra {

class DispatchHost;
class TMyThread;
class T_ComPort;

class AddInObject final : public ILocale,
                          public ILanguageExtender,
                          public IInitDone,
                          public IDispatch,
                          public ISupportErrorInfo {
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

    // Connection lifecycle; both return 1 or raise a DriverError.
    int Open();
    int Close();
    bool Connected() const noexcept { return MyThread != nullptr; }

    // Property fields: what the property interface last received.
    bool publicVarParity = false;
    std::u16string publicVarComPortNumber;
    std::u16string publicVarSpeed;
    std::u16string publicVarDataBit;
    std::u16string publicVarStopBits;
    std::u16string publicVarPrefix;
    std::u16string publicVarSuffix;
    long publicVarTimeOut = 0;

    std::unique_ptr<DispatchHost> MyDispatchHost;  // what MyThread posts through; outlives it
    std::unique_ptr<TMyThread> MyThread;           // the running connection's dispatch thread
    std::unique_ptr<T_ComPort> g_cp;               // created by Init, freed by Done

    ComPtr<IDispatch> pConnect;
    ComPtr<IErrorLog> iError;
    ComPtr<IAsyncEvent> iEvent;
    ComPtr<IStatusLine> iStatus;
    ComPtr<IExtWndsSupport> iExtWindows;

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

    // Publishes deviceId as g_DeviceID and starts the dispatch thread.
    void StartDispatch(std::unique_ptr<DispatchHost> host, int32_t deviceId);
    void StopDispatch() noexcept;
    void StopConnection() noexcept;
    // Stores a setting by property number and lets a running connection see it.
    void StoreSetting(int32_t number, const std::u16string& text);
    void RunCommand(long method, VARIANT& result, SAFEARRAY* params);
    void SetProperty(long number, VARIANT& value);

    Inner inner_{*this};
    IUnknown* controlling_;
    volatile LONG refs_ = 0;
};

}  // namespace veltra
