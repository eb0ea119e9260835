// A small Native API library for the substitute host's own tests: one object
// ("Fake", also offered as "FakeTwin") with one property and a few methods
// that return texts, post events from a thread of their own, and misuse the
// memory manager on request, so that the host's records can be checked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "native/api/NativeApi.h"

#if defined(_WIN32)
#define FAKE_TEXT(text) L##text
#else
#define FAKE_TEXT(text) u##text
#endif

namespace {

using Text = std::basic_string<WCHAR_T>;

bool Same(const WCHAR_T* a, const WCHAR_T* b) { return a && b && Text(a) == b; }

struct Member {
    const WCHAR_T* english;
    const WCHAR_T* local;
    long params;
    bool returns;
};

enum Method : long { kEcho, kPost, kLeak, kMisuse };

// Echo(text, out): the text as the result, "out" into the second parameter;
// anything but a text is refused with an error. Post(count): posts count
// events ("0", "1", ...) from a new thread. Leak: allocates a block and drops
// it. Misuse: frees memory of its own, frees a block twice, writes past the
// end of one.
const Member kMethods[] = {
    {FAKE_TEXT("Echo"), FAKE_TEXT("Эхо"), 2, true},
    {FAKE_TEXT("Post"), FAKE_TEXT("Послать"), 1, false},
    {FAKE_TEXT("Leak"), FAKE_TEXT("Утечка"), 0, false},
    {FAKE_TEXT("Misuse"), FAKE_TEXT("Ошибки"), 0, false},
};
const long kMethodCount = sizeof kMethods / sizeof kMethods[0];
const Member kProperty = {FAKE_TEXT("Text"), FAKE_TEXT("Текст"), 0, false};

class Fake final : public IComponentBase {
public:
    ~Fake() override { Join(); }

    bool VELTRA_NATIVE_CALL Init(void* connection) override {
        connection_ = static_cast<IAddInDefBase*>(connection);
        return connection_->SetEventBufferDepth(10);
    }
    bool VELTRA_NATIVE_CALL setMemManager(void* memory) override {
        memory_ = static_cast<IMemoryManager*>(memory);
        return memory_ != nullptr;
    }
    long VELTRA_NATIVE_CALL GetInfo() override { return 2000; }
    void VELTRA_NATIVE_CALL Done() override {
        Join();
        connection_ = nullptr;
    }

    bool VELTRA_NATIVE_CALL RegisterExtensionAs(WCHAR_T** name) override {
        *name = Copy(FAKE_TEXT("Fake"));
        return *name != nullptr;
    }

    long VELTRA_NATIVE_CALL GetNProps() override { return 1; }
    long VELTRA_NATIVE_CALL FindProp(const WCHAR_T* name) override {
        return Same(name, kProperty.english) || Same(name, kProperty.local) ? 0 : -1;
    }
    const WCHAR_T* VELTRA_NATIVE_CALL GetPropName(long number, long alias) override {
        if (number != 0) return nullptr;
        return Copy(alias == 0 ? kProperty.english : kProperty.local);
    }
    bool VELTRA_NATIVE_CALL GetPropVal(long number, tVariant* value) override {
        return number == 0 && SetText(value, text_);
    }
    bool VELTRA_NATIVE_CALL SetPropVal(long number, tVariant* value) override {
        if (number != 0 || value->vt != VTYPE_PWSTR) return false;
        text_.assign(value->value.wideText.pwstrVal, value->value.wideText.wstrLen);
        return true;
    }
    bool VELTRA_NATIVE_CALL IsPropReadable(long number) override { return number == 0; }
    bool VELTRA_NATIVE_CALL IsPropWritable(long number) override { return number == 0; }

    long VELTRA_NATIVE_CALL GetNMethods() override { return kMethodCount; }
    long VELTRA_NATIVE_CALL FindMethod(const WCHAR_T* name) override {
        for (long i = 0; i < kMethodCount; ++i)
            if (Same(name, kMethods[i].english) || Same(name, kMethods[i].local)) return i;
        return -1;
    }
    const WCHAR_T* VELTRA_NATIVE_CALL GetMethodName(long number, long alias) override {
        if (number < 0 || number >= kMethodCount) return nullptr;
        return Copy(alias == 0 ? kMethods[number].english : kMethods[number].local);
    }
    long VELTRA_NATIVE_CALL GetNParams(long method) override {
        return method >= 0 && method < kMethodCount ? kMethods[method].params : 0;
    }
    bool VELTRA_NATIVE_CALL GetParamDefValue(long, long, tVariant*) override { return false; }
    bool VELTRA_NATIVE_CALL HasRetVal(long method) override {
        return method >= 0 && method < kMethodCount && kMethods[method].returns;
    }
    bool VELTRA_NATIVE_CALL CallAsProc(long method, tVariant* params, long count) override {
        return Run(method, nullptr, params, count);
    }
    bool VELTRA_NATIVE_CALL CallAsFunc(long method, tVariant* result, tVariant* params, long count) override {
        return Run(method, result, params, count);
    }

