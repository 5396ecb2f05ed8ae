#include "loop_probe.hpp"

#include <QTimer>

#include <algorithm>

namespace mivo::testing {

struct LoopProbe::Impl {
    using Clock = std::chrono::steady_clock;
    QTimer timer;
    Clock::time_point last = Clock::now();
    Clock::duration longest{0};
};

LoopProbe::LoopProbe() : impl_(std::make_unique<Impl>()) {
    impl_->timer.setInterval(5);
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout, [impl = impl_.get()] {
        const auto now = Impl::Clock::now();
        impl->longest = std::max(impl->longest, now - impl->last);
        impl->last = now;
    });
    impl_->timer.start();
}

LoopProbe::~LoopProbe() = default;

std::chrono::milliseconds LoopProbe::longestStall() const {
    const auto sinceLast = Impl::Clock::now() - impl_->last;
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(impl_->longest, sinceLast));
}

}  // namespace mivo::testing
