// How the three dialogs look: nothing outside the client area, no text cut off, Korean
// glyphs drawn. VORNAK_SHOT_DIR=<folder> also saves each picture there.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QRawFont>
#include <QTest>

#include "app/AboutDlg.h"
#include "app/CommSettingsDlg.h"
#include "app/WriteValueDlg.h"
#include "tests/app/DialogLayoutCheck.h"

namespace {

// Korean text needs a font that has the glyphs; otherwise it shows as boxes.
bool HasHangul(const QWidget* w) {
    const QRawFont raw = QRawFont::fromFont(w->font());
    return raw.isValid() && raw.supportsCharacter(QChar(u'통')) &&
           raw.supportsCharacter(QChar(u'확'));
}

void CheckLook(QWidget* dlg, const QString& name) {
    SCOPED_TRACE(name.toStdString());
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
    EXPECT_TRUE(HasHangul(dlg)) << QFontInfo(dlg->font()).family().toStdString();
    EXPECT_EQ(ClippedTexts(dlg), QStringList());
    SaveDialogShot(dlg, name);
    dlg->hide();
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

TEST(DialogLook, AboutBox) {
    CAboutDlg dlg;
    CheckLook(&dlg, QStringLiteral("about"));
}

TEST(DialogLook, WriteValue) {
    CWriteValueDlg dlg;
    dlg.m_wAddress = 40;
    dlg.m_wValue = 0xABCD;
    CheckLook(&dlg, QStringLiteral("write"));
}

TEST(DialogLook, CommSettings) {
    CCommSettingsDlg dlg;
    dlg.m_nPortIndex = 15;
    dlg.m_nBaudIndex = 7;
    dlg.m_nParityIndex = 1;
    dlg.m_nFlowControl = 7;
    dlg.m_nMode = 1;
    dlg.m_nTimeout = 1000;
    dlg.m_nCharInterval = 100;
    dlg.m_nScanTime = 1000;
    CheckLook(&dlg, QStringLiteral("settings"));
}

}  // namespace
