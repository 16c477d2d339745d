// Generic window of a form page: the page's fields, and its commands as buttons beside 取消.
// A command that succeeds closes the window (添加 of the map frame generates and is done).
#pragma once

#include "pages/frames/ToolPage.hpp"
#include "ui/PageWidgets.hpp"

#include <QDialog>

#include <memory>
#include <vector>

class QPushButton;

namespace carvento::ui {

class FormWindow final : public QDialog {
    Q_OBJECT
public:
    // Deletes itself when closed.
    explicit FormWindow(std::unique_ptr<pages::ToolPage> page, QWidget* parent = nullptr);

    pages::ToolPage& Page() { return *m_page; }
    const std::vector<QPushButton*>& CommandButtons() const { return m_buttons; }

private:
    std::unique_ptr<pages::ToolPage> m_page;
    std::unique_ptr<FieldBinder> m_fields;
    std::vector<EllipsoidBox*> m_ellipsoidBoxes;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
