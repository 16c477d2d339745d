// Message boxes show their texts literally and answer with the button pressed.
#include "ui/QtPlatform.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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
