// The window of any table page, rendered from the page object's description: the parameter
// panel (ellipsoid panel and fields), the source table with its row buttons, 转换, and the
// result table with 导出 and 复制. It binds controls to the page and forwards clicks; the page
// does the work. 导入, 转换, 复制 and 导出 of a large table run on a worker behind a
// window-modal progress dialog with 取消, so the window keeps answering.
#pragma once

#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/ZoneHint.hpp"
#include "platform/Tasks.hpp"
#include "ui/PageWidgets.hpp"
#include "ui/QtDispatcher.hpp"

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
    // with the page's central meridian (pages/frames/ZoneHint.hpp); it sets the matching meridian.
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
    // Runs `work` on the worker while a window-modal progress dialog with 取消 shows the page's
    // progress, and waits for it in a local event loop. The page reports to this window only
    // through the dispatcher meanwhile. false when the window was closed during the work.
    bool RunInBackground(const QString& label, const std::function<void()>& work);
    void Import();
    void ImportFiles(const std::vector<std::string>& paths, bool dropped);
    // Greys the results once the source rows change after a 转换.
    void ShowResultsOutdated();
    void Convert();
    void Copy();
    void Export();
    void ShowRowCounts();
    void ShowExported(const QString& text);
    void CheckZone();
    // Shows the page's zone hint, or hides the line without one.
    void ShowZoneHint();

    // The worker and the dispatcher go after the page: the destructor ends the worker first.
    QtDispatcher m_dispatcher;
    platform::TaskRunner m_runner;
    bool m_busy = false;
    // The source table changed while a worker ran.
    bool m_zoneChanged = false;
    std::unique_ptr<pages::ConversionPage> m_page;
    geodesy::EllipsoidPanel* m_ellipsoid = nullptr;
    CoordinateGrid* m_sourceGrid = nullptr;
    CoordinateGrid* m_resultGrid = nullptr;
    EllipsoidBox* m_ellipsoidBox = nullptr;
    std::unique_ptr<FieldBinder> m_fields;
    QLabel* m_rowCounts = nullptr;
    QLabel* m_convertStatus = nullptr;
    bool m_resultsOutdated = false;
    QLabel* m_exportStatus = nullptr;
    QLabel* m_zoneStatus = nullptr;
    QPushButton* m_zoneButton = nullptr;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
