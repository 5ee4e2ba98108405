#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "SlaveProcess.h"
#include "app/MainFrame.h"
#include "app/VornakApp.h"
#include "scan/ResponseListCtrl.h"
#include "scan/VornakView.h"
#include "tests/support/TempConfigHome.h"

// The whole program against vornak-slave on a pseudo-terminal: COM1 is the slave, the
// settings come from a fresh profile.
class ScanFixture : public ::testing::Test {
protected:
    bool Start(const std::vector<std::string>& slaveArgs, const QByteArray& ini) {
        if (!slave.Start(slaveArgs))
            return false;
        qputenv("VORNAK_COM1", QByteArray::fromStdString(slave.Path()));
        if (!home.WriteIni(ini))
            return false;
        app = std::make_unique<CVornakApp>();
        return app->InitInstance();
    }

    void TearDown() override {
        if (app && app->MainFrame())
            app->MainFrame()->close();
        app.reset();
        qunsetenv("VORNAK_COM1");
        qunsetenv("VORNAK_COM2");
    }

    CVornakView* View() const { return app->View(); }

    bool WaitForCycles(int n, int ms = 5000) {
        return QTest::qWaitFor([&] { return View()->ScanCount() >= n; }, ms);
    }

    // Until the list shows `n` lines (the first cycle has displayed).
    bool WaitForLines(int n, int ms = 5000);

    // The slave's log lines of one direction, parsed.
    std::vector<SlaveLogLine> Frames(CSlaveProcess& from, const std::string& direction) {
        std::vector<SlaveLogLine> frames;
        for (const std::string& line : from.Lines()) {
            auto parsed = ParseSlaveLogLine(line);
            if (parsed && parsed->direction == direction)
                frames.push_back(*parsed);
        }
        return frames;
    }
    std::vector<SlaveLogLine> Requests() { return Frames(slave, "rx"); }

    // Until the newest request starts with `head` ("01 04 00 0A 00 7D").
    bool WaitForRequest(const std::string& head, int ms = 5000);

    CTempConfigHome home;
    CSlaveProcess slave;
    std::unique_ptr<CVornakApp> app;
};

// A request's bytes as hex with blanks, without its check: "01 03 00 00 00 08".
inline std::string Head(const SlaveLogLine& frame, std::size_t n = 6) {
    std::string s;
    for (std::size_t i = 0; i < n && i < frame.bytes.size(); ++i) {
        static const char digits[] = "0123456789ABCDEF";
        if (!s.empty())
            s += ' ';
        s += digits[frame.bytes[i] >> 4];
        s += digits[frame.bytes[i] & 15];
    }
    return s;
}

inline bool ScanFixture::WaitForLines(int n, int ms) {
    return QTest::qWaitFor([&] { return View()->List()->Count() == n; }, ms);
}

inline bool ScanFixture::WaitForRequest(const std::string& head, int ms) {
    return QTest::qWaitFor(
        [&] {
            const auto r = Requests();
            return !r.empty() && Head(r.back(), head.size() / 3 + 1) == head;
        },
        ms);
}
