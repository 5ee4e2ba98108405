#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/EditLimitValidator.h"
#include "framework/Gdi.h"
#include "framework/GroupBox.h"
#include "framework/TemplateBuilder.h"

namespace {

QRect Px(const DialogTemplate& t, int x, int y, int cx, int cy) {
    return DluToPixels(QRect(x, y, cx, cy), TemplateBaseUnits(t));
}

}  // namespace

TEST(TemplateBuilder, CommSettingsDialogHasItsControlsWhereTheTemplateSays) {
    const DialogTemplate& t = CommSettingsTemplate();
    QDialog dialog;
    const std::vector<QWidget*> made = ApplyDialogTemplate(t, &dialog);
    ASSERT_EQ(made.size(), 27u);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "통신 설정 환경");
    EXPECT_EQ(dialog.size(), Px(t, 0, 0, 289, 133).size());

    auto* timeout = FindControl<QLineEdit>(&dialog, IDC_TIMEOUT);
    ASSERT_NE(timeout, nullptr);
    EXPECT_EQ(timeout->geometry(), Px(t, 134, 76, 40, 14));
    EXPECT_EQ(FindControl(&dialog, IDC_SCAN_TIME)->geometry(), Px(t, 236, 91, 40, 14));
    EXPECT_EQ(FindControl(&dialog, IDOK)->geometry(), Px(t, 181, 112, 50, 14));

    // A drop-down list keeps its position and width; the template's height is the open list.
    auto* port = FindControl<QComboBox>(&dialog, IDC_PORT);
    ASSERT_NE(port, nullptr);
    const QRect portPx = Px(t, 58, 19, 48, 52);
    EXPECT_EQ(port->geometry().topLeft(), portPx.topLeft());
    EXPECT_EQ(port->width(), portPx.width());
    EXPECT_LT(port->height(), portPx.height());
    EXPECT_EQ(port->property(kDroppedHeightProperty).toInt(), portPx.height());
    ASSERT_EQ(port->count(), 16);
    EXPECT_EQ(port->itemText(0), QStringLiteral("COM1"));
    EXPECT_EQ(port->itemText(15), QStringLiteral("COM16"));
    EXPECT_EQ(port->currentIndex(), -1);
    auto* baud = FindControl<QComboBox>(&dialog, IDC_BAUD_RATE);
    ASSERT_NE(baud, nullptr);
    QStringList rates;
    for (int i = 0; i < baud->count(); ++i) {
        rates << baud->itemText(i);
    }
    EXPECT_EQ(rates.join(' ').toStdString(), "1200 2400 4800 9600 19200 38400 57600 115200");
    EXPECT_EQ(FindControl<QComboBox>(&dialog, IDC_PARITY)->itemText(2), QStringLiteral("Odd"));

    EXPECT_EQ(FindControl<QPushButton>(&dialog, IDOK)->text().toStdString(), "확인");
    EXPECT_TRUE(FindControl<QPushButton>(&dialog, IDOK)->isDefault());
    EXPECT_FALSE(FindControl<QPushButton>(&dialog, IDCANCEL)->isDefault());
    EXPECT_EQ(FindControl<QCheckBox>(&dialog, IDC_XON_XOFF)->text(), QStringLiteral("XON/XOFF"));

    // Digits only, no cap until data exchange gives one.
    CEditLimitValidator* v = EditLimitValidatorOf(timeout);
    EXPECT_TRUE(v->DigitsOnly());
    QString text = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(v->validate(text, pos), QValidator::Invalid);
    text = QStringLiteral("123456");
    EXPECT_EQ(v->validate(text, pos), QValidator::Acceptable);

    // Labels: vertically centred; the trailing blank of "Flow Control " kept.
    bool foundFlow = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
        if (label->text() == QStringLiteral("Flow Control ")) {
            foundFlow = true;
            EXPECT_EQ(label->geometry(), Px(t, 13, 50, 44, 12));
        }
    }
    EXPECT_TRUE(foundFlow);
    EXPECT_EQ(dialog.findChildren<QGroupBox*>().size(), 3);
}

