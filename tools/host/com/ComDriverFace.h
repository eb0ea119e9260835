// The driver's COM face as a host holds it: the add-in created by its
// programmatic identifier (registered beforehand), initialised with this
// host's recording connection object. COM must be initialised on the
// calling thread for the face's lifetime.
#pragma once

#include "host/DriverFace.h"
#include "host/com/HostConnection.h"
#include "host/com/HostedComponent.h"

namespace veltra::substitute {

class ComDriverFace final : public DriverFace {
public:
    ComDriverFace();
    ~ComDriverFace() override;

    // Where creating the component stopped (Step::Done when it was made).
    const HostedComponent::Creation& Creation() const { return creation_; }
    // The HRESULT of the last Init or SetLocale.
    HRESULT LastResult() const { return lastResult_; }
    HostConnection& Host() { return host_; }

    const char* Name() const override { return "COM"; }
    bool Created() const override { return component_.Created(); }
    bool Init(bool refuseDepth = false) override;
    void Done() override;
    bool SetLocale(const char16_t* locale) override;
    std::string End() override;

    std::optional<std::u16string> ExtensionName() override;
    std::u16string Info() override;
    std::u16string LibraryFile() override;
    long PropCount() override;
    long MethodCount() override;
    long FindProp(const std::u16string& name) override;
    long FindMethod(const std::u16string& name) override;
    std::u16string PropName(long number, long alias) override;
    std::u16string MethodName(long number, long alias) override;
    long ParamCount(long method) override;

    Got Property(long number) override;
    bool SetProperty(long number, const Sent& value) override;
    using DriverFace::Call;
    Answer Call(long method, long count, const std::vector<Sent>& inputs = {}) override;

    EventRecorder& Recorder() override { return host_; }
    void RefuseEvents(bool refuse) override { host_.RefuseEvents(refuse ? E_FAIL : S_OK); }

private:
    HostConnection host_;  // outlives the component's hold on it
    HostedComponent component_;
    HostedComponent::Creation creation_{HostedComponent::Step::Lookup, E_FAIL};
    HRESULT lastResult_ = S_OK;
    bool initialised_ = false;  // Init called, no Done since
};

}  // namespace veltra::substitute
