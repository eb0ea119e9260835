// The add-in object of the Native API face: the platform's component
// interfaces over the driver. No Windows header.
#pragma once

#include <string>

#include "core/capture/Connection.h"
#include "core/driver/ScannerDriver.h"
#include "native/api/NativeApi.h"

namespace veltra {

// Every host call lands here, is checked, converted and guarded, and is
// carried out by the core, as in the COM face: a command's error becomes
// the last error (the command answers 0, the call itself succeeds), and a
// call the host makes wrongly (null pointers, numbers outside the tables)
// answers false or -1 and changes nothing.
class NativeAddIn final : public IComponentBase, private EventSink {
public:
    explicit NativeAddIn(Connection& connection);
    ~NativeAddIn() override;
    NativeAddIn(const NativeAddIn&) = delete;
    NativeAddIn& operator=(const NativeAddIn&) = delete;

    // IInitDoneBase
    bool VELTRA_NATIVE_CALL Init(void* connection) override;
    bool VELTRA_NATIVE_CALL setMemManager(void* memoryManager) override;
    long VELTRA_NATIVE_CALL GetInfo() override;
    void VELTRA_NATIVE_CALL Done() override;

    // ILanguageExtenderBase
    bool VELTRA_NATIVE_CALL RegisterExtensionAs(WCHAR_T** name) override;
    long VELTRA_NATIVE_CALL GetNProps() override;
    long VELTRA_NATIVE_CALL FindProp(const WCHAR_T* name) override;
    const WCHAR_T* VELTRA_NATIVE_CALL GetPropName(long number, long alias) override;
    bool VELTRA_NATIVE_CALL GetPropVal(long number, tVariant* value) override;
    bool VELTRA_NATIVE_CALL SetPropVal(long number, tVariant* value) override;
    bool VELTRA_NATIVE_CALL IsPropReadable(long number) override;
    bool VELTRA_NATIVE_CALL IsPropWritable(long number) override;
    long VELTRA_NATIVE_CALL GetNMethods() override;
    long VELTRA_NATIVE_CALL FindMethod(const WCHAR_T* name) override;
    const WCHAR_T* VELTRA_NATIVE_CALL GetMethodName(long number, long alias) override;
    long VELTRA_NATIVE_CALL GetNParams(long method) override;
    bool VELTRA_NATIVE_CALL GetParamDefValue(long method, long param, tVariant* value) override;
    bool VELTRA_NATIVE_CALL HasRetVal(long method) override;
    bool VELTRA_NATIVE_CALL CallAsProc(long method, tVariant* params, long count) override;
    bool VELTRA_NATIVE_CALL CallAsFunc(long method, tVariant* result, tVariant* params, long count) override;

    // LocaleBase, UserLanguageBase
    void VELTRA_NATIVE_CALL SetLocale(const WCHAR_T* locale) override;
    void VELTRA_NATIVE_CALL SetUserInterfaceLanguageCode(const WCHAR_T* language) override;

private:
    // EventSink: the dispatch thread's events, through the connection object.
    bool Post(const std::u16string& source, const std::u16string& name, const std::u16string& data) override;

    // A name of the tables in a block of the memory manager; null when
    // there is none or no memory.
    const WCHAR_T* HandOverName(const char16_t* name) noexcept;

    IAddInDefBase* connection_ = nullptr;
    IMemoryManager* memory_ = nullptr;

    // Last, so that it goes first: it stops a connection still running
    // before anything the events go through.
    ScannerDriver driver_;
};

}  // namespace veltra
