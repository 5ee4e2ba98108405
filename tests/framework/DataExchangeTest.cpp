#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/ControlLookup.h"
#include "framework/DataExchange.h"
#include "framework/EditLimitValidator.h"
#include "framework/MessageBoxRecorder.h"
#include "framework/TemplateBuilder.h"

TEST(DataExchange, TooLongTextFailsWithTheMessageAndSelectsTheEdit) {
    CMessageBoxRecorder boxes;
    QDialog dialog;
    ApplyDialogTemplate(CommSettingsTemplate(), &dialog);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    // Towards the edits: texts go in whole, even beyond the cap, and the cap is set.
    QString timeout = QStringLiteral("10000");
    QString interval = QStringLiteral("100");
    QString scan = QStringLiteral("1000");
    {
        CDataExchange dx(&dialog, false);
        EXPECT_TRUE(ExchangeText(dx, IDC_TIMEOUT, timeout, 4));
        EXPECT_TRUE(ExchangeText(dx, IDC_CHAR_INTERVAL, interval, 3));
        EXPECT_TRUE(ExchangeText(dx, IDC_SCAN_TIME, scan, 4));
        EXPECT_FALSE(dx.Failed());
    }
    auto* edit = FindControl<QLineEdit>(&dialog, IDC_TIMEOUT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("10000"));
    EXPECT_EQ(EditLimitValidatorOf(edit)->Limit(), 4);
    EXPECT_TRUE(boxes.Boxes().empty());

    // The keyboard cannot add a fifth character...
    edit->setFocus();
    edit->setText(QStringLiteral("123"));
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("456"));
    EXPECT_EQ(edit->text(), QStringLiteral("1234"));
    edit->setText(QStringLiteral("10000"));
    FindControl<QLineEdit>(&dialog, IDC_SCAN_TIME)->setFocus();

    // ... and the way back fails on the overlong opening text.
    QString t2, i2, s2;
    CDataExchange dx(&dialog, true);
    EXPECT_FALSE(ExchangeText(dx, IDC_TIMEOUT, t2, 4));
    EXPECT_TRUE(dx.Failed());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text.toStdString(), "4 이하의 문자를 입력하십시오.");
    EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(boxes.Boxes()[0].caption, QStringLiteral("Vornak"));
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("10000"));

    // The exchange has ended: later fields are left alone and no second box comes.
    EXPECT_FALSE(ExchangeText(dx, IDC_CHAR_INTERVAL, i2, 3));
    EXPECT_TRUE(i2.isEmpty());
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(DataExchange, TextsWithinTheirCapsComeBack) {
    CMessageBoxRecorder boxes;
    QDialog dialog;
    ApplyDialogTemplate(CommSettingsTemplate(), &dialog);
    FindControl<QLineEdit>(&dialog, IDC_TIMEOUT)->setText(QStringLiteral("9999"));
    FindControl<QLineEdit>(&dialog, IDC_CHAR_INTERVAL)->setText(QStringLiteral("1000"));
    QString timeout, interval;
    CDataExchange dx(&dialog, true);
    EXPECT_TRUE(ExchangeText(dx, IDC_TIMEOUT, timeout, 4));
    EXPECT_EQ(timeout, QStringLiteral("9999"));
    EXPECT_FALSE(ExchangeText(dx, IDC_CHAR_INTERVAL, interval, 3));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, TooLongMessage(3));
    EXPECT_EQ(TooLongMessage(3).toStdString(), "3 이하의 문자를 입력하십시오.");

    // No cap, a missing control.
    QString any;
    CDataExchange free(&dialog, true);
    EXPECT_TRUE(ExchangeText(free, IDC_CHAR_INTERVAL, any));
    EXPECT_EQ(any, QStringLiteral("1000"));
    EXPECT_FALSE(ExchangeText(free, 4242, any, 3));
    EXPECT_TRUE(free.Failed());
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}
