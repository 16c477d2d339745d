// Widgets every page window is built from: editors bound to a page's fields, and the ellipsoid
// panel ("坐标系" with a= and b=). They hold no behaviour of their own: edits go to the page,
// and what the page changes comes back through its view.
#pragma once

#include "pages/ToolPage.hpp"

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;

namespace carvento::geodesy {
class EllipsoidPanel;
}

namespace carvento::ui {

// Creates the editors of a page's fields and keeps them in step with the page: it is the
// page's view while it lives.
class FieldBinder final : public pages::PageView {
public:
    explicit FieldBinder(pages::ToolPage& page);
    ~FieldBinder() override;
    FieldBinder(const FieldBinder&) = delete;
    FieldBinder& operator=(const FieldBinder&) = delete;

    // The editor of a field, by kind: an edit (digits only for Integer; read-only for
    // ReadOnlyText), a drop-down, a check box, radio buttons or a spin box.
    QWidget* MakeEditor(const pages::PageField& field);
    // The label shown with a field (hidden and disabled with it).
    void SetLabel(const std::string& id, QWidget* label);
    QWidget* Editor(const std::string& id) const;

    void FieldChanged(const pages::PageField& field) override;

private:
    struct Bound {
        std::string id;
        QWidget* editor = nullptr;
        QWidget* label = nullptr;
    };
    Bound* Find(const std::string& id);

    pages::ToolPage& m_page;
    std::vector<Bound> m_bound;
};

// "坐标系" drop-down with the a= and b= fields of one ellipsoid panel. Typed axes reach the
// computation only when "自定义" is picked again; until then a note says so.
class EllipsoidBox final : public QWidget {
    Q_OBJECT
public:
    explicit EllipsoidBox(geodesy::EllipsoidPanel& panel, QWidget* parent = nullptr);

    QComboBox* Combo() const { return m_combo; }
    QLineEdit* AxisAEdit() const { return m_aEdit; }
    QLineEdit* AxisBEdit() const { return m_bEdit; }
    QLabel* UnappliedAxesLabel() const { return m_unapplied; }

signals:
    // Another ellipsoid was chosen (the page's other fields may follow it).
    void ellipsoidChosen(int index);

private:
    void ShowAxes();
    void ShowWhetherAxesApplied();

    geodesy::EllipsoidPanel& m_panel;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_aEdit = nullptr;
    QLineEdit* m_bEdit = nullptr;
    QLabel* m_unapplied = nullptr;
};

} // namespace carvento::ui
