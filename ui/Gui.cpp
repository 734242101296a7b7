#include "ui/Gui.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace ui {

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
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
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
    QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

}
