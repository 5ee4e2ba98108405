#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/MessageBoxRecorder.h"
#include "framework/QtTranslation.h"
#include "framework/TemplateBuilder.h"

namespace {

const QString kBlankMessage = QStringLiteral("쓰고자하는 데이타를 입력하십시요.");

// The dialog for one register, open (not yet confirmed) and active.
class WriteValueDlgTest : public ::testing::Test {
protected:
    void Open(std::uint16_t address, std::uint16_t value, std::uint8_t coil = 0) {
        dlg.m_bCoil = coil;
        dlg.m_wAddress = address;
        dlg.m_wValue = value;
        dlg.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    QLineEdit* Edit(int id) { return FindControl<QLineEdit>(&dlg, id); }
    QPushButton* Button(int id) { return FindControl<QPushButton>(&dlg, id); }
    void Type(const QString& text) {
        QLineEdit* edit = Edit(IDC_WRITE_VALUE);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    void ClickOk() { QTest::mouseClick(Button(IDOK), Qt::LeftButton); }

    CMessageBoxRecorder boxes;
    CWriteValueDlg dlg;
};

TEST_F(WriteValueDlgTest, OpensWithFunctionAddressAndValueAndOkGivesTheValueBack) {
    Open(40, 255);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("데이타 쓰기"));
    EXPECT_EQ(dlg.size(), TemplateClientSize(WriteValueTemplate()));
    EXPECT_EQ(Edit(IDC_WRITE_FUNCTION)->text(), QStringLiteral("Preset Single Register"));
    EXPECT_EQ(Edit(IDC_WRITE_ADDRESS)->text(), QStringLiteral("0x0028"));
    EXPECT_EQ(Edit(IDC_WRITE_VALUE)->text(), QStringLiteral("0xff"));
    EXPECT_TRUE(Edit(IDC_WRITE_FUNCTION)->isReadOnly());
    EXPECT_TRUE(Edit(IDC_WRITE_ADDRESS)->isReadOnly());
    EXPECT_FALSE(Edit(IDC_WRITE_VALUE)->isReadOnly());
    EXPECT_EQ(dlg.m_strFunction, QStringLiteral("Preset Single Register"));
    EXPECT_EQ(dlg.m_strAddress, QStringLiteral("0x0028"));
    EXPECT_EQ(dlg.m_strValue, QStringLiteral("0xff"));

    ClickOk();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_EQ(dlg.m_wValue, 255);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WriteValueDlgTest, CoilIsNamedAndZeroShowsShort) {
    Open(0xBEEF, 0, 1);
    EXPECT_EQ(Edit(IDC_WRITE_FUNCTION)->text(), QStringLiteral("Preset Single Coil"));
    EXPECT_EQ(Edit(IDC_WRITE_ADDRESS)->text(), QStringLiteral("0xbeef"));
    EXPECT_EQ(Edit(IDC_WRITE_VALUE)->text(), QStringLiteral("0x0"));
}

TEST_F(WriteValueDlgTest, OkHasTheFocusAndIsFirstInTabOrder) {
    Open(1, 2);
    EXPECT_EQ(QApplication::focusWidget(), Button(IDOK));
    // The first control that takes the keyboard's focus after the dialog itself.
    QWidget* first = dlg.nextInFocusChain();
    while (first != &dlg && first->focusPolicy() == Qt::NoFocus) {
        first = first->nextInFocusChain();
    }
    EXPECT_EQ(first, Button(IDOK));
    // The space bar on the focused button confirms.
    QTest::keyClick(Button(IDOK), Qt::Key_Space);
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_FALSE(dlg.isVisible());
}

struct ValueCase {
    const char* text;
    std::uint16_t value;
};

TEST_F(WriteValueDlgTest, TypedValuesParseAsHexOrDecimalAndKeepTheLow16Bits) {
    const ValueCase cases[] = {
        {"0x1A", 26},
        {"0X1a", 26},
        {"1AH", 26},
        {"1ah", 26},
        {"26", 26},
        {"1A", 1},
        {"FF", 0},
        {"  123  ", 123},
        {"70000", 4464},
        {"-1", 65535},
        {"99999999999", 65535},
        {"0x10000", 0},
        {"12abc", 12},
        {"ffffH", 65535},
        {"\t7\t", 7},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.text);
        CWriteValueDlg one;
        one.m_wAddress = 3;
        one.m_wValue = 0x4321;
        one.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&one));
        auto* edit = FindControl<QLineEdit>(&one, IDC_WRITE_VALUE);
        edit->setText(QString::fromUtf8(c.text));
        QTest::mouseClick(FindControl<QPushButton>(&one, IDOK), Qt::LeftButton);
        EXPECT_EQ(one.result(), IDOK);
        EXPECT_FALSE(one.isVisible());
        EXPECT_EQ(one.m_wValue, c.value);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(WriteValueDlgTest, TypingThroughTheKeyboardReachesTheValue) {
    Open(5, 9);
    Type(QStringLiteral("0x7fff"));
    ClickOk();
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_EQ(dlg.m_wValue, 0x7FFF);
}

TEST_F(WriteValueDlgTest, BlankValueIsRefusedWithTheStopIconAndTheDialogStays) {
    Open(40, 255);
    for (const char* blank : {"", "   ", " \t "}) {
        SCOPED_TRACE(blank);
        boxes.Clear();
        Edit(IDC_WRITE_VALUE)->setText(QString::fromUtf8(blank));
        ClickOk();
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, kBlankMessage);
        EXPECT_EQ(boxes.Boxes()[0].icon, MessageIcon::Stop);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(dlg.m_wValue, 255);
    }
    // A value after the refusal still confirms.
    Type(QStringLiteral("12"));
    ClickOk();
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_EQ(dlg.m_wValue, 12);
}

