// How the windows look: nothing outside the client area, no text of a template or a status
// pane cut off at its longest, Korean glyphs drawn, read-only edits on the button face.
// VORNAK_SHOT_DIR=<folder> also saves each picture there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QTest>

#include "app/AboutDlg.h"
#include "app/CommSettingsDlg.h"
#include "app/MainFrame.h"
#include "app/VornakApp.h"
#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "scan/ResponseListCtrl.h"
#include "scan/VornakView.h"
#include "tests/app/DialogLayoutCheck.h"
#include "tests/support/TempConfigHome.h"
#include "tests/support/WindowGrab.h"

namespace {

// Korean text needs a font that has the glyphs; otherwise it shows as boxes.
bool HasHangul(const QWidget* w) {
    const QRawFont raw = QRawFont::fromFont(w->font());
    return raw.isValid() && raw.supportsCharacter(QChar(u'통')) &&
           raw.supportsCharacter(QChar(u'확'));
}

void CheckLook(QWidget* dlg, const QString& name) {
    SCOPED_TRACE(name.toStdString());
    dlg->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg->window()));
    EXPECT_TRUE(HasHangul(dlg)) << QFontInfo(dlg->font()).family().toStdString();
    EXPECT_EQ(ClippedTexts(dlg).join(QLatin1Char('\n')).toStdString(), "");
    SaveDialogShot(dlg->window(), name);
}

TEST(DialogLook, CheckerSeesCutTextsAndStrayControls) {
    QWidget form;
    form.resize(200, 60);
    auto* narrow = new QLabel(QStringLiteral("Char Interval(ms)"), &form);
    narrow->setObjectName(QStringLiteral("narrow"));
    narrow->setGeometry(0, 0, 20, 20);
    auto* stray = new QLabel(QStringLiteral("x"), &form);
    stray->setObjectName(QStringLiteral("stray"));
    stray->setGeometry(190, 50, 30, 30);
    form.show();
    const QStringList faults = ClippedTexts(&form);
    ASSERT_EQ(faults.size(), 2) << faults.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(faults[0].startsWith(QStringLiteral("narrow: ")));
    EXPECT_EQ(faults[1], QStringLiteral("stray lies outside the dialog"));
}

// The inside of an edit, right of its text, as the window painted it.
QColor Inside(QWidget* window, int id) {
    auto* edit = FindControl<QLineEdit>(window, id);
    return GrabPainted(*edit).pixelColor(edit->width() - 5, edit->height() / 2);
}

// Tab from the first stop on visits every stop in order and comes back to the first.
void ExpectTabWalk(QWidget* window, std::vector<int> stops) {
    window->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->window()));
    FindControl<QWidget>(window, stops.front())->setFocus();
    stops.push_back(stops.front());
    std::vector<int> visited;
    while (visited.size() < stops.size()) {
        visited.push_back(ControlId(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, stops);
}

// Every template and every pane with its longest texts; then, on the same windows, the
// read-only edits and the tab order.
TEST(DialogLook, WindowsShowAsThePlatformDoes) {
    CTempConfigHome home;
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    for (auto [id, text] : {std::pair{IDC_SLAVE_ID, "255"},
                            {IDC_ADDR_HEX, "0xFFFF"},
                            {IDC_ADDR_DEC, "105536"},
                            {IDC_QUANTITY, "2000"}}) {
        FindControl<QLineEdit>(app.View(), id)->setText(QString::fromLatin1(text));
    }
    CAboutDlg about;
    CWriteValueDlg write;
    write.m_wAddress = write.m_wValue = 0xFFFF;
    CCommSettingsDlg settings;
    settings.m_nMode = 0;
    settings.m_nTimeout = settings.m_nScanTime = 10000;
    settings.m_nCharInterval = 1000;
    for (auto [window, name] : {std::pair<QWidget*, const char*>{&about, "about"},
                                {app.View(), "form"},
                                {&settings, "settings"},
                                {&write, "write"}}) {
        CheckLook(window, QString::fromLatin1(name));
    }
    for (auto [id, text] : {std::pair{ID_INDICATOR_PORT, "COM16"},
                            {ID_INDICATOR_BAUD, "BPS : 115200"},
                            {ID_INDICATOR_MODE, "Mode : ASCII"},
                            {ID_INDICATOR_SCAN_TIME, "Scan Time : 10000ms"}}) {
        app.MainFrame()->SetStatusPane(id, QString::fromLatin1(text), false);
    }
    EXPECT_EQ(ClippedPaneTexts(*app.MainFrame()->StatusBar()).join(QLatin1Char('\n')).toStdString(),
              "");

    const QColor face = write.palette().color(QPalette::Button);
    ASSERT_NE(face, write.palette().color(QPalette::Base));
    EXPECT_EQ(Inside(&write, IDC_WRITE_FUNCTION), face);
    EXPECT_EQ(Inside(&write, IDC_WRITE_ADDRESS), face);
    EXPECT_NE(Inside(&write, IDC_WRITE_VALUE), face);
    EXPECT_EQ(Inside(&settings, IDC_CHAR_INTERVAL), face);  // RTU

    // Neither the mode buttons nor the lines of the value list are tab stops.
    ExpectTabWalk(&settings, {IDC_PORT, IDC_BAUD_RATE, IDC_STOP_BITS, IDC_PARITY, IDC_DATA_SIZE,
                              IDC_DTR_DSR, IDC_RTS_CTS, IDC_XON_XOFF, IDC_TIMEOUT,
                              IDC_CHAR_INTERVAL, IDC_SCAN_TIME, IDOK, IDCANCEL});
    QTest::mouseClick(FindControl<QWidget>(&settings, IDC_MODE_ASCII), Qt::LeftButton);
    EXPECT_NE(Inside(&settings, IDC_CHAR_INTERVAL), face);
    app.View()->List()->InsertItem(0, QStringLiteral("0"));
    app.View()->List()->InsertItem(1, QStringLiteral("1"));
    ExpectTabWalk(app.View(), {IDC_SLAVE_ID, IDC_FUNCTION, IDC_ADDR_HEX, IDC_ADDR_DEC, IDC_QUANTITY,
                               IDC_TEST_MODE, IDC_INC_CH1, IDC_INC_CH2, IDC_RESPONSE_LIST});
}

}  // namespace
