#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "framework/MessageBoxRecorder.h"
#include "framework/PushButtonStyle.h"
#include "framework/SharedStyle.h"

TEST(MessageBox, HookSeesTextIconAndDetail) {
    CMessageBoxRecorder boxes(IDCANCEL);
    EXPECT_EQ(AfxMessageBox(QStringLiteral("통신 포트를 여는데 실패했읍니다."),
                            MessageIcon::Information, OsErrorDetail(ENOENT, "/dev/ttyS0")),
              IDCANCEL);
    EXPECT_EQ(AfxMessageBox(QStringLiteral("쓰고자하는 데이타를 입력하십시요."), MessageIcon::Stop),
              IDCANCEL);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    const MessageBoxRecord& first = boxes.Boxes()[0];
    EXPECT_EQ(first.text.toStdString(), "통신 포트를 여는데 실패했읍니다.");
    EXPECT_EQ(first.caption, QStringLiteral("Vornak"));
    EXPECT_EQ(first.icon, MessageIcon::Information);
    EXPECT_TRUE(first.detail.startsWith(QStringLiteral("/dev/ttyS0: ")));
    EXPECT_TRUE(first.detail.contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
    EXPECT_TRUE(first.detail.contains(QStringLiteral("errno %1").arg(ENOENT)));
    EXPECT_EQ(boxes.Boxes()[1].icon, MessageIcon::Stop);
    EXPECT_TRUE(boxes.Boxes()[1].detail.isEmpty());
    EXPECT_FALSE(OsErrorDetail(EACCES).contains(QStringLiteral(": /")));
}

TEST(MessageBox, RecordersNestAndRestore) {
    CMessageBoxRecorder outer;
    {
        CMessageBoxRecorder inner;
        AfxMessageBox(QStringLiteral("inner"));
        EXPECT_EQ(inner.Boxes().size(), 1u);
    }
    AfxMessageBox(QStringLiteral("outer"));
    ASSERT_EQ(outer.Boxes().size(), 1u);
    EXPECT_EQ(outer.Boxes()[0].text, QStringLiteral("outer"));
}

TEST(MessageBox, RealBoxShowsIconCaptionAndDetailedText) {
    struct Seen {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title, text, detail;
        bool found = false;
        bool cues = false;
    } seen;
    // The box is modal: a timer looks at it and closes it.
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        // OK draws the push buttons' keyboard cues, and shows as the default button.
        const auto* ok = qobject_cast<QPushButton*>(box->button(QMessageBox::Ok));
        seen = {box->icon(),
                box->windowTitle(),
                box->text(),
                box->detailedText(),
                true,
                ok != nullptr && ok->style() == SharedStyle<CPushButtonStyle>() &&
                    CPushButtonStyle::ShowsAsDefault(*ok)};
        box->accept();
    });
    timer.start();
    EXPECT_EQ(AfxMessageBox(QStringLiteral("4 이하의 문자를 입력하십시오."),
                            MessageIcon::Exclamation, QStringLiteral("why")),
              IDOK);
    timer.stop();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.title, QStringLiteral("Vornak"));
    EXPECT_EQ(seen.text.toStdString(), "4 이하의 문자를 입력하십시오.");
    EXPECT_EQ(seen.detail, QStringLiteral("why"));
    EXPECT_TRUE(seen.cues);
}
