// Message boxes show their texts literally and answer with the button pressed; the clipboard
// gives back what was put on it, however it was handed over.
#include "ui/QtPlatform.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>

using namespace carvento;

TEST(QtPrompter, ShowsTextsAsPlainTextAndAnswersYesNoCancel)
{
    // A release description is outside text: markup in it must not be loaded or rendered.
    const std::string text = "8.0.1 <img src=\"/dev/zero\"><b>新功能</b>";
    for (auto [button, expected] :
         {std::pair{QMessageBox::Yes, platform::MessageAnswer::Yes},
          std::pair{QMessageBox::No, platform::MessageAnswer::No},
          std::pair{QMessageBox::Cancel, platform::MessageAnswer::Cancel}}) {
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, [&, button = button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(nullptr, box);
            format = box->textFormat();
            shown = box->text();
            box->button(button)->click();
        });
        ui::QtPrompter prompter;
        platform::MessageAnswer answer =
            prompter.ShowMessage({text, "Carvento", platform::MessageIcon::Question,
                                  platform::MessageButtons::YesNoCancel});
        EXPECT_EQ(expected, answer);
        EXPECT_EQ(Qt::PlainText, format);
        EXPECT_EQ(QString::fromStdString(text), shown);
    }
}

TEST(QtClipboard, TextTakenAsUtf8ReadsBackAsTextAndAsBytes)
{
    // 复制 hands its text over without a copy and the clipboard converts it only when asked:
    // whichever way a program pastes (text, the bytes of text/plain, or through the seam), it
    // must get every character, CR LF and TAB included.
    const std::string text = "控制点一号\t3376320.4035\t38500000.0000\r\nKöln 😀\t1\t2\r\n";
    ui::QtClipboard clipboard;
    ASSERT_TRUE(clipboard.TakeText(std::string(text)));
    QClipboard* system = QApplication::clipboard();
    EXPECT_EQ(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), system->text());
    const QMimeData* data = system->mimeData();
    ASSERT_NE(nullptr, data);
    EXPECT_TRUE(data->hasText());
    EXPECT_EQ(QByteArray::fromStdString(text), data->data(QStringLiteral("text/plain")));
    EXPECT_EQ(text, clipboard.GetText());

    // Put as before, the text replaces it.
    ASSERT_TRUE(clipboard.PutText("P1\t1\t2\r\n"));
    EXPECT_EQ(std::optional<std::string>("P1\t1\t2\r\n"), clipboard.GetText());
}
