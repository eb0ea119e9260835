// A Native API object as the platform holds it: made by its library, handed
// the memory manager and the connection object in the platform's order, its
// properties and methods reached through their numbers and names, every text
// it hands over freed through the memory manager once read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/native/Connection.h"
#include "host/native/MemoryManager.h"
#include "host/native/NativeLibrary.h"
#include "native/api/NativeApi.h"

namespace veltra::substitute::native {

// The library, the memory manager and (from Init to Done) the connection
// outlive the component.
class Component {
public:
    Component() = default;
    // Done when Init was called without a Done after it, then DestroyObject,
    // as the platform closes an object.
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    // Where creating stopped: GetClassObject made no object, or
    // setMemManager answered false (the object is destroyed again).
    enum class Step { Instance, MemoryManager, Done };
    Step Create(NativeLibrary& library, MemoryManager& memory, const std::u16string& className);
    bool Created() const { return object_ != nullptr; }
    // The object itself, for calls made exactly as a test wants them.
    IComponentBase* object() const { return object_; }
    MemoryManager& memory() const { return *memory_; }

    // The calls below need a created component.
    bool Init(Connection& connection);
    void Done();  // passed on every time; the connection is let go after the first
    // DestroyObject's answer (0 when done); the destructor does it otherwise.
    long Destroy();

    long GetInfo() { return object_->GetInfo(); }
    void SetLocale(const std::u16string& locale);
    void SetUserInterfaceLanguageCode(const std::u16string& language);
    // The extension's name, freed through the memory manager; none when
    // RegisterExtensionAs answered false.
    std::optional<std::u16string> RegisterExtensionAs();

    // A value the component wrote: what the call answered, the value as text
    // (ValueText) and its tag.
    struct Value {
        bool ok = false;
        std::u16string text;
        uint16_t type = VTYPE_EMPTY;
    };

    long PropCount() { return object_->GetNProps(); }
    long FindProp(const std::u16string& name);
    // alias 0: the English name, 1: the local one; freed through the memory manager.
    std::u16string PropName(long number, long alias);
    bool IsPropReadable(long number) { return object_->IsPropReadable(number); }
    bool IsPropWritable(long number) { return object_->IsPropWritable(number); }
    // (Not GetProp and SetProp: <windows.h> makes macros of those names.)
    Value PropValue(long number);
    // The text as VTYPE_PWSTR in a block the host holds and frees after the call.
    bool SetPropText(long number, const std::u16string& text);
    // A value as the caller made it; its texts stay the caller's.
    bool SetPropValue(long number, tVariant value);

    long MethodCount() { return object_->GetNMethods(); }
    long FindMethod(const std::u16string& name);
    std::u16string MethodName(long number, long alias);
    long ParamCount(long method) { return object_->GetNParams(method); }
    bool HasRetVal(long method) { return object_->HasRetVal(method); }
    Value ParamDefault(long method, long param);

    // A method's answer: whether the method exists (FindMethod; always for a
    // call by number), what the call answered, the result as text and its
    // tag, and each parameter afterwards as text and tag; `count` of each,
    // also when the call answered false.
    struct CallResult {
        bool found = true;
        bool ok = false;
        std::u16string result;
        uint16_t resultType = VTYPE_EMPTY;
        std::vector<std::u16string> textParams;
        std::vector<uint16_t> types;
    };
    enum class As { Function, Procedure };  // CallAsFunc or CallAsProc
    // Calls `method` with `count` parameters, as the platform does: the first
    // ones texts (VTYPE_PWSTR in blocks the host holds, freed after the
    // call), the rest VTYPE_EMPTY. Throws std::bad_alloc.
    CallResult Call(long method, long count, const std::vector<std::u16string>& inputs = {}, As as = As::Function);
    // The same by the method's name in either language; found is false, and
    // nothing called, when FindMethod knows no such name.
    CallResult CallByName(const std::u16string& name, long count, const std::vector<std::u16string>& inputs = {},
                          As as = As::Function);
    // With parameters as the caller made them (any tag, null texts, huge
    // texts), params.size() of them. The caller's texts stay the caller's;
    // what the component put in their place is read and freed.
    CallResult CallValues(long method, std::vector<tVariant>& params, As as = As::Function);
    // The GetLastError method: the code as the result, the description as parameter 0.
    CallResult LastError() { return CallByName(u"GetLastError", 1); }

    // Reads a value the component wrote, frees its block through the memory
    // manager (a fault there names `what`) and leaves it VTYPE_EMPTY; ok is
    // left for the caller to set.
    Value Take(tVariant& value, const std::string& what);

private:
    // Reads a value the host had put there with the text block `lent` (null
    // for none): the block is still the host's if it is still there;
    // whatever the component put in its place is taken.
    Value Settle(tVariant& value, const void* lent, const std::string& what);
    // Calls with params as they are; `lent` as in Settle, per parameter.
    CallResult Invoke(long method, std::vector<tVariant>& params, const std::vector<const void*>& lent, As as);
    // The names the component returns are the memory manager's blocks.
    std::u16string TakeName(const WCHAR_T* name, const char* what);

    NativeLibrary* library_ = nullptr;
    MemoryManager* memory_ = nullptr;
    IComponentBase* object_ = nullptr;
    Connection* connection_ = nullptr;  // from Init to Done
    bool initialised_ = false;          // Init called, no Done since
};

}  // namespace veltra::substitute::native
