// Field editors and the ellipsoid panel.
#include "ui/PageWidgets.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "platform/NumberText.hpp"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace carvento::ui {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// An axis as typed against the axis in use; a typed "nan" that was applied counts as applied.
bool SameAxis(double typed, double used)
{
    return typed == used || (std::isnan(typed) && std::isnan(used));
}

} // namespace

FieldBinder::FieldBinder(pages::ToolPage& page) : m_page(page)
{
    m_page.SetView(this);
}

FieldBinder::~FieldBinder()
{
    m_page.SetView(nullptr);
}

void FieldBinder::SetStatusLabel(QLabel* label)
{
    m_status = label;
    StatusChanged(m_page.StatusText());
}

void FieldBinder::StatusChanged(const std::string& text)
{
    if (m_status)
        m_status->setText(QString::fromStdString(text));
}

QWidget* FieldBinder::MakeEditor(const pages::PageField& field)
{
    const std::string id = field.id;
    QWidget* editor = nullptr;
    switch (field.kind) {
    case pages::FieldKind::Integer:
    case pages::FieldKind::Text:
    case pages::FieldKind::ReadOnlyText: {
        auto* edit = new QLineEdit(Q(field.text));
        edit->setCursorPosition(0);
        if (field.kind == pages::FieldKind::Integer)
            // Digits only; an emptied field is refused when the page takes the fields.
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setReadOnly(field.kind == pages::FieldKind::ReadOnlyText);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [this, id](const QString& text) {
            m_page.EditText(id, text.toStdString());
        });
        editor = edit;
        break;
    }
    case pages::FieldKind::Choice: {
        auto* combo = new QComboBox;
        for (const std::string& choice : field.choices)
            combo->addItem(Q(choice));
        combo->setCurrentIndex(field.pendingIndex);
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                         [this, id](int index) { m_page.Choose(id, index); });
        editor = combo;
        break;
    }
    case pages::FieldKind::Check: {
        auto* check = new QCheckBox(Q(field.label));
        check->setChecked(field.pendingIndex != 0);
        QObject::connect(check, &QCheckBox::toggled, check,
                         [this, id](bool checked) { m_page.Choose(id, checked ? 1 : 0); });
        editor = check;
        break;
    }
    case pages::FieldKind::Radio: {
        auto* box = new QWidget;
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* group = new QButtonGroup(box);
        for (std::size_t i = 0; i < field.choices.size(); ++i) {
            auto* radio = new QRadioButton(Q(field.choices[i]));
            group->addButton(radio, static_cast<int>(i));
            layout->addWidget(radio);
            radio->setChecked(static_cast<int>(i) == field.pendingIndex);
        }
        QObject::connect(group, &QButtonGroup::idClicked, box,
                         [this, id](int index) { m_page.Choose(id, index); });
        editor = box;
        break;
    }
    case pages::FieldKind::Spin: {
        auto* spin = new QSpinBox;
        spin->setRange(field.minimum, field.maximum);
        spin->setValue(field.pendingIndex);
        QObject::connect(spin, &QSpinBox::valueChanged, spin,
                         [this, id](int value) { m_page.Choose(id, value); });
        editor = spin;
        break;
    }
    }
    editor->setObjectName(Q(id));
    m_bound.push_back({id, editor, nullptr});
    FieldChanged(field);
    return editor;
}

void FieldBinder::SetLabel(const std::string& id, QWidget* label)
{
    if (Bound* bound = Find(id)) {
        bound->label = label;
        if (const pages::PageField* field = m_page.FindField(id))
            FieldChanged(*field);
    }
}

QWidget* FieldBinder::Editor(const std::string& id) const
{
    for (const Bound& bound : m_bound)
        if (bound.id == id)
            return bound.editor;
    return nullptr;
}

FieldBinder::Bound* FieldBinder::Find(const std::string& id)
{
    for (Bound& bound : m_bound)
        if (bound.id == id)
            return &bound;
    return nullptr;
}

