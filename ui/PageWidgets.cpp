// Field editors and the ellipsoid panel.
#include "ui/PageWidgets.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "platform/NumberText.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>

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

QWidget* FieldBinder::MakeEditor(const pages::PageField& field)
{
    const std::string id = field.id;
    QWidget* editor = nullptr;
    switch (field.kind) {
    case pages::FieldKind::Integer:
    case pages::FieldKind::Text:
    case pages::FieldKind::ReadOnlyText: {
        auto* edit = new QLineEdit(Q(field.text));
        if (field.kind == pages::FieldKind::Integer)
            // Digits only; an emptied field is refused when the page takes the fields.
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setReadOnly(field.kind == pages::FieldKind::ReadOnlyText);
        QObject::connect(edit, &QLineEdit::textEdited, edit,
                         [this, id](const QString& text) { m_page.EditText(id, text.toStdString()); });
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
        QObject::connect(group, &QButtonGroup::idClicked, box, [this, id](int index) { m_page.Choose(id, index); });
        editor = box;
        break;
    }
    case pages::FieldKind::Spin: {
        auto* spin = new QSpinBox;
        spin->setRange(field.minimum, field.maximum);
        spin->setValue(field.pendingIndex);
        QObject::connect(spin, &QSpinBox::valueChanged, spin, [this, id](int value) { m_page.Choose(id, value); });
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
        if (edit->text() != Q(field.text))
            edit->setText(Q(field.text));
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

EllipsoidBox::EllipsoidBox(geodesy::EllipsoidPanel& panel, QWidget* parent) : QWidget(parent), m_panel(panel)
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
    m_unapplied->setToolTip(QStringLiteral(
        "a=、b= 中的数值尚未用于计算，转换仍使用上次选择“自定义”时的数值。\n"
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
    const bool pending = m_panel.AxesEditable() && (!SameAxis(platform::ParseDouble(m_panel.AText()), used.a) ||
                                                     !SameAxis(platform::ParseDouble(m_panel.BText()), used.b));
    m_unapplied->setVisible(pending);
}

} // namespace carvento::ui
