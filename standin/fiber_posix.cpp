// ucontext fibers, each switch announced to the sanitizers (tsan is g++'s, as its preset). An
// inaccessible guard page below each stack makes an overflow die of SIGSEGV, not spoil the heap.

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "standin/fiber.h"

#if defined(__SANITIZE_ADDRESS__)
#define PFE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) // clang's way of saying it (the fuzz build)
#define PFE_ASAN 1
#endif
#endif
#ifdef PFE_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#ifdef __SANITIZE_THREAD__
#include <sanitizer/tsan_interface.h>
#endif

struct Fiber::Impl {
    std::function<void()> body;
    char *mapping = nullptr; // the guard page, then the stack
    std::size_t mappingSize = 0;
    char *stack = nullptr;
    std::size_t stackSize = 0;
    ucontext_t context{};
    ucontext_t caller{};
    bool finished = false;
    // Runner stack as the address sanitizer saw it, to switch back to it.
    const void *callerStackBottom = nullptr;
    std::size_t callerStackSize = 0;
    void *tsanFiber = nullptr;
    void *tsanCaller = nullptr;
};

static thread_local Fiber *currentFiber = nullptr;

static void StartSwitch([[maybe_unused]] void **fakeStack, [[maybe_unused]] const void *bottom,
                        [[maybe_unused]] std::size_t size) {
#ifdef PFE_ASAN
    __sanitizer_start_switch_fiber(fakeStack, bottom, size);
#endif
}

static void FinishSwitch([[maybe_unused]] void *fakeStack, [[maybe_unused]] const void **bottom,
                         [[maybe_unused]] std::size_t *size) {
#ifdef PFE_ASAN
    __sanitizer_finish_switch_fiber(fakeStack, bottom, size);
#endif
}

static void FiberEntry(unsigned int high, unsigned int low) {
    const uintptr_t address = (static_cast<uintptr_t>(high) << 32) | static_cast<uintptr_t>(low);
    Fiber::Impl *impl = reinterpret_cast<Fiber::Impl *>(address);
    FinishSwitch(nullptr, &impl->callerStackBottom, &impl->callerStackSize);
    impl->body();
    impl->finished = true;
    // A null fake-stack save tells the address sanitizer this stack is done for.
    StartSwitch(nullptr, impl->callerStackBottom, impl->callerStackSize);
#ifdef __SANITIZE_THREAD__
    __tsan_switch_to_fiber(impl->tsanCaller, 0);
#endif
    setcontext(&impl->caller);
}

Fiber::Fiber(std::function<void()> body, std::size_t stackSize) : impl(std::make_unique<Impl>()) {
    impl->body = std::move(body);
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    impl->stackSize = (stackSize + page - 1) / page * page;
    impl->mappingSize = impl->stackSize + page;
    void *mapping = mmap(nullptr, impl->mappingSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        throw std::runtime_error("cannot map a fiber stack");
    impl->mapping = static_cast<char *>(mapping);
    impl->stack = impl->mapping + page;
    if (mprotect(impl->mapping, page, PROT_NONE) != 0 || getcontext(&impl->context) != 0) {
        munmap(impl->mapping, impl->mappingSize);
        throw std::runtime_error("cannot guard a fiber stack");
    }
    impl->context.uc_stack.ss_sp = impl->stack;
    impl->context.uc_stack.ss_size = impl->stackSize;
    impl->context.uc_link = nullptr;
    const uintptr_t address = reinterpret_cast<uintptr_t>(impl.get());
    makecontext(&impl->context, reinterpret_cast<void (*)()>(FiberEntry), 2,
                static_cast<unsigned int>(address >> 32),
                static_cast<unsigned int>(address & 0xFFFFFFFFu));
#ifdef __SANITIZE_THREAD__
    impl->tsanFiber = __tsan_create_fiber(0);
#endif
}

Fiber::~Fiber() {
#ifdef __SANITIZE_THREAD__
    if (impl->tsanFiber != nullptr)
        __tsan_destroy_fiber(impl->tsanFiber);
#endif
#ifdef PFE_ASAN
    // The abandoned stack may still carry poisoned frames; clear them before it is reused.
    __asan_unpoison_memory_region(impl->stack, impl->stackSize);
#endif
    munmap(impl->mapping, impl->mappingSize);
}

void Fiber::Resume() {
    if (impl->finished)
        return;
    Fiber *previous = currentFiber;
    currentFiber = this;
    void *fakeStack = nullptr;
    StartSwitch(&fakeStack, impl->stack, impl->stackSize);
#ifdef __SANITIZE_THREAD__
    impl->tsanCaller = __tsan_get_current_fiber();
    __tsan_switch_to_fiber(impl->tsanFiber, 0);
#endif
    swapcontext(&impl->caller, &impl->context);
    FinishSwitch(fakeStack, nullptr, nullptr);
    currentFiber = previous;
}

void Fiber::Yield() {
    Fiber *self = currentFiber;
    if (self == nullptr)
        throw std::logic_error("Fiber::Yield called outside a fiber");
    Impl *impl = self->impl.get();
    void *fakeStack = nullptr;
    StartSwitch(&fakeStack, impl->callerStackBottom, impl->callerStackSize);
#ifdef __SANITIZE_THREAD__
    __tsan_switch_to_fiber(impl->tsanCaller, 0);
#endif
    swapcontext(&impl->context, &impl->caller);
    FinishSwitch(fakeStack, &impl->callerStackBottom, &impl->callerStackSize);
}

Fiber *Fiber::Current() { return currentFiber; }

bool Fiber::Finished() const { return impl->finished; }
