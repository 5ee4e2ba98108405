// The display's work per cycle on the real widgets, offscreen: rebuilding 125 list lines
// and writing the status line.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "controls/OXStatic.h"
#include "scan/ResponseLines.h"
#include "scan/ResponseListCtrl.h"

namespace {

constexpr int kLines = 125;

// Every value changes on every rebuild, as on a live slave.
void Rebuild(CResponseListCtrl& list, std::vector<std::uint16_t>& values, int round) {
    for (int i = 0; i < kLines; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(round * 7 + i);
    RebuildResponseList(list, 0, 40001, values, kLines);
}

void ListRebuild(benchmark::State& state, bool paint) {
    QWidget window;
    window.resize(600, 420);
    auto* list = new CResponseListCtrl(&window);
    list->setGeometry(8, 8, 580, 400);
    list->SetupColumns();
    window.show();
    std::vector<std::uint16_t> values(kLines, 0);
    int round = 0;
    Rebuild(*list, values, round++);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        Rebuild(*list, values, round++);
        if (paint)
            QCoreApplication::processEvents();
    }
    if (list->Count() != kLines)
        state.SkipWithError("the list lost lines");
}

void BM_Rebuild125Lines(benchmark::State& state) {
    ListRebuild(state, false);
}
void BM_Rebuild125LinesAndPaint(benchmark::State& state) {
    ListRebuild(state, true);
}

// The status line as every cycle writes it: new text, repainted at once.
void BM_StatusLineText(benchmark::State& state) {
    QWidget window;
    window.resize(600, 60);
    auto* status = new COXStatic(&window);
    status->setGeometry(8, 8, 560, 28);
    status->setFrameShape(QFrame::Box);
    status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    window.show();
    QCoreApplication::processEvents();
    status->SetBackgroundColor(RGB(255, 255, 255), true);
    status->SetTextColor(RGB(0, 0, 255), true);
    int n = 0;
    for (auto _ : state) {
        status->SetWindowText(
            QString::fromUtf8("Scan 횟수: %1 ,  에러 응답 횟수: %2 , 응답 메시지: %3")
                .arg(++n)
                .arg(0)
                .arg(QStringLiteral("OK")));
    }
}

BENCHMARK(BM_Rebuild125Lines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rebuild125LinesAndPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StatusLineText)->Unit(benchmark::kMicrosecond);

}  // namespace
