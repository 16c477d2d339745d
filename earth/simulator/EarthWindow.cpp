#include "earth/simulator/EarthWindow.hpp"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace carvento::earth::simulator {
namespace {

constexpr int kRedrawIntervalMs = 150;
// Slopes are steepened this much for the shading, so gentle ground still shows its form.
constexpr double kShadeExaggeration = 4.0;

// The colour of a height between the lowest and highest in view, lit by `light` (0 … 1).
QRgb Tint(double fraction, double light)
{
    // Green lowlands through ochre to pale summits.
    struct Stop {
        double at;
        int r, g, b;
    };
    static constexpr Stop stops[] = {
        {0.0, 70, 130, 70}, {0.45, 170, 170, 95}, {0.8, 150, 115, 80}, {1.0, 235, 230, 225}};
    fraction = std::clamp(fraction, 0.0, 1.0);
    std::size_t k = 1;
    while (k + 1 < std::size(stops) && fraction > stops[k].at)
        ++k;
    const Stop& a = stops[k - 1];
    const Stop& b = stops[k];
    double t = (fraction - a.at) / (b.at - a.at);
    auto channel = [&](int from, int to) {
        double value = (from + (to - from) * t) * (0.35 + 0.65 * light);
        return std::clamp(static_cast<int>(value), 0, 255);
    };
    return qRgb(channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b));
}

} // namespace

RenderView::RenderView(const Simulator& simulator, QWidget* parent)
    : QWidget(parent), m_simulator(simulator)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateRelief();
}

void RenderView::UpdateRelief()
{
    const ViewGeometry view = m_simulator.View();
    // The ground does not change: only a new view needs a new relief.
    if (!m_relief.isNull() && view == m_reliefView) {
        update();
        return;
    }
    const int columns = kReliefColumns;
    const int rows = kReliefRows;
    std::vector<double> heights(static_cast<std::size_t>(columns * rows),
                                std::numeric_limits<double>::quiet_NaN());
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    for (int row = 0; row < rows; ++row) {
        double y = 1.0 - (row + 0.5) * 2.0 / rows;
        for (int column = 0; column < columns; ++column) {
            double x = -1.0 + (column + 0.5) * 2.0 / columns;
            auto ground = ScreenToGround(view, x, y);
            if (!ground)
                continue;
            auto height = m_simulator.Elevation(ground->longitude, ground->latitude);
            if (!height || !std::isfinite(*height))
                continue;
            heights[static_cast<std::size_t>(row * columns + column)] = *height;
            lowest = std::min(lowest, *height);
            highest = std::max(highest, *height);
        }
    }

    // Cell size in metres across and down, for the slopes.
    double halfWidth = view.range * std::tan(std::numbers::pi / 6);
    double halfHeight = halfWidth * std::max(view.height, 1) / std::max(view.width, 1);
    double cellX = std::max(2.0 * halfWidth / columns, 1e-6);
    double cellY = std::max(2.0 * halfHeight / rows, 1e-6);
    // Light from the upper left of the view, 45° above the horizon.
    const double lightX = -std::sqrt(0.5) * std::sqrt(0.5);
    const double lightY = std::sqrt(0.5) * std::sqrt(0.5);
    const double lightZ = std::sqrt(0.5);

    QImage image(columns, rows, QImage::Format_RGB32);
    auto at = [&](int column, int row) {
        column = std::clamp(column, 0, columns - 1);
        row = std::clamp(row, 0, rows - 1);
        return heights[static_cast<std::size_t>(row * columns + column)];
    };
    double span = highest > lowest ? highest - lowest : 1.0;
    for (int row = 0; row < rows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int column = 0; column < columns; ++column) {
            double height = at(column, row);
            if (std::isnan(height)) {
                line[column] = qRgb(40, 48, 64); // no ground or no elevation
                continue;
            }
            auto neighbour = [&](int dc, int dr) {
                double value = at(column + dc, row + dr);
                return std::isnan(value) ? height : value;
            };
            // Slopes towards the right and towards the top of the view.
            double dzdx = kShadeExaggeration * (neighbour(1, 0) - neighbour(-1, 0)) / (2 * cellX);
            double dzdy = kShadeExaggeration * (neighbour(0, -1) - neighbour(0, 1)) / (2 * cellY);
            double length = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1);
            double light = (-dzdx * lightX - dzdy * lightY + lightZ) / length;
            line[column] = Tint((height - lowest) / span, std::clamp(light, 0.0, 1.0));
        }
    }
    m_relief = std::move(image);
    m_reliefView = view;
    update();
}

void RenderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), m_relief);
    painter.setRenderHint(QPainter::Antialiasing);

    const ViewGeometry view = m_simulator.View();
    const double w = width();
    const double h = height();
    auto toPixel = [&](const GroundPoint& point) -> std::optional<QPointF> {
        auto screen = GroundToScreen(view, point.longitude, point.latitude);
        if (!screen || std::abs(screen->x) > 50 || std::abs(screen->y) > 50)
            return std::nullopt;
        return QPointF((screen->x + 1) / 2 * w, (1 - screen->y) / 2 * h);
    };

    const KmlShapes& shapes = m_simulator.Shapes();
    painter.setPen(QPen(QColor(255, 220, 0), 2));
    for (const auto& line : shapes.lines) {
        QPainterPath path;
        bool open = false;
        for (const GroundPoint& point : line) {
            auto pixel = toPixel(point);
            if (!pixel) {
                open = false;
                continue;
            }
            if (open)
                path.lineTo(*pixel);
            else
                path.moveTo(*pixel);
            open = true;
        }
        painter.drawPath(path);
    }
    painter.setBrush(QColor(255, 80, 40));
    painter.setPen(QPen(Qt::white, 1));
    for (const GroundPoint& point : shapes.points)
        if (auto pixel = toPixel(point))
            painter.drawEllipse(*pixel, 4, 4);

    DrawNewSamples(view);
    painter.drawImage(0, 0, m_samples);

    // The focus point.
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLine(QPointF(w / 2 - 6, h / 2), QPointF(w / 2 + 6, h / 2));
    painter.drawLine(QPointF(w / 2, h / 2 - 6), QPointF(w / 2, h / 2 + 6));
}

void RenderView::DrawNewSamples(const ViewGeometry& view)
{
    const std::vector<GroundPoint>& samples = m_simulator.Samples();
    const SampleLayer::Plan plan = m_sampleLayer.Next(view, width(), height(),
                                                      m_simulator.SamplesTaken(), samples.size());
    if (plan.clear) {
        m_samples = QImage(std::max(width(), 1), std::max(height(), 1),
                           QImage::Format_ARGB32_Premultiplied);
        m_samples.fill(Qt::transparent);
    }
    if (plan.first >= samples.size())
        return;
    QPainter painter(&m_samples);
    const double w = width();
    const double h = height();
    const QColor colour(0, 200, 255);
    for (std::size_t i = plan.first; i < samples.size(); ++i) {
        auto screen = GroundToScreen(view, samples[i].longitude, samples[i].latitude);
        if (!screen)
            continue;
        const double x = (screen->x + 1) / 2 * w;
        const double y = (1 - screen->y) / 2 * h;
        if (x >= 0 && x < w && y >= 0 && y < h)
            painter.fillRect(QRectF(x - 1, y - 1, 3, 3), colour);
    }
}

EarthWindow::EarthWindow(Simulator& simulator, QWidget* parent)
    : QWidget(parent), m_simulator(simulator), m_view(new RenderView(simulator, this)),
      m_status(new QLabel(this)), m_redrawTimer(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Google Earth"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    m_status->setFixedHeight(kStatusLineHeight);
    m_status->setContentsMargins(6, 0, 6, 0);
    layout->addWidget(m_status);

    m_redrawTimer->setSingleShot(true);
    m_redrawTimer->setInterval(kRedrawIntervalMs);
    connect(m_redrawTimer, &QTimer::timeout, this, &EarthWindow::Redraw);

    const WindowRect& main = simulator.MainWindow();
    setGeometry(main.left, main.top, main.width, main.height);
    Redraw();
}

void EarthWindow::ScheduleRedraw()
{
    if (!m_redrawTimer->isActive())
        m_redrawTimer->start();
}

void EarthWindow::Redraw()
{
    const Camera& camera = m_simulator.CurrentCamera();
    m_status->setText(QStringLiteral("lat %1  lon %2  range %3 m  azimuth %4°  samples %5")
                          .arg(camera.latitude, 0, 'f', 6)
                          .arg(camera.longitude, 0, 'f', 6)
                          .arg(camera.range, 0, 'f', 0)
                          .arg(camera.azimuth, 0, 'f', 1)
                          .arg(m_simulator.Samples().size()));
    m_view->UpdateRelief();
}

void EarthWindow::ApplyGeometry(const WindowRect& main)
{
    // The simulator already holds the new geometry; the window's move and resize events bring
    // what the window manager made of it.
    setGeometry(main.left, main.top, main.width, main.height);
}

void EarthWindow::ReportGeometry()
{
    // The window manager may place or size the window otherwise than asked: its answer stands.
    m_simulator.WindowsChanged(WindowRect{geometry().x(), geometry().y(), width(), height()},
                               WindowRect{0, 0, width(),
                                          std::max(1, height() - kStatusLineHeight)});
}

void EarthWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    ReportGeometry();
}

void EarthWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ReportGeometry();
    ScheduleRedraw();
}

} // namespace carvento::earth::simulator