TEST(TemplateBuilder, GroupBoxesStayBehindAndLookAsThePlatformDrawsThem) {
    const DialogTemplate& t = CommSettingsTemplate();
    QDialog dialog;
    ApplyDialogTemplate(t, &dialog);

    // Clicks inside a group box reach the controls it frames.
    auto* rtu = FindControl<QRadioButton>(&dialog, IDC_MODE_RTU);
    EXPECT_EQ(dialog.childAt(rtu->geometry().center()), rtu);
    auto* port = FindControl(&dialog, IDC_PORT);
    EXPECT_EQ(dialog.childAt(port->geometry().center()), port);

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(ControlId(QApplication::focusWidget()), IDC_PORT);

    // "전송 모드" at its template rectangle: an etched frame whose top line runs through the
    // title's middle, broken by the title 7 pixels in.
    CSysColorPaletteScope classic(ClassicSysColorPalette());
    CGroupBox* box = dialog.findChildren<CGroupBox*>().first();  // lowered last, so first
    ASSERT_EQ(box->title(), QString::fromUtf8("전송 모드"));
    EXPECT_EQ(box->geometry(), Px(t, 13, 79, 69, 28));
    box->setPalette(ClassicSysColorPalette());
    const QImage img = box->grab().toImage();
    const int top = box->fontMetrics().height() / 2 - 1;
    const int end = CGroupBox::kTitleIndent + box->fontMetrics().horizontalAdvance(box->title());
    const auto grey = [&](int x, int y) { return qGray(img.pixel(x, y)); };
    const int w = img.width() - 1;
    const int h = img.height() - 1;
    // Shadow then highlight on every side, the title and a pixel of face breaking the top.
    EXPECT_EQ(std::vector<int>({grey(3, top), grey(3, top + 1), grey(0, h / 2), grey(1, h / 2),
                                grey(w - 1, h / 2), grey(w, h / 2), grey(w / 2, h - 1),
                                grey(w / 2, h), grey(end, top), grey(end + 2, top)}),
              std::vector<int>({128, 255, 128, 255, 128, 255, 128, 255, 192, 128}));
    int ink = 0;  // the title itself, across the frame's line
    for (int x = CGroupBox::kTitleIndent; x < end; ++x) {
        ink += grey(x, top + 1) < 96;
    }
    EXPECT_GT(ink, 0);
}

TEST(TemplateBuilder, RadioButtonsOfOneGroupExcludeEachOther) {
    QDialog dialog;
    ApplyDialogTemplate(CommSettingsTemplate(), &dialog);
    auto* rtu = FindControl<QRadioButton>(&dialog, IDC_MODE_RTU);
    auto* ascii = FindControl<QRadioButton>(&dialog, IDC_MODE_ASCII);
    ASSERT_NE(rtu, nullptr);
    ASSERT_NE(ascii, nullptr);
    rtu->setChecked(true);
    ascii->click();
    EXPECT_TRUE(ascii->isChecked());
    EXPECT_FALSE(rtu->isChecked());
    rtu->click();
    EXPECT_TRUE(rtu->isChecked());
    EXPECT_FALSE(ascii->isChecked());
    ASSERT_NE(rtu->group(), nullptr);
    EXPECT_EQ(rtu->group(), ascii->group());
    EXPECT_EQ(rtu->group()->buttons().size(), 2);
}

TEST(TemplateBuilder, WriteValueDialogStartsAtOkWithReadOnlyEdits) {
    const DialogTemplate& t = WriteValueTemplate();
    QDialog dialog;
    ApplyDialogTemplate(t, &dialog);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "데이타 쓰기");
    EXPECT_TRUE(FindControl<QLineEdit>(&dialog, IDC_WRITE_FUNCTION)->isReadOnly());
    EXPECT_TRUE(FindControl<QLineEdit>(&dialog, IDC_WRITE_ADDRESS)->isReadOnly());
    auto* value = FindControl<QLineEdit>(&dialog, IDC_WRITE_VALUE);
    EXPECT_FALSE(value->isReadOnly());
    EXPECT_TRUE(value->hasFrame());
    EXPECT_EQ(value->validator(), nullptr);  // any characters
    EXPECT_EQ(value->geometry(), Px(t, 59, 37, 67, 14));

    // The first tab stop takes the focus when the dialog opens.
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(ControlId(QApplication::focusWidget()), IDOK);
}

