#pragma once

// A Secret Service that takes every call and never answers: it owns
// org.freedesktop.secrets on the private session bus and drops each method
// call it is sent, as a hung keyring daemon would.

#include <condition_variable>
#include <mutex>
#include <thread>

typedef struct _GMainLoop GMainLoop;

namespace mivo::testing {

class SilentSecretService {
  public:
    SilentSecretService();
    ~SilentSecretService();
    SilentSecretService(const SilentSecretService&) = delete;
    SilentSecretService& operator=(const SilentSecretService&) = delete;

    // Whether it holds the name (no other Secret Service runs on this bus).
    bool ownsTheName() const { return owns_; }

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable readyChanged_;
    bool ready_ = false;
    bool owns_ = false;
    GMainLoop* loop_ = nullptr;
    std::thread thread_;
};

}  // namespace mivo::testing
