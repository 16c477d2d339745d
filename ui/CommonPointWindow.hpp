// The window of any common-point page, rendered from the page's description: its panels and
// fields, the common-point table with the row buttons, and the page's commands (解算…,
// 保存公共点 and any of its own). It forwards clicks and drops; the page does the work.
#pragma once

#include "pages/frames/CommonPointPage.hpp"
#include "ui/PageWidgets.hpp"

#include <QWidget>

#include <memory>
#include <vector>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace carvento::ui {

class CoordinateGrid;
class ResidualPlotWidget;

class CommonPointWindow final : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the page. The window deletes itself when closed.
    explicit CommonPointWindow(std::unique_ptr<pages::CommonPointPage> page,
                               QWidget* parent = nullptr);
    ~CommonPointWindow() override;

    pages::CommonPointPage& Page() { return *m_page; }
    CoordinateGrid* Grid() const { return m_grid; }
    // The button with this caption, for tests.
    QPushButton* Button(const QString& caption) const;
    QWidget* FieldWidget(const std::string& id) const { return m_fields->Editor(id); }
    const std::vector<EllipsoidBox*>& EllipsoidBoxes() const { return m_ellipsoidBoxes; }
    // The quality panel under the table: the page's fit quality after each solve.
    QPlainTextEdit* QualityPanel() const { return m_quality; }
    // The fit picture beside it, redrawn after each solve.
    ResidualPlotWidget* Plot() const { return m_plot; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Shows the page's quality report (after the solve button's own handler has run).
    // Greys the quality panel once the points change after a solve.
    void ShowQualityOutdated();
    void ShowQuality();
    // 用于转换, after the page's own handler: a new window of the page's transformation page,
    // filled by the page, when the page has a result to hand over.
    void OpenTransferPage();

    std::unique_ptr<pages::CommonPointPage> m_page;
    QPlainTextEdit* m_quality = nullptr;
    QGroupBox* m_qualityBox = nullptr;
    bool m_qualityOutdated = false;
    ResidualPlotWidget* m_plot = nullptr;
    std::unique_ptr<FieldBinder> m_fields;
    std::vector<EllipsoidBox*> m_ellipsoidBoxes;
    CoordinateGrid* m_grid = nullptr;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