TEST(TemplateBuilder, ScanFormCarriesLimitsListAndStatusLine) {
    const DialogTemplate& t = ScanFormTemplate();
    QWidget form;
    CreateTemplateControls(t, &form);
    auto* slave = FindControl<QLineEdit>(&form, IDC_SLAVE_ID);
    ASSERT_NE(slave, nullptr);
    EXPECT_EQ(slave->geometry(), Px(t, 35, 5, 24, 12));
    CEditLimitValidator* v = EditLimitValidatorOf(slave);
    EXPECT_EQ(v->Limit(), 3);
    QString text = QStringLiteral("1234");
    int pos = 0;
    EXPECT_EQ(v->validate(text, pos), QValidator::Invalid);
    text = QStringLiteral("255");
    EXPECT_EQ(v->validate(text, pos), QValidator::Acceptable);
    // A text set by the program is never cut to the cap.
    slave->setText(QStringLiteral("12345"));
    EXPECT_EQ(slave->text(), QStringLiteral("12345"));

    auto* function = FindControl<QComboBox>(&form, IDC_FUNCTION);
    ASSERT_NE(function, nullptr);
    ASSERT_EQ(function->count(), 2);
    EXPECT_EQ(function->itemText(0), QStringLiteral("Read Holding Registers (0x03)"));
    EXPECT_EQ(function->itemText(1), QStringLiteral("Read Input Registers [0x04]"));

    auto* list = FindControl<QTableWidget>(&form, IDC_RESPONSE_LIST);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), Px(t, 5, 73, 279, 190));
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);

    auto* status = FindControl<QLabel>(&form, IDC_STATUS_LINE);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry(), Px(t, 5, 55, 279, 14));
    EXPECT_NE(status->frameShape(), QFrame::NoFrame);
    EXPECT_TRUE(status->alignment() & Qt::AlignVCenter);
    EXPECT_EQ(FindControl<QCheckBox>(&form, IDC_TEST_MODE)->text(),
              QStringLiteral("TK3300_da_Test"));
    EXPECT_EQ(form.font().pointSize(), 9);
}

TEST(TemplateBuilder, AboutBoxShowsTheIconAndTheVersion) {
    const DialogTemplate& t = AboutTemplate();
    QDialog dialog;
    ApplyDialogTemplate(t, &dialog);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Vornak 정보");
    bool icon = false, version = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            icon = true;
            EXPECT_EQ(label->pixmap().size(), QSize(32, 32));
            EXPECT_EQ(label->pos(), Px(t, 11, 17, 20, 20).topLeft());
        }
        if (label->text() == QStringLiteral("Vornak 버전 1.1")) {
            version = true;
        }
    }
    EXPECT_TRUE(icon);
    EXPECT_TRUE(version);
    EXPECT_TRUE(FindControl<QPushButton>(&dialog, IDOK)->isDefault());
}

TEST(TemplateBuilder, FactoryChoosesTheClassAndTheTemplateStillFillsIt) {
    class CMyCombo : public QComboBox {
    public:
        using QComboBox::QComboBox;
    };
    int asked = 0;
    QDialog dialog;
    ApplyDialogTemplate(CommSettingsTemplate(), &dialog,
                        [&](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                            ++asked;
                            if (c.kind == ControlKind::DropDownList) {
                                return new CMyCombo(parent);
                            }
                            return nullptr;
                        });
    EXPECT_EQ(asked, 27);
    auto* stop = FindControl<CMyCombo>(&dialog, IDC_STOP_BITS);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->count(), 2);
    EXPECT_EQ(FindControl<CMyCombo>(&dialog, IDC_TIMEOUT), nullptr);  // an edit, not a combo
    EXPECT_NE(FindControl<QLineEdit>(&dialog, IDC_TIMEOUT), nullptr);
}

TEST(TemplateBuilder, LookupsOfMissingControlsAreNull) {
    QWidget w;
    EXPECT_EQ(FindControl(&w, 1000), nullptr);
    EXPECT_EQ(FindControl(nullptr, 1000), nullptr);
    EXPECT_EQ(ControlId(&w), IDC_STATIC);
    EXPECT_TRUE(CreateTemplateControls(CommSettingsTemplate(), nullptr).empty());
    EXPECT_EQ(FindDialogTemplate(130), &CommSettingsTemplate());
    EXPECT_EQ(FindDialogTemplate(101), &ScanFormTemplate());
    EXPECT_EQ(FindDialogTemplate(999), nullptr);
}
