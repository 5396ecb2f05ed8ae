#pragma once

// Private to the session manager's sources: wraps a continuation so that it
// runs only while the manager exists and its session generation is current.

#include <memory>
#include <utility>

#include "account/auth_session_manager.hpp"

namespace mivo {

template <typename F>
auto AuthSessionManager::guarded(F f) {
    return [this, life = std::weak_ptr<Life>(life_), generation = generation_,
            f = std::move(f)](auto&&... args) mutable {
        if (life.expired() || generation != generation_)
            return;
        f(std::forward<decltype(args)>(args)...);
    };
}

}  // namespace mivo
