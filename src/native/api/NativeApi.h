// The platform's Native API add-in interface: the library's entry functions,
// the component's interfaces, what the platform hands over (its connection
// object and memory manager) and the value type that crosses between them.
// Slot order, signatures and the value layout are the contract with the
// platform; the class and method names are the platform's own. No Windows
// header: the same declarations serve the Windows and the Linux libraries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

// One UTF-16 unit on every system: Windows' wchar_t is one, elsewhere
// wchar_t has 32 bits and char16_t is used.
#if defined(_WIN32)
using WCHAR_T = wchar_t;
#else
using WCHAR_T = char16_t;
#endif
static_assert(sizeof(WCHAR_T) == 2, "WCHAR_T is one UTF-16 unit");

// The interfaces' methods use stdcall on 32-bit Windows (where the keyword
// means something) and the compiler's default elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define VELTRA_NATIVE_CALL __stdcall
#else
#define VELTRA_NATIVE_CALL
#endif

// ---- The value type ----------------------------------------------------------

// Type tags of tVariant::vt; the flags combine with a tag.
enum TYPEVAR : uint16_t {
    VTYPE_EMPTY = 0,
    VTYPE_NULL = 1,
    VTYPE_I2 = 2,
    VTYPE_I4 = 3,
    VTYPE_R4 = 4,
    VTYPE_R8 = 5,
    VTYPE_DATE = 6,
    VTYPE_TM = 7,
    VTYPE_PSTR = 8,
    VTYPE_INTERFACE = 9,
    VTYPE_ERROR = 10,
    VTYPE_BOOL = 11,
    VTYPE_VARIANT = 12,
    VTYPE_I1 = 13,
    VTYPE_UI1 = 14,
    VTYPE_UI2 = 15,
    VTYPE_UI4 = 16,
    VTYPE_I8 = 17,
    VTYPE_UI8 = 18,
    VTYPE_INT = 19,
    VTYPE_UINT = 20,
    VTYPE_HRESULT = 21,
    VTYPE_PWSTR = 22,
    VTYPE_BLOB = 23,
    VTYPE_CLSID = 24,
    VTYPE_VECTOR = 0x1000,
    VTYPE_ARRAY = 0x2000,
    VTYPE_BYREF = 0x4000,
    VTYPE_TYPEMASK = 0xFFF,
};

// A value: one of the union's members as vt says, then the element count of
// a vector, then the tag. Texts are not terminated by the length fields'
// count: strLen counts bytes, wstrLen UTF-16 units.
struct tVariant {
    union {
        int8_t i8Val;
        int16_t shortVal;
        int32_t lVal;
        int intVal;
        unsigned int uintVal;
        int64_t llVal;
        uint8_t ui8Val;
        uint16_t ushortVal;
        uint32_t ulVal;
        uint64_t ullVal;
        int32_t errCode;
        int32_t hRes;
        float fltVal;
        double dblVal;
        bool bVal;
        char chVal;
        WCHAR_T wchVal;
        double date;  // days since 30 December 1899, as OLE dates
        struct tm tmVal;
        struct {
            void* pInterfaceVal;
            const void* interfaceId;
        } object;
        struct {
            char* pstrVal;
            uint32_t strLen;  // bytes
        } text;
        struct {
            WCHAR_T* pwstrVal;
            uint32_t wstrLen;  // UTF-16 units
        } wideText;
    } value;
    uint32_t cbElements;
    uint16_t vt;
};

// The platform's figures for Linux x86_64 (struct tm makes the union 56
// bytes there); on Windows, where struct tm has no pointer, the union is 40
// bytes for both bitnesses, as measured with MinGW-w64.
#if defined(__linux__) && defined(__x86_64__)
static_assert(sizeof(tVariant::value) == 56, "the value union of Linux x86_64");
static_assert(offsetof(tVariant, cbElements) == 56, "cbElements follows the union");
static_assert(offsetof(tVariant, vt) == 60, "vt of Linux x86_64");
static_assert(sizeof(tVariant) == 64, "tVariant of Linux x86_64");
#elif defined(_WIN32)
static_assert(offsetof(tVariant, vt) == 44 && sizeof(tVariant) == 48, "tVariant of Windows");
#endif
static_assert(offsetof(tVariant, cbElements) == sizeof(tVariant::value), "cbElements follows the union");
static_assert(offsetof(tVariant, vt) == offsetof(tVariant, cbElements) + 4, "vt follows cbElements");

// ---- What the platform hands over ------------------------------------------

// The platform's allocator: every text or block handed to the platform is
// allocated here, never with new or malloc.
class IMemoryManager {
public:
    virtual ~IMemoryManager() {}
    virtual bool VELTRA_NATIVE_CALL AllocMemory(void** memory, unsigned long bytes) = 0;
    virtual void VELTRA_NATIVE_CALL FreeMemory(void** memory) = 0;
};

