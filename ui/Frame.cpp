#include "ui/Frame.h"

#include "ui/OperatorThread.h"

#include <QCloseEvent>
#include <QGridLayout>

namespace ui {

namespace {

class FrameWindow : public QWidget {
public:
    explicit FrameWindow(std::function<void()> closeRequested) : closeRequested_(std::move(closeRequested)) {}

    void dispose()
    {
        disposing_ = true;
        close();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (disposing_) {
            event->accept();
            return;
        }
        event->ignore();
        closeRequested_();
    }

private:
    std::function<void()> closeRequested_;
    bool disposing_ = false;
};

}

Frame::Frame(const std::string& title) : Widget(create<FrameWindow>(std::function<void()>([this] { closeRequested(); }))), title_(title)
{
    setVisible(false);
    apply([title](QWidget* w) { w->setWindowTitle(QString::fromStdString(title)); });
}

std::string Frame::title() const
{
    return title_;
}

void Frame::add(Widget& child)
{
    int index;
    int columns;
    {
        std::lock_guard lock(mutex_);
        index = added_++;
        columns = gridColumns_;
    }
    apply([&child, index, columns](QWidget* frame) {
        QWidget* widget = child.qwidget();
        if (!widget)
            return;
        if (auto* grid = qobject_cast<QGridLayout*>(frame->layout()); grid && columns > 0)
            grid->addWidget(widget, index / columns, index % columns);
        else
            widget->setParent(frame);
        widget->setVisible(child.isVisible());
    });
}

void Frame::useGrid(int rows, int columns)
{
    {
        std::lock_guard lock(mutex_);
        gridColumns_ = columns;
    }
    apply([rows, columns](QWidget* frame) {
        auto* grid = new QGridLayout(frame);
        grid->setContentsMargins(0, 0, 0, 0);
        for (int row = 0; row < rows; ++row)
            grid->setRowStretch(row, 1);
        for (int column = 0; column < columns; ++column)
            grid->setColumnStretch(column, 1);
    });
}

void Frame::setSize(int width, int height)
{
    {
        std::lock_guard lock(mutex_);
        size_ = QSize(width, height);
    }
    apply([width, height](QWidget* w) { w->resize(width, height); });
}

QSize Frame::size() const
{
    std::lock_guard lock(mutex_);
    return size_;
}

void Frame::onCloseRequested(std::function<void()> handler, Button::Press press)
{
    std::lock_guard lock(mutex_);
    closeHandler_ = std::move(handler);
    closePress_ = press;
}

void Frame::requestClose()
{
    qwidget()->close();
}

void Frame::dispose()
{
    setVisible(false);
    apply([](QWidget* w) { static_cast<FrameWindow*>(w)->dispose(); });
}

void Frame::closeRequested()
{
    std::function<void()> handler;
    Button::Press press;
    {
        std::lock_guard lock(mutex_);
        handler = closeHandler_;
        press = closePress_;
    }
    if (!handler)
        return;
    if (press == Button::Press::AbortsSequence)
        OperatorThread::instance().postAborting(handler);
    else
        OperatorThread::instance().postPress(handler);
}

}
