// The driver's Native API face as a host holds it: the library loaded as the
// platform loads it, with this host's memory manager, which accounts for
// every block, and its recording connection object.
#pragma once

#include <string>

#include "host/DriverFace.h"
#include "host/native/Component.h"
#include "host/native/Connection.h"
#include "host/native/MemoryManager.h"
#include "host/native/NativeLibrary.h"

namespace veltra::substitute::native {

class NativeDriverFace final : public DriverFace {
public:
    // The object `className` of the library at `path` (UTF-8); "" for the
    // first the library offers.
    explicit NativeDriverFace(const std::string& path, const std::u16string& className = u"");

    // Where making the object stopped: loading the library (Error() tells
    // why), the library offering no object, or Component's steps.
    enum class Step { Load, NoObject, Instance, MemoryManager, Done };
    Step Creation() const { return creation_; }
    const std::string& LoadError() const { return library_.Error(); }
    const std::u16string& ClassName() const { return className_; }
    Connection& Host() { return connection_; }

    const char* Name() const override { return "Native"; }
    bool Created() const override { return component_.Created(); }
    bool Init(bool refuseDepth = false) override;
    void Done() override;
    bool SetLocale(const char16_t* locale) override;
    std::string End() override;

    std::optional<std::u16string> ExtensionName() override { return component_.RegisterExtensionAs(); }
    std::u16string Info() override;
    std::u16string LibraryFile() override;
    long PropCount() override { return component_.PropCount(); }
    long MethodCount() override { return component_.MethodCount(); }
    long FindProp(const std::u16string& name) override { return component_.FindProp(name); }
    long FindMethod(const std::u16string& name) override { return component_.FindMethod(name); }
    std::u16string PropName(long number, long alias) override { return component_.PropName(number, alias); }
    std::u16string MethodName(long number, long alias) override { return component_.MethodName(number, alias); }
    long ParamCount(long method) override { return component_.ParamCount(method); }

    Got Property(long number) override;
    bool SetProperty(long number, const Sent& value) override;
    using DriverFace::Call;
    Answer Call(long method, long count, const std::vector<Sent>& inputs = {}) override;

    EventRecorder& Recorder() override { return connection_; }
    void RefuseEvents(bool refuse) override { connection_.RefuseEvents(refuse ? Connection::kAlways : 0); }

private:
    std::string path_;
    std::u16string className_;
    Step creation_ = Step::Load;
    bool ended_ = false;
    // The library, the memory manager and the connection outlive the object.
    NativeLibrary library_;
    MemoryManager memory_;
    Connection connection_;
    Component component_;  // last, so that it goes first
};

}  // namespace veltra::substitute::native
