#pragma once

#include "ui/Font.h"
#include "ui/Gui.h"

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <mutex>

namespace ui {

// Base of the widget wrappers. The Qt widget lives on the GUI thread; the wrapper may be used
// from any thread: a change is recorded at once (so getters on any thread see it) and carried
// to the GUI thread without blocking the caller.
class Widget {
public:
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    void setBounds(int x, int y, int width, int height);
    QRect bounds() const;

    void setEnabled(bool enabled);
    bool isEnabled() const;

    void setVisible(bool visible);
    bool isVisible() const;

    void setBackground(const QColor& colour);
    QColor background() const;
    void setForeground(const QColor& colour);
    QColor foreground() const;

    void setFont(const Font& font);
    Font font() const;

    // The Qt widget; for the GUI thread only.
    QWidget* qwidget() const { return widget_; }

protected:
    // Wraps a widget that was created on the GUI thread (see create()).
    explicit Widget(QWidget* widget);

    // Creates a Qt widget on the GUI thread, from whatever thread asks.
    template <typename W, typename... Args>
    static W* create(Args... args)
    {
        W* made = nullptr;
        Gui::call([&] { made = new W(args...); });
        return made;
    }

    // Applies a change to the Qt widget on the GUI thread, unless it is gone by then.
    void apply(std::function<void(QWidget*)> change);

    mutable std::mutex mutex_;

private:
    QPointer<QWidget> widget_;
    QRect bounds_;
    bool enabled_ = true;
    bool visible_ = true;
    QColor background_;
    QColor foreground_;
    Font font_;
};

}
