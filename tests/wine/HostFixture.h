// The COM tests' host: the substitute host of tools/host/com (the connection
// object that records what the component sends, the component created by its
// programmatic identifier) with GoogleTest checks on top, and the fixtures.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "com/addin/ComOwners.h"
#include "com/host/AddInLib.h"
#include "host/com/HostConnection.h"
#include "host/com/HostedComponent.h"
#include "host/com/ServerRegistration.h"

namespace veltra::test {

using substitute::BesideProgram;
using substitute::HostConnection;
using substitute::HostEvent;
using substitute::MakeVariantArray;
using substitute::UniqueSafeArray;

// Handles and threads of this process. Wine may run a thread of its own for
// a while, so a leak shows as growth over many repetitions, not as one count.
DWORD HandleCount();
size_t ThreadCount();

// Runs cycle a few times to warm up, then cycle(0 ... cycles-1) (up to a
// fatal failure); prints the time taken and the counts before and after
// under label and expects both counts flat.
void ExpectFlatOverCycles(const char* label, int cycles, const std::function<void(int)>& cycle);

// Text with control characters as \xNN, and recorded events one a line,
// for failure messages.
std::string Printable(const std::u16string& text);
std::string Recording(const std::vector<HostEvent>& events);

// The add-in object as the host holds it; a step that fails fails the test.
class Component : public substitute::HostedComponent {
public:
    Component();  // created by its programmatic identifier
    void SetLocale(const wchar_t* locale);
    // The GetLastError command: code and description.
    std::pair<long, std::u16string> LastError();
    // SetParameter(name, value) as texts; returns the command's result.
    long SetParameter(const std::u16string& name, const std::u16string& value);
};

struct Opened {
    long result;
    std::u16string id;
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
    HostConnection host;  // outlives the component
    Component c;
};

// ... that connects a device, in keyboard or serial mode: the commands and
// the lifecycle checks both modes share.
class ConnectingComponent : public InitialisedComponent {
protected:
    // Open: its result and the device identifier; the call itself succeeds.
    Opened Open();
    // Open that must connect (the driver's error text otherwise); the identifier.
    std::u16string Connect();
    long Close(const std::u16string& id);

    // Connect and Close `cycles` times after a few warm-up cycles; handles
    // and threads stay flat.
    void OpenCloseCycles(const char* label, int cycles);
    // Connected, the host refuses the code `sendCode` makes the scanner send;
    // once the driver has offered it twice, Done returns within 300 ms, keeps
    // no reference to the host, and nothing is posted after it.
    void ExpectPromptDoneWhileRefusing(const std::function<void()>& sendCode);
};

// Registers the library machine-wide for the whole test program and
// initialises COM on the main thread.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<substitute::ComApartment> com_;
};

}  // namespace veltra::test