void FieldBinder::FieldChanged(const pages::PageField& field)
{
    Bound* bound = Find(field.id);
    if (!bound)
        return;
    QWidget* editor = bound->editor;
    QSignalBlocker block(editor);
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        if (edit->text() != Q(field.text)) {
            edit->setText(Q(field.text));
            // A number the page wrote shows from its sign and leading digits: a narrow edit
            // would otherwise show "7.3058603666" of "-17.3058603666".
            if (!edit->hasFocus())
                edit->setCursorPosition(0);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(field.pendingIndex);
    } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
        check->setChecked(field.pendingIndex != 0);
    } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->setValue(field.pendingIndex);
    } else if (field.kind == pages::FieldKind::Radio) {
        const auto radios = editor->findChildren<QRadioButton*>();
        for (int i = 0; i < radios.size(); ++i)
            radios[i]->setChecked(i == field.pendingIndex);
    }
    for (QWidget* widget : {editor, bound->label}) {
        if (!widget)
            continue;
        widget->setEnabled(field.enabled);
        // Hidden only on request: a window not yet shown must not make its fields visible.
        if (!field.visible)
            widget->hide();
        else if (widget->isHidden() && widget->parentWidget())
            widget->show();
    }
}

EllipsoidBox::EllipsoidBox(geodesy::EllipsoidPanel& panel, QWidget* parent)
    : QWidget(parent), m_panel(panel)
{
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    m_combo = new QComboBox;
    for (const std::string& entry : panel.Entries())
        m_combo->addItem(Q(entry));
    m_combo->setCurrentIndex(panel.Selection());
    m_aEdit = new QLineEdit;
    m_bEdit = new QLineEdit;
    form->addRow(Q(geodesy::kEllipsoidLabel), m_combo);
    form->addRow(Q(geodesy::kAxisALabel), m_aEdit);
    form->addRow(Q(geodesy::kAxisBLabel), m_bEdit);
    m_unapplied = new QLabel(QStringLiteral("未应用：请重新选择“自定义”"));
    m_unapplied->setStyleSheet(QStringLiteral("color: #c62828;"));
    m_unapplied->setToolTip(
        QStringLiteral("a=、b= 中的数值尚未用于计算，转换仍使用上次选择“自定义”时的数值。\n"
                       "在“坐标系”中重新选择“自定义”即可应用。"));
    QSizePolicy keepRoom = m_unapplied->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_unapplied->setSizePolicy(keepRoom);
    form->addRow(QString(), m_unapplied);
    ShowAxes();
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        m_panel.Select(index);
        ShowAxes();
        emit ellipsoidChosen(index);
    });
    connect(m_aEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_panel.SetAText(text.toStdString());
        ShowWhetherAxesApplied();
    });
    connect(m_bEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_panel.SetBText(text.toStdString());
        ShowWhetherAxesApplied();
    });
}

void EllipsoidBox::ShowAxes()
{
    m_aEdit->setText(Q(m_panel.AText()));
    m_bEdit->setText(Q(m_panel.BText()));
    m_aEdit->setEnabled(m_panel.AxesEditable());
    m_bEdit->setEnabled(m_panel.AxesEditable());
    ShowWhetherAxesApplied();
}

void EllipsoidBox::ShowWhetherAxesApplied()
{
    const geodesy::Ellipsoid& used = m_panel.AppliedEllipsoid();
    // The texts are read the way picking "自定义" reads them.
    const bool pending = m_panel.AxesEditable() &&
                         (!SameAxis(platform::ParseDouble(m_panel.AText()), used.a) ||
                          !SameAxis(platform::ParseDouble(m_panel.BText()), used.b));
    m_unapplied->setVisible(pending);
}

FileListBox::FileListBox(const QString& title, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* box = new QGroupBox(title);
    outer->addWidget(box);
    auto* layout = new QVBoxLayout(box);
    m_list = new QListWidget;
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long paths stay readable from their file name end.
    m_list->setTextElideMode(Qt::ElideLeft);
    layout->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    m_add = new QPushButton(QStringLiteral("添加文件"));
    m_remove = new QPushButton(QStringLiteral("删除"));
    m_clear = new QPushButton(QStringLiteral("清空"));
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addWidget(m_clear);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(m_add, &QPushButton::clicked, this, &FileListBox::addRequested);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        emit removeRequested(selected.isEmpty() ? -1 : m_list->row(selected.front()));
    });
    connect(m_clear, &QPushButton::clicked, this, &FileListBox::clearRequested);
}

void FileListBox::SetFiles(const std::vector<std::string>& paths)
{
    m_list->clear();
    for (const std::string& path : paths) {
        auto* item = new QListWidgetItem(Q(path));
        item->setToolTip(Q(path));
        m_list->addItem(item);
    }
}

ProgressLabel::ProgressLabel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel;
    m_label->setMinimumWidth(
        m_label->fontMetrics().horizontalAdvance(QStringLiteral("当前进度:00000/00000")));
    m_bar = new QProgressBar;
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    layout->addWidget(m_label);
    layout->addWidget(m_bar, 1);
}

