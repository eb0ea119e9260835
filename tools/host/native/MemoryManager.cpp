#include "host/native/MemoryManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace veltra::substitute::native {

namespace {

// Past the end of every block: a component that writes one unit too many
// (a terminator it did not count) changes them.
constexpr size_t kGuardBytes = 8;
constexpr unsigned char kGuard = 0xFD;
// A new block is filled with this, so that a component that reads what it
// did not write sees no zeros that happen to work.
constexpr unsigned char kFresh = 0xCD;

std::string Address(const void* block) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", block);
    return text;
}

std::string BlockName(uint64_t number, size_t bytes, bool host) {
    return std::string(host ? "host block #" : "block #") + std::to_string(number) + " of " + std::to_string(bytes) +
           " bytes";
}

}  // namespace

MemoryManager::~MemoryManager() {
    for (const auto& [block, held] : held_) std::free(const_cast<void*>(block));
}

// The component calls in here: nothing may escape as an exception.

bool MemoryManager::AllocMemory(void** memory, unsigned long bytes) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        if (!memory) {
            Fault("AllocMemory with a null pointer to the answer");
            return false;
        }
        *memory = nullptr;
        if (refuse_ > 0) {
            --refuse_;
            return false;
        }
        *memory = Allocate(bytes, false);
        return *memory != nullptr;
    } catch (...) {
        return false;
    }
}

void MemoryManager::FreeMemory(void** memory) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        if (!memory) {
            Fault("FreeMemory with a null pointer to the block");
            return;
        }
        if (!*memory) return;  // as free(nullptr)
        const auto found = held_.find(*memory);
        if (found == held_.end()) {
            Fault("FreeMemory of " + Address(*memory) +
                  ", which this manager does not hold (never allocated here, or already freed)");
            return;
        }
        if (found->second.host) {
            Fault("FreeMemory of " + BlockName(found->second.number, found->second.bytes, true) +
                  ": a text the host lent for a call, not the component's to free");
            return;
        }
        Release(static_cast<char*>(*memory), found->second);
        *memory = nullptr;
    } catch (...) {
        // Only a fault's text could not be recorded: the block is as it was.
    }
}

WCHAR_T* MemoryManager::HostText(const std::u16string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    auto* block = static_cast<WCHAR_T*>(Allocate((text.size() + 1) * sizeof(WCHAR_T), true));
    if (!block) throw std::bad_alloc();
    for (size_t i = 0; i < text.size(); ++i) block[i] = static_cast<WCHAR_T>(text[i]);
    block[text.size()] = 0;
    return block;
}

void MemoryManager::FreeHostBlock(const void* block) {
    if (!block) return;
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = held_.find(block);
    if (found == held_.end() || !found->second.host) {
        Fault("the host's text " + Address(block) + " was gone after the call (freed as something else?)");
        return;
    }
    Release(static_cast<char*>(const_cast<void*>(block)), found->second);
}

void MemoryManager::FreeHandedOver(const void* block, const std::string& what) {
    if (!block) return;
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = held_.find(block);
    if (found == held_.end()) {
        Fault(what + " (" + Address(block) +
              ") is no block of this manager: the component handed over memory of its own, or a block it had freed");
        return;
    }
    if (found->second.host) {
        Fault(what + " is " + BlockName(found->second.number, found->second.bytes, true) +
              ": the component handed back a text the host had lent it");
        return;
    }
    Release(static_cast<char*>(const_cast<void*>(block)), found->second);
}

void MemoryManager::RefuseAllocations(size_t count) {
    std::lock_guard<std::mutex> guard(lock_);
    refuse_ = count;
}

MemoryManager::Report MemoryManager::GetReport() const {
    std::lock_guard<std::mutex> guard(lock_);
    Report report;
    report.allocations = allocations_;
    report.frees = frees_;
    for (const auto& [block, held] : held_) report.leaks.push_back({held.number, held.bytes, held.host});
    std::sort(report.leaks.begin(), report.leaks.end(),
              [](const Block& a, const Block& b) { return a.number < b.number; });
    report.faults = faults_;
    return report;
}

size_t MemoryManager::HeldBlocks() const {
    std::lock_guard<std::mutex> guard(lock_);
    return held_.size();
}

std::string MemoryManager::Report::Text() const {
    std::string text = std::to_string(allocations) + " blocks allocated, " + std::to_string(frees) + " freed";
    for (const Block& block : leaks) text += "\n  leaked: " + BlockName(block.number, block.bytes, block.host);
    for (const std::string& fault : faults) text += "\n  fault: " + fault;
    return text;
}

void* MemoryManager::Allocate(size_t bytes, bool host) {
    auto* block = static_cast<char*>(std::malloc(bytes + kGuardBytes));
    if (!block) return nullptr;
    std::memset(block, kFresh, bytes);
    std::memset(block + bytes, kGuard, kGuardBytes);
    try {
        held_.emplace(block, Held{allocations_ + 1, bytes, host});
    } catch (...) {
        std::free(block);
        throw;
    }
    ++allocations_;
    return block;
}

void MemoryManager::Release(char* block, const Held& held) {
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (static_cast<unsigned char>(block[held.bytes + i]) != kGuard) {
            Fault(BlockName(held.number, held.bytes, held.host) + " was written past its end");
            break;
        }
    }
    held_.erase(block);  // `held` refers into the map: not used below
    ++frees_;
    std::free(block);
}

void MemoryManager::Fault(std::string text) { faults_.push_back(std::move(text)); }

}  // namespace veltra::substitute::native
