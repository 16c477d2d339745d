// The window of any table page, rendered from the page object's description: the parameter
// panel (ellipsoid panel and fields), the source table with its row buttons, 转换, and the
// result table with 导出 and 复制. It binds controls to the page and forwards clicks; the page
// does the work.
#pragma once

#include "pages/ConversionPage.hpp"
#include "pages/ZoneHint.hpp"
#include "ui/PageWidgets.hpp"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace carvento::geodesy {
class EllipsoidPanel;
}

namespace carvento::ui {

class CoordinateGrid;

class TablePageWindow final : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the page. The window deletes itself when closed.
    explicit TablePageWindow(std::unique_ptr<pages::ConversionPage> page,
                             QWidget* parent = nullptr);
    ~TablePageWindow() override;

    pages::ConversionPage& Page() { return *m_page; }
    CoordinateGrid* SourceGrid() const { return m_sourceGrid; }
    CoordinateGrid* ResultGrid() const { return m_resultGrid; }
    // The button with the given caption ("转换", "导入", ...), for tests.
    QPushButton* Button(const QString& caption) const;
    // The edit or drop-down of a page field, for tests.
    QWidget* FieldWidget(const std::string& id) const;
    QComboBox* EllipsoidCombo() const { return m_ellipsoidBox ? m_ellipsoidBox->Combo() : nullptr; }
    QLineEdit* AxisAEdit() const { return m_ellipsoidBox ? m_ellipsoidBox->AxisAEdit() : nullptr; }
    QLineEdit* AxisBEdit() const { return m_ellipsoidBox ? m_ellipsoidBox->AxisBEdit() : nullptr; }
    // Shown while the a= / b= texts differ from the axes the computation uses.
    QLabel* UnappliedAxesLabel() const
    {
        return m_ellipsoidBox ? m_ellipsoidBox->UnappliedAxesLabel() : nullptr;
    }
    // The line under the tables: rows of each table, then what the last 转换 and 导出 did.
    QString StatusText() const;
    // Shown in the status line while the source's y values carry a zone number that disagrees
    // with the page's central meridian (pages/ZoneHint.hpp); it sets the matching meridian.
    QPushButton* ZoneButton() const { return m_zoneButton; }

    // The clipboard of the grids' Ctrl+C and Ctrl+V (the desktop's unless set); the page's
    // own 复制 and 粘贴 keep the page's clipboard. Must outlive the window.
    void SetClipboard(platform::Clipboard& clipboard);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* BuildParameterPanel();
    QWidget* BuildFieldRow(pages::FieldPlacement placement);
    QWidget* FieldEditor(pages::PageField& field);
    QPushButton* AddButton(const QString& caption, const std::function<void()>& action);
    void Convert();
    void Export();
    void ShowRowCounts();
    void ShowExported(const QString& text);
    void CheckZone();

    std::unique_ptr<pages::ConversionPage> m_page;
    geodesy::EllipsoidPanel* m_ellipsoid = nullptr;
    CoordinateGrid* m_sourceGrid = nullptr;
    CoordinateGrid* m_resultGrid = nullptr;
    EllipsoidBox* m_ellipsoidBox = nullptr;
    std::unique_ptr<FieldBinder> m_fields;
    QLabel* m_rowCounts = nullptr;
    QLabel* m_convertStatus = nullptr;
    QLabel* m_exportStatus = nullptr;
    QLabel* m_zoneStatus = nullptr;
    QPushButton* m_zoneButton = nullptr;
    std::optional<pages::ZoneHint> m_zoneHint;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
