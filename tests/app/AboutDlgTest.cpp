#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/AboutDlg.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/TemplateBuilder.h"

namespace {

QLabel* TextLabel(const QWidget* dlg) {
    for (QLabel* label : dlg->findChildren<QLabel*>()) {
        if (label->pixmap().isNull()) {
            return label;
        }
    }
    return nullptr;
}

QLabel* IconLabel(const QWidget* dlg) {
    for (QLabel* label : dlg->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            return label;
        }
    }
    return nullptr;
}

TEST(AboutDlg, ShowsCaptionIconTextAndButton) {
    CAboutDlg dlg;
    dlg.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Vornak 정보"));
    EXPECT_EQ(dlg.size(), TemplateClientSize(AboutTemplate()));
    EXPECT_EQ(dlg.findChildren<QLabel*>().size(), 2);

    QLabel* text = TextLabel(&dlg);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Vornak 버전 1.1"));
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_LT(text->x(), dlg.width() / 2);

    QLabel* icon = IconLabel(&dlg);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_LT(icon->geometry().right(), text->x());
    // Not a blank square: the icon has painted pixels.
    const QImage image = icon->pixmap().toImage();
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(opaque, 100);

    auto* ok = FindControl<QPushButton>(&dlg, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("확인"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 1);
    EXPECT_EQ(dlg.focusWidget(), ok);
}

TEST(AboutDlg, OkEndsTheModalRunAndEscapeToo) {
    CAboutDlg dlg;
    QTimer::singleShot(0, &dlg, [&dlg] {
        QTest::mouseClick(FindControl<QPushButton>(&dlg, IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(dlg.exec(), IDOK);
    EXPECT_FALSE(dlg.isVisible());

    CAboutDlg again;
    QTimer::singleShot(0, &again, [&again] { QTest::keyClick(&again, Qt::Key_Escape); });
    EXPECT_EQ(again.exec(), IDCANCEL);
}

}  // namespace