// The connection object Init receives.
class IAddInDefBase {
public:
    virtual ~IAddInDefBase() {}
    // A non-zero scode raises an exception in the calling script; codes
    // 1000..1009 are notification kinds.
    virtual bool VELTRA_NATIVE_CALL AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description,
                                             long scode) = 0;
    virtual bool VELTRA_NATIVE_CALL Read(WCHAR_T* name, tVariant* value, long* error, WCHAR_T** errorDescription) = 0;
    virtual bool VELTRA_NATIVE_CALL Write(WCHAR_T* name, tVariant* value) = 0;
    virtual bool VELTRA_NATIVE_CALL RegisterProfileAs(WCHAR_T* name) = 0;
    virtual bool VELTRA_NATIVE_CALL SetEventBufferDepth(long depth) = 0;
    virtual long VELTRA_NATIVE_CALL GetEventBufferDepth() = 0;
    virtual bool VELTRA_NATIVE_CALL ExternalEvent(WCHAR_T* source, WCHAR_T* message, WCHAR_T* data) = 0;
    virtual void VELTRA_NATIVE_CALL CleanEventBuffer() = 0;
    virtual bool VELTRA_NATIVE_CALL SetStatusLine(WCHAR_T* text) = 0;
    virtual void VELTRA_NATIVE_CALL ResetStatusLine() = 0;
};

// ---- What the component implements ------------------------------------------

class IInitDoneBase {
public:
    virtual ~IInitDoneBase() {}
    // connection: an IAddInDefBase*. Done is called whatever Init returned.
    virtual bool VELTRA_NATIVE_CALL Init(void* connection) = 0;
    // memoryManager: an IMemoryManager*.
    virtual bool VELTRA_NATIVE_CALL setMemManager(void* memoryManager) = 0;
    virtual long VELTRA_NATIVE_CALL GetInfo() = 0;
    virtual void VELTRA_NATIVE_CALL Done() = 0;
};

class ILanguageExtenderBase {
public:
    virtual ~ILanguageExtenderBase() {}
    virtual bool VELTRA_NATIVE_CALL RegisterExtensionAs(WCHAR_T** name) = 0;
    virtual long VELTRA_NATIVE_CALL GetNProps() = 0;
    virtual long VELTRA_NATIVE_CALL FindProp(const WCHAR_T* name) = 0;
    // alias 0: the English name, 1: the local one. Allocated with the memory manager.
    virtual const WCHAR_T* VELTRA_NATIVE_CALL GetPropName(long number, long alias) = 0;
    virtual bool VELTRA_NATIVE_CALL GetPropVal(long number, tVariant* value) = 0;
    virtual bool VELTRA_NATIVE_CALL SetPropVal(long number, tVariant* value) = 0;
    virtual bool VELTRA_NATIVE_CALL IsPropReadable(long number) = 0;
    virtual bool VELTRA_NATIVE_CALL IsPropWritable(long number) = 0;
    virtual long VELTRA_NATIVE_CALL GetNMethods() = 0;
    virtual long VELTRA_NATIVE_CALL FindMethod(const WCHAR_T* name) = 0;
    virtual const WCHAR_T* VELTRA_NATIVE_CALL GetMethodName(long number, long alias) = 0;
    virtual long VELTRA_NATIVE_CALL GetNParams(long method) = 0;
    virtual bool VELTRA_NATIVE_CALL GetParamDefValue(long method, long param, tVariant* value) = 0;
    virtual bool VELTRA_NATIVE_CALL HasRetVal(long method) = 0;
    virtual bool VELTRA_NATIVE_CALL CallAsProc(long method, tVariant* params, long count) = 0;
    virtual bool VELTRA_NATIVE_CALL CallAsFunc(long method, tVariant* result, tVariant* params, long count) = 0;
};

class LocaleBase {
public:
    virtual ~LocaleBase() {}
    virtual void VELTRA_NATIVE_CALL SetLocale(const WCHAR_T* locale) = 0;
};

class UserLanguageBase {
public:
    virtual ~UserLanguageBase() {}
    virtual void VELTRA_NATIVE_CALL SetUserInterfaceLanguageCode(const WCHAR_T* language) = 0;
};

// The one object the library offers, reached by the platform through its four bases.
class IComponentBase : public IInitDoneBase, public ILanguageExtenderBase, public LocaleBase, public UserLanguageBase {
public:
    ~IComponentBase() override {}
};

// ---- The library's entry functions -------------------------------------------

enum AppCapabilities {
    eAppCapabilitiesInvalid = -1,
    eAppCapabilities1 = 1,
    eAppCapabilities2 = 2,
    eAppCapabilities3 = 3,
    eAppCapabilitiesLast = eAppCapabilities3,
};

enum AttachType {
    eCanAttachNotIsolated = 1,
    eCanAttachIsolated = 2,
    eCanAttachAny = 3,
};

// C linkage, the compiler's default calling convention.
extern "C" {
// The names of the objects the library offers, separated by "|".
const WCHAR_T* GetClassNames();
// Creates the named object into *out; non-zero when it was created.
long GetClassObject(const WCHAR_T* name, IComponentBase** out);
// Deletes an object GetClassObject made and clears *object; 0 when done.
long DestroyObject(IComponentBase** object);
AppCapabilities SetPlatformCapabilities(const AppCapabilities capabilities);
AttachType GetAttachType();
}

// Pointer types of the entry functions, for hosts that look them up by name.
using GetClassNamesFunction = const WCHAR_T* (*)();
using GetClassObjectFunction = long (*)(const WCHAR_T*, IComponentBase**);
using DestroyObjectFunction = long (*)(IComponentBase**);
using SetPlatformCapabilitiesFunction = AppCapabilities (*)(const AppCapabilities);
using GetAttachTypeFunction = AttachType (*)();