TEST_F(WriteValueDlgTest, EnterDoesNothingAnywhere) {
    Open(40, 255);
    QSignalSpy okClicks(Button(IDOK), &QPushButton::clicked);
    Type(QStringLiteral("77"));
    const QList<QWidget*> targets = {Edit(IDC_WRITE_VALUE),    Edit(IDC_WRITE_ADDRESS),
                                     Edit(IDC_WRITE_FUNCTION), Button(IDOK),
                                     Button(IDCANCEL),         &dlg};
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->objectName().toStdString());
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QTest::keyClick(target, Qt::Key_Return, Qt::ControlModifier);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), 0);
    }
    EXPECT_EQ(okClicks.count(), 0);
    EXPECT_EQ(dlg.m_wValue, 255);
    EXPECT_EQ(Edit(IDC_WRITE_VALUE)->text(), QStringLiteral("77"));
    EXPECT_TRUE(boxes.Boxes().empty());
}

// The box the dialog shows keeps its Enter: Enter and keypad Enter close it, and the dialog
// stays. Its button reads "확인", text only.
TEST_F(WriteValueDlgTest, EnterClosesTheEmptyValueBox) {
    const MessageBoxHook recorder = SetMessageBoxHook({});
    InstallQtKoreanTranslation();
    Open(40, 255);
    Edit(IDC_WRITE_VALUE)->clear();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QString shown;
        QTimer::singleShot(100, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QAbstractButton* ok = box ? box->button(QMessageBox::Ok) : nullptr;
            shown = ok ? ok->text() + (ok->icon().isNull() ? "" : " and an icon") : "no box";
            if (ok != nullptr)
                QTest::keyClick(ok, key,
                                key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            if (box && box->isVisible() && box->close())
                shown += " left open by Enter";
        });
        ClickOk();
        EXPECT_EQ(shown, QStringLiteral("확인")) << key;
        EXPECT_TRUE(dlg.isVisible());
    }
    SetMessageBoxHook(recorder);
}

TEST_F(WriteValueDlgTest, EscapeAndCancelLeaveTheValue) {
    Open(40, 255);
    Type(QStringLiteral("1"));
    QTest::keyClick(Edit(IDC_WRITE_VALUE), Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), IDCANCEL);
    EXPECT_EQ(dlg.m_wValue, 255);

    CWriteValueDlg other;
    other.m_wValue = 8;
    other.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    FindControl<QLineEdit>(&other, IDC_WRITE_VALUE)->setText(QStringLiteral("9"));
    QTest::mouseClick(FindControl<QPushButton>(&other, IDCANCEL), Qt::LeftButton);
    EXPECT_EQ(other.result(), IDCANCEL);
    EXPECT_EQ(other.m_wValue, 8);
}

TEST_F(WriteValueDlgTest, ModalRunReturnsIdokOrIdcancel) {
    dlg.m_wValue = 255;
    QTimer::singleShot(0, &dlg, [this] {
        Edit(IDC_WRITE_VALUE)->setText(QStringLiteral("0x20"));
        ClickOk();
    });
    EXPECT_EQ(dlg.exec(), IDOK);
    EXPECT_EQ(dlg.m_wValue, 0x20);

    CWriteValueDlg other;
    other.m_wValue = 3;
    QTimer::singleShot(0, &other, [&other] { QTest::keyClick(&other, Qt::Key_Escape); });
    EXPECT_EQ(other.exec(), IDCANCEL);
    EXPECT_EQ(other.m_wValue, 3);

    // A second run of the same dialog opens from the fields as they are now.
    other.m_bCoil = 1;
    other.m_wValue = 0x1234;
    QTimer::singleShot(0, &other, [&other] {
        EXPECT_EQ(FindControl<QLineEdit>(&other, IDC_WRITE_VALUE)->text(),
                  QStringLiteral("0x1234"));
        EXPECT_EQ(FindControl<QLineEdit>(&other, IDC_WRITE_FUNCTION)->text(),
                  QStringLiteral("Preset Single Coil"));
        QTest::mouseClick(FindControl<QPushButton>(&other, IDOK), Qt::LeftButton);
    });
    EXPECT_EQ(other.exec(), IDOK);
    EXPECT_EQ(other.m_wValue, 0x1234);
}

}  // namespace
