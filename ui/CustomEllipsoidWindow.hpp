// The window of "自定义椭球参数设置": name and axes of a new user-defined ellipsoid.
#pragma once

#include "pages/coordinates/CustomEllipsoidPage.hpp"

#include <QDialog>

#include <memory>

class QLineEdit;

namespace carvento::ui {

class CustomEllipsoidWindow final : public QDialog {
    Q_OBJECT
public:
    // Deletes itself when closed.
    explicit CustomEllipsoidWindow(pages::PageContext context, QWidget* parent = nullptr);
    explicit CustomEllipsoidWindow(std::unique_ptr<pages::CustomEllipsoidPage> page,
                                   QWidget* parent = nullptr);

    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* AEdit() const { return m_a; }
    QLineEdit* BEdit() const { return m_b; }

    void accept() override;

private:
    std::unique_ptr<pages::CustomEllipsoidPage> m_page;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_a = nullptr;
    QLineEdit* m_b = nullptr;
};

} // namespace carvento::ui
