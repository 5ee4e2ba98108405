#include <gtest/gtest.h>

#include "app/resources/StringTable.h"
#include "framework/CommandIds.h"
#include "framework/ResourceStrings.h"
#include "framework/Resources.h"

namespace {

std::string S(unsigned id) {
    return LoadStringResource(id).toStdString();
}

}  // namespace

TEST(StringTable, HoldsTheProgramStrings) {
    EXPECT_EQ(S(IDS_APP_TITLE), "Vornak");
    EXPECT_EQ(S(IDS_IDLE_MESSAGE), "준비");
    EXPECT_EQ(S(ID_COMM_SETTINGS), "Vornak 프로그램의 통신 환경을 설정합니다.\n통신 환경 설정");
    EXPECT_EQ(S(ID_SCAN_START), "Polling 방식의 데이터 스캔 동작을 시작합니다.\n데이타 스캔 시작");
    EXPECT_EQ(S(ID_SCAN_STOP), "Polling 방식의 데이타 스캔 동작을 중지합니다.\n데이타 스캔 중지");
    EXPECT_EQ(S(ID_APP_EXIT), "Vornak 프로그램을 종료합니다.\n종료");
    EXPECT_EQ(S(ID_VIEW_TOOLBAR), "도구 모음을 보이거나 감춥니다\n도구 모음 전환");
    EXPECT_EQ(S(ID_VIEW_STATUS_BAR), "상태 표시줄을 표시하거나 감춥니다\n상태 표시줄 전환");
    EXPECT_EQ(S(ID_APP_ABOUT), "Vornak 프로그램, 버전 및 저작권 정보를 표시합니다\nVornak 정보");
    EXPECT_EQ(S(ID_INDICATOR_PORT), "COM1");
    EXPECT_EQ(S(ID_INDICATOR_BAUD), "BPS : 9600");
    EXPECT_EQ(S(ID_INDICATOR_MODE), "Mode : RTU");
    EXPECT_EQ(S(ID_INDICATOR_SCAN_TIME), "Scan Time : 1000ms");
    EXPECT_EQ(S(ID_INDICATOR_LAMP), "...");
    EXPECT_EQ(S(IDR_MAINFRAME), "Vornak\n\nVorna\n\n\nVornak.Document\nVorna Document");
    EXPECT_EQ(VornakStringTable().size(), 15u);
}

TEST(StringTable, MissingIdsAreReportedAsMissing) {
    EXPECT_FALSE(FindStringResource(12345).has_value());
    EXPECT_TRUE(LoadStringResource(12345).isEmpty());
    EXPECT_FALSE(FindStringResource(ID_SEPARATOR).has_value());
    ASSERT_TRUE(FindStringResource(ID_INDICATOR_LAMP).has_value());
}

TEST(StringTable, CommandStringsSplitIntoPromptAndTooltip) {
    const QString s = LoadStringResource(ID_SCAN_STOP);
    EXPECT_EQ(PromptPart(s).toStdString(), "Polling 방식의 데이타 스캔 동작을 중지합니다.");
    EXPECT_EQ(TooltipPart(s).toStdString(), "데이타 스캔 중지");
    EXPECT_EQ(PromptPart(QStringLiteral("only prompt")), QStringLiteral("only prompt"));
    EXPECT_TRUE(TooltipPart(QStringLiteral("only prompt")).isEmpty());
    EXPECT_EQ(TooltipPart(QStringLiteral("a\nb\nc")), QStringLiteral("b"));
    EXPECT_TRUE(PromptPart(QString()).isEmpty());

    const QString doc = LoadStringResource(IDR_MAINFRAME);
    EXPECT_EQ(StringField(doc, 0), QStringLiteral("Vornak"));
    EXPECT_EQ(StringField(doc, 1), QString());
    EXPECT_EQ(StringField(doc, 2), QStringLiteral("Vorna"));
    EXPECT_EQ(StringField(doc, 5), QStringLiteral("Vornak.Document"));
    EXPECT_EQ(StringField(doc, 6), QStringLiteral("Vorna Document"));
    EXPECT_EQ(StringField(doc, 7), QString());
    EXPECT_EQ(StringField(doc, -1), QString());
}

TEST(StringTable, InstallingReplacesTheTable) {
    const StringResource other[] = {{7, "seven"}, {8, nullptr}};
    InstallStringTable(other);
    EXPECT_EQ(S(7), "seven");
    EXPECT_FALSE(FindStringResource(8).has_value());
    EXPECT_FALSE(FindStringResource(IDS_APP_TITLE).has_value());
    InstallStringTable(VornakStringTable());
    EXPECT_EQ(S(IDS_APP_TITLE), "Vornak");
    EXPECT_FALSE(FindStringResource(7).has_value());
}
