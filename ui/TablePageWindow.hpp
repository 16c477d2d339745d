// The window of any table page, rendered from the page object's description: the parameter
// panel (ellipsoid panel and fields), the source table with its row buttons, 转换, and the
// result table with 导出 and 复制. It binds controls to the page and forwards clicks; the page
// does the work.
#pragma once

#include "pages/TablePage.hpp"

#include <QWidget>

#include <memory>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace carvento::pages {
class EllipsoidPage;
}

namespace carvento::ui {

class CoordinateGrid;

class TablePageWindow final : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the page. The window deletes itself when closed.
    explicit TablePageWindow(std::unique_ptr<pages::TablePage> page, QWidget* parent = nullptr);
    ~TablePageWindow() override;

    pages::TablePage& Page() { return *m_page; }
    CoordinateGrid* SourceGrid() const { return m_sourceGrid; }
    CoordinateGrid* ResultGrid() const { return m_resultGrid; }
    // The button with the given caption ("转换", "导入", ...), for tests.
    QPushButton* Button(const QString& caption) const;
    // The edit or drop-down of a page field, for tests.
    QWidget* FieldWidget(const std::string& id) const;
    QComboBox* EllipsoidCombo() const { return m_ellipsoidCombo; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* BuildParameterPanel();
    QWidget* BuildFieldRow(pages::FieldPlacement placement);
    QWidget* FieldEditor(pages::PageField& field);
    QPushButton* AddButton(const QString& caption, const std::function<void()>& action);
    void OnEllipsoidChosen(int index);
    void ShowAxes();
    void Convert();

    std::unique_ptr<pages::TablePage> m_page;
    pages::EllipsoidPage* m_ellipsoidPage = nullptr;
    CoordinateGrid* m_sourceGrid = nullptr;
    CoordinateGrid* m_resultGrid = nullptr;
    QComboBox* m_ellipsoidCombo = nullptr;
    QLineEdit* m_aEdit = nullptr;
    QLineEdit* m_bEdit = nullptr;
    std::vector<QPushButton*> m_buttons;
    std::vector<std::pair<std::string, QWidget*>> m_fieldWidgets;
};

} // namespace carvento::ui
