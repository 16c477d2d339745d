// Widgets every page window is built from: editors bound to a page's fields, and the ellipsoid
// panel ("坐标系" with a= and b=). They hold no behaviour of their own: edits go to the page,
// and what the page changes comes back through its view.
#pragma once

#include "pages/frames/ToolPage.hpp"

#include <QWidget>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class QBoxLayout;
class QComboBox;
class QDropEvent;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace carvento::geodesy {
class EllipsoidPanel;
}

class QMenuBar;

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
    // The page's status line goes to this label (it shows the current text at once).
    void SetStatusLabel(QLabel* label);
    void StatusChanged(const std::string& text) override;

private:
    struct Bound {
        std::string id;
        QWidget* editor = nullptr;
        QWidget* label = nullptr;
    };
    Bound* Find(const std::string& id);

    pages::ToolPage& m_page;
    std::vector<Bound> m_bound;
    QLabel* m_status = nullptr;
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

// The list of a batch page's input files with 添加文件, 删除 and 清空. It only shows the list
// it is given and says what was asked; the page keeps the list.
class FileListBox final : public QWidget {
    Q_OBJECT
public:
    explicit FileListBox(const QString& title, QWidget* parent = nullptr);

    // Shows these paths, in this order (the selection is cleared).
    void SetFiles(const std::vector<std::string>& paths);
    QListWidget* List() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }
    QPushButton* ClearButton() const { return m_clear; }

signals:
    void addRequested();
    // The selected entry's index in the list; -1 without a selection.
    void removeRequested(int index);
    void clearRequested();

private:
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_clear = nullptr;
};

// A task's progress: the page's progress text and a bar from 0 to the total.
class ProgressLabel final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressLabel(QWidget* parent = nullptr);

    // `total` 0 empties the bar.
    void ShowProgress(const QString& text, int done, int total);
    QString Text() const;
    QProgressBar* Bar() const { return m_bar; }

private:
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
};

// The parameter area of a page window, from the page's description: each ellipsoid panel in a
// box titled as the panel, holding the fields whose group is that title; the other groups in
// boxes of their own; fields without a group in a plain form. Side by side, in order of
// appearance. Fields listed in `skip` and fields placed under a table are left out. The
// ellipsoid boxes made are appended to `boxes`.
QWidget* BuildFieldPanels(pages::ToolPage& page, FieldBinder& binder,
                          std::vector<EllipsoidBox*>& boxes,
                          const std::set<std::string>& skip = {});

// The forms of a panel area by group title ("" for fields without a group).
using FieldGroups = std::vector<std::pair<std::string, QFormLayout*>>;
// Adds the page's panel fields to `layout` by group, in order of appearance: a field joins
// the form of its group in `groups`, a group not there yet gets a box of its own (a plain
// form without a title). A check box carries its own label. Fields in `skip` are left out.
void AddFieldGroups(QBoxLayout& layout, pages::ToolPage& page, FieldBinder& binder,
                    FieldGroups& groups, const std::set<std::string>& skip = {});

// One button per command of the page, in order; a click runs the command, then `after` (the
// window's redraw of what the page keeps outside tables and fields). Buttons are appended to
// `buttons`.
// `before` runs ahead of every command (a grid keeps what is typed in an open cell).
QWidget* BuildCommandBar(pages::ToolPage& page, std::vector<QPushButton*>& buttons,
                         const std::function<void(const std::string& id)>& after = {},
                         const std::function<void()>& before = {});

// The page's menus as a menu bar of `window`: an entry runs its command, then `after`; the
// close entry closes the window (so its close question is asked). Null without menus.
QMenuBar* BuildPageMenus(pages::ToolPage& page, QWidget& window,
                         const std::function<void(const std::string& id)>& after = {});

// The local files a drop names, as paths.
std::vector<std::string> DroppedPaths(const QDropEvent& event);

} // namespace carvento::ui
