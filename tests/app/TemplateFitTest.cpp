// Every text of every template (forms 100, 101, 130 and 133) and of every status pane, at its
// longest, fits the rectangle it is drawn in; Korean glyphs come from the template's face.
// VORNAK_SHOT_DIR=<folder> also saves each window's picture there.
#include <gtest/gtest.h>

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
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "scan/VornakView.h"
#include "tests/app/DialogLayoutCheck.h"
#include "tests/support/TempConfigHome.h"

namespace {

// Korean text needs a font that has the glyphs; otherwise it shows as boxes.
bool HasHangul(const QWidget* w) {
    const QRawFont raw = QRawFont::fromFont(w->font());
    return raw.isValid() && raw.supportsCharacter(QChar(u'통')) &&
           raw.supportsCharacter(QChar(u'확'));
}

TEST(TemplateFit, CheckerSeesCutTextsAndStrayControls) {
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

TEST(TemplateFit, EveryTextFitsItsRectangle) {
    CTempConfigHome home;
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CVornakView* form = app.View();
    const std::pair<int, const char*> formTexts[] = {
        {IDC_SLAVE_ID, "255"},  {IDC_ADDR_HEX, "0xFFFF"}, {IDC_ADDR_DEC, "105536"},
        {IDC_QUANTITY, "2000"}, {IDC_INC_CH1, "99"},      {IDC_INC_CH2, "99"}};
    for (const auto& [id, text] : formTexts) {
        FindControl<QLineEdit>(form, id)->setText(QString::fromLatin1(text));
    }
    CAboutDlg about;
    CWriteValueDlg write;
    write.m_wAddress = 0xFFFF;
    write.m_wValue = 0xFFFF;
    CCommSettingsDlg settings;
    settings.m_nTimeout = 10000;
    settings.m_nCharInterval = 1000;
    settings.m_nScanTime = 10000;
    const std::pair<const char*, QWidget*> windows[] = {
        {"about", &about}, {"form", form}, {"settings", &settings}, {"write", &write}};
    for (const auto& [name, window] : windows) {
        SCOPED_TRACE(name);
        window->window()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window->window()));
        EXPECT_TRUE(HasHangul(window)) << QFontInfo(window->font()).family().toStdString();
        const QStringList clipped = ClippedTexts(window);
        EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
        SaveDialogShot(window->window(), QString::fromLatin1(name));
    }

    CMainFrame* frame = app.MainFrame();
    const std::pair<unsigned, const char*> panes[] = {
        {ID_INDICATOR_PORT, "COM16"},
        {ID_INDICATOR_BAUD, "BPS : 115200"},
        {ID_INDICATOR_MODE, "Mode : ASCII"},
        {ID_INDICATOR_SCAN_TIME, "Scan Time : 10000ms"}};
    for (const auto& [id, text] : panes) {
        frame->SetStatusPane(id, QString::fromLatin1(text), false);
    }
    const QStringList clipped = ClippedPaneTexts(*frame->StatusBar());
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
    SaveDialogShot(frame, QStringLiteral("main"));
}

}  // namespace
