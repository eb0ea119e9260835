// The release trees' stand-ins for C library functions newer than glibc 2.17
// (cmake/Glibc217.cpp), as the C++ runtime uses them: the destructors of a
// thread's thread_local objects, and a condition variable's wait on the
// steady clock. Built into the release trees' logic tests only.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_Destroyed;  // written by one thread at a time

struct Noted {
    std::string name;
    ~Noted() { g_Destroyed.push_back(name); }
};

TEST(Glibc217, ThreadLocalObjects_AreDestroyedAtThreadExit_NewestFirst) {
    g_Destroyed.clear();
    std::thread([] {
        thread_local Noted first{"first"};
        thread_local Noted second{"second"};
        EXPECT_EQ(first.name + second.name, "firstsecond");
    }).join();
    EXPECT_EQ(g_Destroyed, (std::vector<std::string>{"second", "first"}));
}

TEST(Glibc217, ThreadLocalObject_MadeByADestructor_IsDestroyedToo) {
    g_Destroyed.clear();
    std::thread([] {
        struct MakesAnother {
            ~MakesAnother() {
                thread_local Noted late{"late"};
                g_Destroyed.push_back("maker " + late.name);
            }
        };
        thread_local MakesAnother maker;
        (void)&maker;
    }).join();
    EXPECT_EQ(g_Destroyed, (std::vector<std::string>{"maker late", "late"}));
}

TEST(Glibc217, SteadyClockWait_TimesOut_NeverBeforeItsDeadline) {
    std::mutex lock;
    std::condition_variable never;
    std::unique_lock<std::mutex> held(lock);
    for (const auto wait :
         {std::chrono::milliseconds(0), std::chrono::milliseconds(1), std::chrono::milliseconds(30)}) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        EXPECT_EQ(never.wait_until(held, deadline), std::cv_status::timeout) << wait.count() << " ms";
        EXPECT_GE(std::chrono::steady_clock::now(), deadline) << wait.count() << " ms";
    }
}

TEST(Glibc217, SteadyClockWait_EndsWhenNotified) {
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
    std::thread setter([&] {
        std::lock_guard<std::mutex> guard(lock);
        set = true;
        changed.notify_one();
    });
    std::unique_lock<std::mutex> held(lock);
    EXPECT_TRUE(changed.wait_for(held, std::chrono::seconds(30), [&] { return set; }));
    held.unlock();
    setter.join();
}

}  // namespace
