// Windows fibers. The runner's thread becomes a fiber at its first resume, for the script to
// switch back to; a fiber procedure must never return, so a finished body parks on the runner.
// The system guards each fiber's stack, so an overflow ends the run there.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef Yield // an old 16-bit leftover of winbase.h, clashing with Fiber::Yield

#include <stdexcept>
#include <string>

#include "standin/fiber.h"

struct Fiber::Impl {
    std::function<void()> body;
    LPVOID fiber = nullptr;
    LPVOID caller = nullptr;
    bool finished = false;
};

static thread_local Fiber *currentFiber = nullptr;
static thread_local LPVOID runnerFiber = nullptr;

// The runner's thread is a plain thread until the first resume; only this file converts it.
static LPVOID RunnerFiber() {
    if (runnerFiber == nullptr) {
        runnerFiber = ConvertThreadToFiber(nullptr);
        if (runnerFiber == nullptr)
            throw std::runtime_error("cannot turn the runner's thread into a fiber (error " +
                                     std::to_string(GetLastError()) + ")");
    }
    return runnerFiber;
}

static void WINAPI FiberEntry(LPVOID parameter) {
    Fiber::Impl *impl = static_cast<Fiber::Impl *>(parameter);
    impl->body();
    impl->finished = true;
    for (;;)
        SwitchToFiber(impl->caller);
}

Fiber::Fiber(std::function<void()> body, std::size_t stackSize) : impl(std::make_unique<Impl>()) {
    impl->body = std::move(body);
    impl->fiber = CreateFiber(stackSize, FiberEntry, impl.get());
    if (impl->fiber == nullptr)
        throw std::runtime_error("CreateFiber failed");
}

Fiber::~Fiber() {
    if (impl->fiber != nullptr)
        DeleteFiber(impl->fiber);
}

void Fiber::Resume() {
    if (impl->finished)
        return;
    Fiber *previous = currentFiber;
    currentFiber = this;
    impl->caller = previous != nullptr ? previous->impl->fiber : RunnerFiber();
    SwitchToFiber(impl->fiber);
    currentFiber = previous;
}

void Fiber::Yield() {
    Fiber *self = currentFiber;
    if (self == nullptr)
        throw std::logic_error("Fiber::Yield called outside a fiber");
    SwitchToFiber(self->impl->caller);
}

Fiber *Fiber::Current() { return currentFiber; }

bool Fiber::Finished() const { return impl->finished; }
