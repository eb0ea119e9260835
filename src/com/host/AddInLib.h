// The host's add-in interfaces: the ones the component implements (IInitDone,
// ILanguageExtender, ILocale) and the ones it obtains from the host's
// connection object (IAsyncEvent, IStatusLine, IExtWndsSupport). The slot
// order and the identifiers are the contract with the host.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

extern "C" {
extern const IID IID_IInitDone;
extern const IID IID_ILanguageExtender;
extern const IID IID_ILocale;
extern const IID IID_IAsyncEvent;
extern const IID IID_IStatusLine;
extern const IID IID_IExtWndsSupport;
}

struct IInitDone : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Init(IDispatch* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE Done() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfo(SAFEARRAY** info) = 0;
};

struct ILanguageExtender : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterExtensionAs(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNProps(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindProp(BSTR name, long* number) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropName(long number, long alias, BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropVal(long number, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPropVal(long number, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPropReadable(long number, BOOL* readable) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsPropWritable(long number, BOOL* writable) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNMethods(long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindMethod(BSTR name, long* number) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMethodName(long number, long alias, BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNParams(long method, long* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParamDefValue(long method, long param, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE HasRetVal(long method, BOOL* hasValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallAsProc(long method, SAFEARRAY** params) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallAsFunc(long method, VARIANT* result, SAFEARRAY** params) = 0;
};

struct ILocale : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetLocale(BSTR locale) = 0;
};

// Host side. Only the slots the component calls have their real signatures;
// the others are never called by it and are declared without arguments.
struct IAsyncEvent : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetEventBufferDepth(long depth) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot2() = 0;
    virtual HRESULT STDMETHODCALLTYPE ExternalEvent(BSTR source, BSTR message, BSTR data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot4() = 0;
};

struct IStatusLine : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot1() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot2() = 0;
};

struct IExtWndsSupport : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot1() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot2() = 0;
    virtual HRESULT STDMETHODCALLTYPE UnusedSlot3() = 0;
};

// The add-in class.
extern "C" const CLSID CLSID_VeltraScanner;
