// The window of carvento-earth, titled "Google Earth" as the program looks for it: the render
// view (a shaded relief of the ground around the camera with the loaded KML lines and points and
// the positions sampled so far) above a status line with the camera.
#pragma once

#include "earth/simulator/SampleLayer.hpp"
#include "earth/simulator/Simulator.hpp"

#include <QImage>
#include <QWidget>

class QLabel;
class QTimer;

namespace carvento::earth::simulator {

class RenderView : public QWidget {
    Q_OBJECT
public:
    // The relief is computed on a grid of this many cells and stretched over the view.
    static constexpr int kReliefColumns = 200;
    static constexpr int kReliefRows = 150;

    RenderView(const Simulator& simulator, QWidget* parent = nullptr);
    // Recomputes the relief when the camera or the render window changed, and repaints (the
    // window throttles the calls).
    void UpdateRelief();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Adds the samples taken since the last paint to m_samples (all of them again after a
    // change of view or size).
    void DrawNewSamples(const ViewGeometry& view);

    const Simulator& m_simulator;
    QImage m_relief;
    ViewGeometry m_reliefView; // the view the relief was computed for
    QImage m_samples;          // the samples drawn so far, over a transparent ground
    SampleLayer m_sampleLayer;
};

class EarthWindow : public QWidget {
    Q_OBJECT
public:
    EarthWindow(Simulator& simulator, QWidget* parent = nullptr);

    // The simulator's state changed: redraw soon (at most a few times a second).
    void ScheduleRedraw();
    // MOVEMAIN or MOVERENDER asked for this geometry.
    void ApplyGeometry(const WindowRect& main);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Redraw();
    void ReportGeometry();

    Simulator& m_simulator;
    RenderView* m_view;
    QLabel* m_status;
    QTimer* m_redrawTimer;
};

} // namespace carvento::earth::simulator
