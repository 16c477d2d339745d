// Window placement within the available screen area.
#include "ui/WindowPlacement.hpp"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace carvento::ui {
namespace {

// Before a window is shown its frame is unknown; window managers draw title bars of one to
// two text lines. Erring large only leaves a little room below the window.
QMargins EstimatedFrame(const QWidget& window)
{
    const int border = 4;
    const int title = std::max(window.style()->pixelMetric(QStyle::PM_TitleBarHeight),
                               window.fontMetrics().height() * 2);
    return {border, title, border, border};
}

} // namespace

QRect FitWindow(QSize wanted, QSize minimum, QMargins frame, const QRect& available)
{
    const int roomWidth = available.width() - frame.left() - frame.right();
    const int roomHeight = available.height() - frame.top() - frame.bottom();
    const int width = std::max(std::min(wanted.width(), roomWidth), minimum.width());
    const int height = std::max(std::min(wanted.height(), roomHeight), minimum.height());
    const int frameWidth = width + frame.left() + frame.right();
    const int frameHeight = height + frame.top() + frame.bottom();
    const int x = available.left() + std::max(0, (available.width() - frameWidth) / 2);
    const int y = available.top() + std::max(0, (available.height() - frameHeight) / 2);
    return {x + frame.left(), y + frame.top(), width, height};
}

QRect CascadeWindow(const QRect& placed, int index, int step, QMargins frame,
                    const QRect& available)
{
    const QRect outer = placed.marginsAdded(frame);
    const int roomX = available.right() - outer.right();
    const int roomY = available.bottom() - outer.bottom();
    const int fits = step > 0 ? std::min(roomX, roomY) / step + 1 : 1;
    const int shift = step * (index % std::max(fits, 1));
    return placed.translated(shift, shift);
}

namespace {

// Windows placed so far; the ones closed or hidden since no longer count.
std::vector<QPointer<QWidget>>& PlacedWindows()
{
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

} // namespace

void PlaceWindow(QWidget& window, const QRect& available)
{
    QMargins frame = EstimatedFrame(window);
    if (window.isVisible() && window.frameGeometry() != window.geometry()) {
        const QRect outer = window.frameGeometry();
        const QRect inner = window.geometry();
        frame = {inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    }
    const QSize minimum = window.minimumSize().expandedTo(window.minimumSizeHint());
    std::vector<QPointer<QWidget>>& before = PlacedWindows();
    std::erase_if(before, [&window](const QPointer<QWidget>& other) {
        return other.isNull() || other == &window || !other->isVisible();
    });
    const int step = std::max(frame.top(), 24);
    const QRect placed = CascadeWindow(FitWindow(window.size(), minimum, frame, available),
                                       static_cast<int>(before.size()), step, frame, available);
    before.emplace_back(&window);
    window.resize(placed.size());
    // move() places the frame's top-left corner.
    window.move(placed.left() - frame.left(), placed.top() - frame.top());
}

void PlaceWindow(QWidget& window)
{
    QScreen* screen = QApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QApplication::primaryScreen();
    if (screen)
        PlaceWindow(window, screen->availableGeometry());
}

} // namespace carvento::ui
