// The window of any task page, rendered from the page's description: its fields, the table
// the worker fills, the progress label and the task commands. The worker's notices reach the
// window through its QtDispatcher; closing asks about unsaved data and ends the worker first.
#pragma once

#include "pages/frames/TaskPage.hpp"
#include "ui/PageWidgets.hpp"
#include "ui/QtDispatcher.hpp"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;

namespace carvento::ui {

class CoordinateGrid;

class TaskWindow final : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the page. The window deletes itself when closed.
    explicit TaskWindow(std::unique_ptr<pages::TaskPage> page, QWidget* parent = nullptr);
    // Ends a running worker before the page goes.
    ~TaskWindow() override;

    pages::TaskPage& Page() { return *m_page; }
    CoordinateGrid* Grid() const { return m_grid; }
    ProgressLabel* Progress() const { return m_progress; }
    QLabel* Status() const { return m_status; }
    QPushButton* Button(const QString& caption) const;
    QWidget* FieldWidget(const std::string& id) const { return m_fields->Editor(id); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowState();
    void EndTask();

    QtDispatcher m_dispatcher;
    std::unique_ptr<pages::TaskPage> m_page;
    std::unique_ptr<FieldBinder> m_fields;
    std::vector<EllipsoidBox*> m_ellipsoidBoxes;
    CoordinateGrid* m_grid = nullptr;
    ProgressLabel* m_progress = nullptr;
    QLabel* m_status = nullptr;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
