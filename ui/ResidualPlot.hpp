// The fit picture of a common-point page (estimation/QualityPlot.hpp) as a widget: redrawn at
// its size after each solve, and saved as PNG or SVG through the page's save dialog.
#pragma once

#include "estimation/QualityPlot.hpp"
#include "pages/frames/CommonPointPage.hpp"

#include <QWidget>

class QPainter;

namespace carvento::ui {

class ResidualPlotWidget final : public QWidget {
    Q_OBJECT
public:
    // `page` must outlive the widget.
    explicit ResidualPlotWidget(const pages::CommonPointPage& page, QWidget* parent = nullptr);

    // The picture of the page's last solve laid out in a box of this size.
    estimation::ResidualPlot Layout(double width, double height) const;
    // Saved files have this size (pixels, or SVG user units).
    static constexpr int kSavedWidth = 900;
    static constexpr int kSavedHeight = 650;
    // Write the picture in place of the file's content; a failure is reported through the
    // page's prompter and leaves the file as it was.
    bool SavePng(const std::string& path) const;
    bool SaveSvg(const std::string& path) const;
    // The save dialog, then SavePng or SaveSvg by the chosen name's ending (.svg: SVG).
    bool SaveWithDialog() const;

    static void Paint(QPainter& painter, const estimation::ResidualPlot& plot);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool Report(bool written, const std::string& path) const;

    const pages::CommonPointPage& m_page;
};

} // namespace carvento::ui
