#include "platform/linux/qt/qt_main_loop_post.hpp"

#include <QCoreApplication>
#include <QMetaObject>

namespace mivo::linux_desktop {

MainLoopPost qtMainLoopPost() {
    return [](std::function<void()> work) {
        // A queued call on the application object runs on the thread that owns
        // it, the main thread, and is safe to make from any thread.
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return;
        QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    };
}

}  // namespace mivo::linux_desktop
