// A cooperative fiber for the script the module registers: the runner resumes it once per
// frame and the script switches back inside scriptWait (ucontext, or Windows fibers).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

class Fiber {
  public:
    explicit Fiber(std::function<void()> body, std::size_t stackSize = 1024 * 1024);
    ~Fiber(); // abandons the fiber wherever it stands and frees its stack
    Fiber(const Fiber &) = delete;
    Fiber &operator=(const Fiber &) = delete;

    // From the runner: run the fiber until it yields or its body returns.
    void Resume();
    // From inside the fiber: switch back to the runner.
    static void Yield();
    // The fiber whose body is running now, or null on the runner.
    static Fiber *Current();

    bool Finished() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl;
};
