// The platform's memory manager, as a host hands it to a component: the
// component allocates every text and block it hands over through it, and the
// host frees them through it. This one also keeps account, so that a test can
// require "nothing leaked, nothing freed that was not ours to free".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "native/api/NativeApi.h"

namespace veltra::substitute::native {

// Records every block it hands out. A FreeMemory of a block it does not hold
// (never allocated here, already freed, or one of the host's own texts that
// the component was only lent) is recorded as a fault and frees nothing, so
// the faulty call does not crash the test that finds it. Each block carries a
// few guard bytes past its end, checked when it is freed. Safe to call from
// any thread. Outlives every component it was handed to.
class MemoryManager final : public IMemoryManager {
public:
    MemoryManager() = default;
    ~MemoryManager() override;  // frees what is still held
    MemoryManager(const MemoryManager&) = delete;
    MemoryManager& operator=(const MemoryManager&) = delete;

    // The component's side.
    bool VELTRA_NATIVE_CALL AllocMemory(void** memory, unsigned long bytes) override;
    void VELTRA_NATIVE_CALL FreeMemory(void** memory) override;

    // The host's side. A terminated copy of `text` in a block of this
    // manager that the host holds (the platform hands parameters over so);
    // the component may read it during the call but must not free it.
    // Throws std::bad_alloc.
    WCHAR_T* HostText(const std::u16string& text);
    void FreeHostBlock(const void* block);
    // Frees a block the component handed over; `what` names it in a fault
    // ("the result", "the extension name", ...). Null frees nothing.
    void FreeHandedOver(const void* block, const std::string& what);

    // The next `count` AllocMemory calls answer false, as when memory runs out.
    void RefuseAllocations(size_t count);

    struct Block {
        uint64_t number;  // 1 for the first block handed out, and so on
        size_t bytes;
        bool host;  // one of the host's texts, not the component's
    };
    struct Report {
        uint64_t allocations = 0;         // blocks handed out
        uint64_t frees = 0;               // blocks given back
        std::vector<Block> leaks;         // blocks still held, oldest first
        std::vector<std::string> faults;  // in the order they happened
        bool Clean() const { return leaks.empty() && faults.empty(); }
        std::string Text() const;  // for failure messages
    };
    Report GetReport() const;
    size_t HeldBlocks() const;

private:
    struct Held {
        uint64_t number;
        size_t bytes;
        bool host;
    };
    void* Allocate(size_t bytes, bool host);      // with the lock held
    void Release(char* block, const Held& held);  // with the lock held; the block is held
    void Fault(std::string text);                 // with the lock held

    mutable std::mutex lock_;
    std::map<const void*, Held> held_;
    uint64_t allocations_ = 0;
    uint64_t frees_ = 0;
    size_t refuse_ = 0;
    std::vector<std::string> faults_;
};

}  // namespace veltra::substitute::native
