// The window of any batch-file page, rendered from the page's description: the input format
// note, the file list with 添加文件 / 删除 / 清空, the page's options and the multi-file mode,
// and 转换 and 关闭. Dropped files go to the page, which keeps those of its suffixes.
#pragma once

#include "pages/frames/BatchFilePage.hpp"
#include "ui/PageWidgets.hpp"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;

namespace carvento::ui {

class BatchFileWindow final : public QWidget {
    Q_OBJECT
public:
    // Takes ownership of the page. The window deletes itself when closed.
    explicit BatchFileWindow(std::unique_ptr<pages::BatchFilePage> page, QWidget* parent = nullptr);
    ~BatchFileWindow() override;

    pages::BatchFilePage& Page() { return *m_page; }
    FileListBox* FileList() const { return m_files; }
    QPushButton* Button(const QString& caption) const;
    QWidget* FieldWidget(const std::string& id) const { return m_fields->Editor(id); }
    // The line under the list: what the last 转换 did.
    QString StatusText() const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowFiles();

    std::unique_ptr<pages::BatchFilePage> m_page;
    std::unique_ptr<FieldBinder> m_fields;
    std::vector<EllipsoidBox*> m_ellipsoidBoxes;
    FileListBox* m_files = nullptr;
    QLabel* m_status = nullptr;
    std::vector<QPushButton*> m_buttons;
};

} // namespace carvento::ui
