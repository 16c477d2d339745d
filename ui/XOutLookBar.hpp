// An outlook-style bar: named folders of entries, one folder open at a time; each entry shows
// its caption with its description beneath. Choosing an entry emits its id.
// Keyboard: Up and Down move through the open folder's entries, Enter (or Return) chooses the
// current one, Left and Right open the previous and next folder; Tab walks the folder headers,
// where Enter or Space opens the folder.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace carvento::ui {

struct XOutLookEntry {
    std::string caption;
    std::string description;
    int id = 0;
};

struct XOutLookFolder {
    std::string caption;
    std::vector<XOutLookEntry> entries;
};

class XOutLookBar final : public QWidget {
    Q_OBJECT
public:
    explicit XOutLookBar(QWidget* parent = nullptr);

    void AddFolder(const XOutLookFolder& folder);
    void OpenFolder(int index);
    int OpenFolderIndex() const { return m_open; }
    int FolderCount() const { return static_cast<int>(m_lists.size()); }
    QListWidget* FolderList(int index) const { return m_lists.at(static_cast<std::size_t>(index)); }

    // Chooses entry `row` of folder `folder` as a click would.
    void ChooseEntry(int folder, int row);
    // Gives the open folder's list the keyboard focus, its first entry current when none is.
    void FocusOpenFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void entryChosen(int id);

private:
    std::vector<QPushButton*> m_headers;
    std::vector<QListWidget*> m_lists;
    int m_open = -1;
};

} // namespace carvento::ui
