#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "framework/ProfileStore.h"

namespace {

// Points XDG_CONFIG_HOME at a fresh folder for the test's life.
class ScopedConfigHome {
public:
    ScopedConfigHome()
        : m_old(qgetenv("XDG_CONFIG_HOME")), m_had(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    }
    ~ScopedConfigHome() {
        if (m_had) {
            qputenv("XDG_CONFIG_HOME", m_old);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_had;
};

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

}  // namespace

TEST(ProfileStore, RoundTripInTheUsersConfigFolder) {
    ScopedConfigHome home;
    const QString expected = home.Path() + QStringLiteral("/Quorvix/Vornak.ini");
    {
        CProfileStore store;
        EXPECT_EQ(store.FileName(), expected);
        EXPECT_EQ(store.GetProfileInt(QStringLiteral("Main Env"), QStringLiteral("byPort"), 7), 7);
        EXPECT_TRUE(store.WriteProfileInt(QStringLiteral("Main Env"), QStringLiteral("byPort"), 2));
        EXPECT_TRUE(store.WriteProfileInt(QStringLiteral("Main Env"), QStringLiteral("dwTimeout"),
                                          2147483647));
        EXPECT_TRUE(
            store.WriteProfileInt(QStringLiteral("ModBus Env"), QStringLiteral("wReadAddr"), -1));
        EXPECT_TRUE(store.Flush());
    }
    ASSERT_TRUE(QFile::exists(expected));
    CProfileStore again;
    EXPECT_EQ(again.GetProfileInt(QStringLiteral("Main Env"), QStringLiteral("byPort"), 0), 2);
    EXPECT_EQ(again.GetProfileInt(QStringLiteral("Main Env"), QStringLiteral("dwTimeout"), 0),
              2147483647);
    EXPECT_EQ(again.GetProfileInt(QStringLiteral("ModBus Env"), QStringLiteral("wReadAddr"), 0),
              -1);
    EXPECT_EQ(again.GetProfileInt(QStringLiteral("ModBus Env"), QStringLiteral("byPort"), 5), 5);
}

TEST(ProfileStore, BadValuesReadAsTheDefault) {
    ScopedConfigHome home;
    WriteFile(home.Path() + QStringLiteral("/Quorvix/Vornak.ini"),
              "[Main Env]\n"
              "byPort=abc\n"
              "byBaudRate=99999999999\n"
              "byParity=-2147483649\n"
              "byDataSize= 1 \n"
              "byStopBits=-3\n"
              "dwTimeout=12abc\n"
              "dwScanTime=\n"
              "dwSilentTime=1,2\n"
              "byFlowControl=0x10\n"
              "[Port Map]\n"
              "COM1=/dev/pts/3\n"
              "COM2=\"/dev/odd,name\"\n");
    CProfileStore store;
    const QString s = QStringLiteral("Main Env");
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byPort"), 4), 4);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byBaudRate"), 3), 3);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byParity"), 0), 0);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byDataSize"), 0), 1);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byStopBits"), 0), -3);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("dwTimeout"), 1000), 1000);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("dwScanTime"), 1000), 1000);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("dwSilentTime"), 100), 100);
    EXPECT_EQ(store.GetProfileInt(s, QStringLiteral("byFlowControl"), 0), 0);
    EXPECT_EQ(store.GetProfileString(QStringLiteral("Port Map"), QStringLiteral("COM1")),
              QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(store.GetProfileString(QStringLiteral("Port Map"), QStringLiteral("COM2")),
              QStringLiteral("/dev/odd,name"));
    EXPECT_TRUE(
        store.GetProfileString(QStringLiteral("Port Map"), QStringLiteral("COM3")).isEmpty());
}

TEST(ProfileStore, FlushReportsAFileThatCannotBeWritten) {
    ScopedConfigHome home;
    // A plain file where the organisation folder should be: the store cannot be created.
    WriteFile(home.Path() + QStringLiteral("/Quorvix"), "not a folder");
    CProfileStore store;
    store.WriteProfileInt(QStringLiteral("Main Env"), QStringLiteral("byPort"), 1);
    EXPECT_FALSE(store.Flush());
}
