#include "ui/Gui.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <condition_variable>
#include <mutex>

// ThreadSanitizer cannot see the locks inside Qt's event queue (Qt is not built with it): a
// function handed to the GUI thread through the queue would look unsynchronised with what its
// poster did before. In a ThreadSanitizer build each hand-over says so itself: the poster
// releases the event that carries the function once the event is whole, and the GUI thread
// acquires it before it touches the event.
#if defined(__SANITIZE_THREAD__)
#define KESTRIX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTRIX_THREAD_SANITIZER 1
#endif
#endif

#ifdef KESTRIX_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace ui {

namespace {

void handOver([[maybe_unused]] void* what)
{
#ifdef KESTRIX_THREAD_SANITIZER
    __tsan_release(what);
#endif
}

void takeOver([[maybe_unused]] void* what)
{
#ifdef KESTRIX_THREAD_SANITIZER
    __tsan_acquire(what);
#endif
}

// Whoever waits for a handed-over function: told once the function has run, or once its
// event is dropped unrun (the application ending).
class Completion {
public:
    void done()
    {
        std::lock_guard lock(mutex_);
        done_ = true;
        doneChanged_.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(mutex_);
        doneChanged_.wait(lock, [this] { return done_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;
};

// A function on its way to the GUI thread, carried by Qt's event queue.
class HandOverEvent : public QEvent {
public:
    static QEvent::Type handOverType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    HandOverEvent(std::function<void()> fn, Completion* completion)
        : QEvent(handOverType()), fn_(std::move(fn)), completion_(completion)
    {
    }
    ~HandOverEvent() override
    {
        if (completion_)
            completion_->done();
    }
    HandOverEvent(const HandOverEvent&) = delete;
    HandOverEvent& operator=(const HandOverEvent&) = delete;

    void run() { fn_(); }

private:
    std::function<void()> fn_;
    Completion* completion_;
};

// Runs the handed-over functions on the GUI thread; lives as long as the process.
class HandOverReceiver : public QObject {
public:
    bool event(QEvent* event) override
    {
        takeOver(event);
        if (event->type() != HandOverEvent::handOverType())
            return QObject::event(event);
        static_cast<HandOverEvent*>(event)->run();
        return true;
    }
};

QObject& receiver(QCoreApplication& app)
{
    static HandOverReceiver* const made = [&app] {
        auto* object = new HandOverReceiver;
        object->moveToThread(app.thread());
        return object;
    }();
    return *made;
}

// Queues fn for the GUI thread; completion, when given, is told once it ran or was dropped.
void handToGuiThread(QCoreApplication& app, std::function<void()> fn, Completion* completion)
{
    auto* event = new HandOverEvent(std::move(fn), completion);
    handOver(event);
    QCoreApplication::postEvent(&receiver(app), event);
}

}

bool Gui::onGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void Gui::post(std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (onGuiThread()) {
        fn();
        return;
    }
    handToGuiThread(*app, std::move(fn), nullptr);
}

void Gui::call(const std::function<void()>& fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (onGuiThread()) {
        fn();
        return;
    }
    Completion completion;
    handToGuiThread(*app, fn, &completion);
    completion.wait();
}

}
