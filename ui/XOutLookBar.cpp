// Outlook-style catalogue bar.
#include "ui/XOutLookBar.hpp"

#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace carvento::ui {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kDescriptionRole = Qt::UserRole + 1;

// Caption in the normal font, description below it in a smaller grey one.
class EntryDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        painter->save();
        bool selected = option.state & QStyle::State_Selected;
        bool hovered = option.state & QStyle::State_MouseOver;
        if (selected || hovered)
            painter->fillRect(option.rect,
                              selected ? QColor(0xd6, 0xe8, 0xfa) : QColor(0xee, 0xf4, 0xfb));
        QRect text = option.rect.adjusted(14, 4, -6, -4);
        QFont caption = option.font;
        caption.setBold(true);
        painter->setFont(caption);
        painter->setPen(QColor(0x1f, 0x3a, 0x5f));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop,
                          index.data(Qt::DisplayRole).toString());
        QFont small = option.font;
        small.setPointSizeF(option.font.pointSizeF() * 0.85);
        painter->setFont(small);
        painter->setPen(QColor(0x6b, 0x72, 0x80));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignBottom,
                          index.data(kDescriptionRole).toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), option.fontMetrics.height() * 2 + 12);
    }
};

} // namespace

XOutLookBar::XOutLookBar(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
}

void XOutLookBar::AddFolder(const XOutLookFolder& folder)
{
    auto* header = new QPushButton(QString::fromStdString(folder.caption), this);
    header->setFlat(true);
    header->setStyleSheet(QStringLiteral(
        "QPushButton { background: #e3ebf5; border: none; border-bottom: 1px solid #c5d3e6;"
        " padding: 4px 10px; text-align: left; color: #1f3a5f; font-weight: bold; }"
        "QPushButton:hover { background: #d3e1f2; }"
        "QPushButton:focus { background: #c4d7ef; }"));
    auto* list = new QListWidget(this);
    list->setItemDelegate(new EntryDelegate(list));
    list->setFrameShape(QFrame::NoFrame);
    list->setMouseTracking(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const XOutLookEntry& entry : folder.entries) {
        auto* item = new QListWidgetItem(QString::fromStdString(entry.caption), list);
        item->setData(kIdRole, entry.id);
        item->setData(kDescriptionRole, QString::fromStdString(entry.description));
        item->setToolTip(QString::fromStdString(entry.description));
    }
    const int index = static_cast<int>(m_lists.size());
    connect(header, &QPushButton::clicked, this, [this, index] { OpenFolder(index); });
    connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        emit entryChosen(item->data(kIdRole).toInt());
        item->listWidget()->clearSelection();
    });
    header->installEventFilter(this);
    list->installEventFilter(this);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addWidget(header);
    layout->addWidget(list, 1);
    m_headers.push_back(header);
    m_lists.push_back(list);
    OpenFolder(m_open < 0 ? 0 : m_open);
}

void XOutLookBar::OpenFolder(int index)
{
    if (index < 0 || index >= static_cast<int>(m_lists.size()))
        return;
    m_open = index;
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        m_lists[i]->setVisible(static_cast<int>(i) == index);
}

void XOutLookBar::FocusOpenFolder()
{
    if (m_open < 0)
        return;
    QListWidget* list = FolderList(m_open);
    // Choosing an entry clears the highlight; the current entry gets it back, so the keyboard
    // always shows where Enter goes.
    if (list->count() > 0)
        list->setCurrentRow(std::max(list->currentRow(), 0));
    list->setFocus(Qt::OtherFocusReason);
}

bool XOutLookBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    for (int i = 0; i < FolderCount(); ++i) {
        if (watched == m_headers[static_cast<std::size_t>(i)] && enter) {
            OpenFolder(i);
            FocusOpenFolder();
            return true;
        }
        if (watched != m_lists[static_cast<std::size_t>(i)])
            continue;
        QListWidget* list = m_lists[static_cast<std::size_t>(i)];
        if (enter) {
            if (QListWidgetItem* item = list->currentItem()) {
                emit entryChosen(item->data(kIdRole).toInt());
                list->clearSelection();
            }
            return true;
        }
        if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) {
            const int step = key->key() == Qt::Key_Left ? -1 : 1;
            OpenFolder((i + step + FolderCount()) % FolderCount());
            FocusOpenFolder();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void XOutLookBar::ChooseEntry(int folder, int row)
{
    QListWidget* list = FolderList(folder);
    if (QListWidgetItem* item = list->item(row))
        emit entryChosen(item->data(kIdRole).toInt());
}

} // namespace carvento::ui