void ProgressLabel::ShowProgress(const QString& text, int done, int total)
{
    m_label->setText(text);
    // A range of 0..0 makes a busy bar; an empty task shows an empty bar instead.
    m_bar->setRange(0, std::max(total, 1));
    m_bar->setValue(total > 0 ? std::clamp(done, 0, total) : 0);
}

QString ProgressLabel::Text() const
{
    return m_label->text();
}

QWidget* BuildFieldPanels(pages::ToolPage& page, FieldBinder& binder,
                          std::vector<EllipsoidBox*>& boxes, const std::set<std::string>& skip)
{
    auto* area = new QWidget;
    auto* layout = new QHBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    FieldGroups groups;
    // The panels first, each with its own box that its fields join.
    for (const pages::PagePanel& panel : page.Panels()) {
        if (panel.kind != pages::PanelKind::Ellipsoid || !panel.ellipsoid)
            continue;
        auto* box = new QGroupBox(Q(panel.title));
        auto* inner = new QVBoxLayout(box);
        auto* ellipsoid = new EllipsoidBox(*panel.ellipsoid);
        inner->addWidget(ellipsoid);
        boxes.push_back(ellipsoid);
        auto* form = new QFormLayout;
        inner->addLayout(form);
        inner->addStretch(1);
        groups.emplace_back(panel.title, form);
        layout->addWidget(box, 2);
    }
    AddFieldGroups(*layout, page, binder, groups, skip);
    return area;
}

void AddFieldGroups(QBoxLayout& layout, pages::ToolPage& page, FieldBinder& binder,
                    FieldGroups& groups, const std::set<std::string>& skip)
{
    auto formOf = [&](const std::string& title) -> QFormLayout*& {
        for (auto& [existing, form] : groups)
            if (existing == title)
                return form;
        groups.emplace_back(title, nullptr);
        return groups.back().second;
    };
    for (pages::PageField& field : page.Fields()) {
        if (field.placement != pages::FieldPlacement::Panel || skip.count(field.id))
            continue;
        QFormLayout*& form = formOf(field.group);
        if (!form) {
            form = new QFormLayout;
            if (field.group.empty()) {
                layout.addLayout(form, 1);
            } else {
                auto* box = new QGroupBox(Q(field.group));
                box->setLayout(form);
                layout.addWidget(box, 1);
            }
        }
        QWidget* editor = binder.MakeEditor(field);
        if (field.kind == pages::FieldKind::Check || field.label.empty()) {
            // A check box carries its own label.
            form->addRow(editor);
        } else {
            auto* label = new QLabel(Q(field.label));
            form->addRow(label, editor);
            binder.SetLabel(field.id, label);
        }
    }
}

QWidget* BuildCommandBar(pages::ToolPage& page, std::vector<QPushButton*>& buttons,
                         const std::function<void(const std::string& id)>& after,
                         const std::function<void()>& before)
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const pages::PageCommand& command : page.Commands()) {
        auto* button = new QPushButton(Q(command.caption));
        button->setObjectName(Q(command.id));
        const std::string id = command.id;
        QObject::connect(button, &QPushButton::clicked, button, [&page, id, after, before] {
            if (before)
                before();
            page.RunCommand(id);
            if (after)
                after(id);
        });
        layout->addWidget(button);
        buttons.push_back(button);
    }
    layout->addStretch(1);
    return bar;
}

QMenuBar* BuildPageMenus(pages::ToolPage& page, QWidget& window,
                         const std::function<void(const std::string& id)>& after)
{
    if (page.Menus().empty())
        return nullptr;
    auto* bar = new QMenuBar(&window);
    for (const pages::PageMenu& menu : page.Menus()) {
        QMenu* shown = bar->addMenu(Q(menu.title));
        for (const pages::PageCommand& entry : menu.entries) {
            if (entry.id.empty()) {
                shown->addSeparator();
                continue;
            }
            QAction* action = shown->addAction(Q(entry.caption));
            action->setObjectName(Q(entry.id));
            const std::string id = entry.id;
            QObject::connect(action, &QAction::triggered, &window, [&page, &window, id, after] {
                if (id == pages::kCloseWindowCommand) {
                    window.close();
                    return;
                }
                page.RunCommand(id);
                if (after)
                    after(id);
            });
        }
    }
    return bar;
}

std::vector<std::string> DroppedPaths(const QDropEvent& event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event.mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

} // namespace carvento::ui
