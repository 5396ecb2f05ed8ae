#pragma once

// One background thread that runs blocking jobs one at a time, in order, for
// calls that must never run on the main loop (the Secret Service answers
// over D-Bus, and a stuck one would freeze every highlight and hotkey).
// A job that never returns holds only this thread: the owner gives up on
// it by its own deadline, and at destruction the thread is let go instead of
// joined.

#include <functional>
#include <memory>

namespace mivo {

class SerialWorker {
  public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues `job`; it runs after every job queued before it.
    void run(std::function<void()> job);

  private:
    struct Queue;
    std::shared_ptr<Queue> queue_;
};

}  // namespace mivo