    void VELTRA_NATIVE_CALL SetLocale(const WCHAR_T*) override {}
    void VELTRA_NATIVE_CALL SetUserInterfaceLanguageCode(const WCHAR_T*) override {}

private:
    WCHAR_T* Copy(const Text& text) {
        void* block = nullptr;
        if (!memory_->AllocMemory(&block, static_cast<unsigned long>((text.size() + 1) * sizeof(WCHAR_T))))
            return nullptr;
        auto* units = static_cast<WCHAR_T*>(block);
        text.copy(units, text.size());
        units[text.size()] = 0;
        return units;
    }

    bool SetText(tVariant* value, const Text& text) {
        WCHAR_T* copy = Copy(text);
        if (!copy) return false;
        value->vt = VTYPE_PWSTR;
        value->value.wideText.pwstrVal = copy;
        value->value.wideText.wstrLen = static_cast<uint32_t>(text.size());
        return true;
    }

    bool Run(long method, tVariant* result, tVariant* params, long count) {
        switch (method) {
        case kEcho: {
            if (count != 2 || params[0].vt != VTYPE_PWSTR) {
                connection_->AddError(1002, FAKE_TEXT("Fake"), FAKE_TEXT("Echo takes a text"), 0);
                return false;
            }
            const Text text(params[0].value.wideText.pwstrVal, params[0].value.wideText.wstrLen);
            return (!result || SetText(result, text)) && SetText(&params[1], FAKE_TEXT("out"));
        }
        case kPost: {
            if (count != 1 || params[0].vt != VTYPE_PWSTR) return false;
            const Text digits(params[0].value.wideText.pwstrVal, params[0].value.wideText.wstrLen);
            int events = 0;
            for (WCHAR_T digit : digits) events = events * 10 + (digit - '0');
            Join();
            poster_ = std::thread([this, events] { PostEvents(events); });
            return true;
        }
        case kLeak: {
            void* block = nullptr;
            return memory_->AllocMemory(&block, 16);
        }
        case kMisuse: {
            static char own[8];
            void* foreign = own;
            memory_->FreeMemory(&foreign);
            void* twice = nullptr;
            if (!memory_->AllocMemory(&twice, 4)) return false;
            void* copy = twice;
            memory_->FreeMemory(&twice);
            memory_->FreeMemory(&copy);
            void* small = nullptr;
            if (!memory_->AllocMemory(&small, 4)) return false;
            static_cast<char*>(small)[4] = 0;  // one byte too many
            memory_->FreeMemory(&small);
            return true;
        }
        default: return false;
        }
    }

    void PostEvents(int events) {
        for (int i = 0; i < events; ++i) {
            Text source = FAKE_TEXT("Fake");
            Text name = FAKE_TEXT("Event");
            Text data(1, static_cast<WCHAR_T>('0' + i % 10));
            connection_->ExternalEvent(&source[0], &name[0], &data[0]);
        }
    }

    void Join() {
        if (poster_.joinable()) poster_.join();
    }

    IAddInDefBase* connection_ = nullptr;
    IMemoryManager* memory_ = nullptr;
    Text text_;
    std::thread poster_;
};

}  // namespace

extern "C" {

const WCHAR_T* GetClassNames() { return FAKE_TEXT("Fake|FakeTwin"); }

long GetClassObject(const WCHAR_T* name, IComponentBase** out) {
    if (!out || !(Same(name, FAKE_TEXT("Fake")) || Same(name, FAKE_TEXT("FakeTwin")))) return 0;
    *out = new Fake;
    return 1;
}

long DestroyObject(IComponentBase** object) {
    if (!object || !*object) return -1;
    delete *object;
    *object = nullptr;
    return 0;
}

AppCapabilities SetPlatformCapabilities(const AppCapabilities capabilities) { return capabilities; }

AttachType GetAttachType() { return eCanAttachAny; }

}  // extern "C"
