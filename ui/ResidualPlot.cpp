// The fit picture widget.
#include "ui/ResidualPlot.hpp"

#include "pages/frames/Messages.hpp"
#include "tables/OutputPolicy.hpp"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace carvento::ui {

ResidualPlotWidget::ResidualPlotWidget(const pages::CommonPointPage& page, QWidget* parent)
    : QWidget(parent), m_page(page)
{
    setMinimumSize(240, 180);
}

estimation::ResidualPlot ResidualPlotWidget::Layout(double width, double height) const
{
    return estimation::LayoutResidualPlot(m_page.Quality(), m_page.QualityPositions(),
                                          m_page.QualityNames(), width, height);
}

void ResidualPlotWidget::Paint(QPainter& painter, const estimation::ResidualPlot& plot)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRectF(0, 0, plot.width, plot.height), Qt::white);
    for (const estimation::PlotPoint& p : plot.points) {
        const QColor colour = p.marked ? QColor(0xc0, 0, 0) : QColor(0, 0x50, 0xa0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(p.x, p.y), 3, 3);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 1.5));
        if (p.dx != 0.0 || p.dy != 0.0)
            painter.drawLine(QPointF(p.x, p.y), QPointF(p.x + p.dx, p.y + p.dy));
        if (p.marked)
            painter.drawEllipse(QPointF(p.x, p.y), 8, 8);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(p.x + 5, p.y - 5), QString::fromStdString(p.name));
    }
    const estimation::PlotScaleBar& bar = plot.bar;
    painter.setPen(QPen(Qt::black, 2));
    if (bar.length > 0)
        painter.drawLine(QPointF(bar.x, bar.y), QPointF(bar.x + bar.length, bar.y));
    painter.drawText(QPointF(bar.x + bar.length + 6, bar.y + 4), QString::fromStdString(bar.label));
}

void ResidualPlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter, Layout(width(), height()));
}

bool ResidualPlotWidget::Report(bool written, const std::string& path) const
{
    if (!written)
        m_page.Prompter().ShowMessage({pages::FormatMessage(pages::messages::kCannotCreateFile,
                                                            path),
                                       pages::messages::kApplicationTitle,
                                       platform::MessageIcon::Error, platform::MessageButtons::Ok});
    return written;
}

bool ResidualPlotWidget::SavePng(const std::string& path) const
{
    QImage image(kSavedWidth, kSavedHeight, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        Paint(painter, Layout(kSavedWidth, kSavedHeight));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool encoded = image.save(&buffer, "PNG");
    return Report(encoded && tables::ReplaceFileContents(path, std::string_view(bytes.constData(),
                                                                                bytes.size())),
                  path);
}

bool ResidualPlotWidget::SaveSvg(const std::string& path) const
{
    return Report(tables::ReplaceFileContents(
                      path, estimation::ResidualPlotSvg(Layout(kSavedWidth, kSavedHeight))),
                  path);
}

bool ResidualPlotWidget::SaveWithDialog() const
{
    platform::FileDialog dialog;
    dialog.filters = {{"PNG 图像(*.png)", "*.png"}, {"SVG 图形(*.svg)", "*.svg"}};
    dialog.defaultExtension = "png";
    const std::optional<std::string> path = m_page.Prompter().ChooseSaveFile(dialog);
    if (!path)
        return false;
    const bool svg = path->size() >= 4 && (path->compare(path->size() - 4, 4, ".svg") == 0 ||
                                           path->compare(path->size() - 4, 4, ".SVG") == 0);
    return svg ? SaveSvg(*path) : SavePng(*path);
}

} // namespace carvento::ui
