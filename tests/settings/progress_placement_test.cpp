#include "settings/progress_state.h"
#include "settings/settings_helpers.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

struct TRecordingSink : IProgressSink {
    void ProgressStarted(const std::string& label, int64_t maximum) override {
        Events.push_back("start " + label + " " + std::to_string(maximum));
    }
    void ProgressMoved(int64_t position) override { Positions.push_back(position); }
    void ProgressEnded() override { Events.push_back("end"); }
    void StatusText(const std::string& text) override { Status = text; }
    void LogLine(const std::string& text) override { Log.push_back(text); }
    void IdleChanged(bool idle) override { Events.push_back(idle ? "idle" : "busy"); }
    void Beep() override { ++Beeps; }

    std::vector<std::string> Events, Log;
    std::vector<int64_t> Positions;
    std::string Status;
    int Beeps = 0;
};

TEST(ProgressState, TotalsBeyondTheBarAreScaled) {
    TRecordingSink sink;
    TProgressState p(&sink);
    p.BeginProgress("Adding CD1", 5000000000LL);
    EXPECT_EQ(p.BarMaximum, TProgressState::kBarMax);
    EXPECT_DOUBLE_EQ(p.ProgressScale, 2147483647.0 / 5000000000.0);
    p.StepProgress("", 2500000000LL);
    ASSERT_EQ(sink.Positions.size(), 1u);
    EXPECT_EQ(sink.Positions[0], 1073741824); // half of 2,147,483,647, rounded
    p.StepProgress("", 9000000000LL);         // past the total: stays at the end
    EXPECT_EQ(sink.Positions[1], TProgressState::kBarMax);
    p.StepProgress("x", 0); // position 0 only shows the text
    EXPECT_EQ(sink.Positions.size(), 2u);
    EXPECT_EQ(sink.Status, "x");

    p.BeginProgress("Small", 100);
    EXPECT_EQ(p.BarMaximum, 100);
    EXPECT_EQ(p.ProgressScale, 1.0);
    p.EndProgress("Done");
    p.BeginProgress("Unknown", 0); // keeps the maximum, which the end reset
    EXPECT_EQ(p.BarMaximum, 0);
}

TEST(ProgressState, EndLogsTheSummaryAndBecomesIdle) {
    TRecordingSink sink;
    TProgressState p(&sink);
    double now = 1000;
    p.Clock = [&] { return now; };
    p.Counts = [] { return TProgressCounts{1, 12, 345, 6789}; };
    p.FormatSize = [](int64_t n) { return std::to_string(n) + " B"; };

    p.BeginProgress("Adding CD1", 10);
    EXPECT_FALSE(p.Idle());
    EXPECT_EQ(sink.Log, std::vector<std::string>{"Adding CD1"});
    now += 3723.6;
    p.EndProgress("Added CD1");
    EXPECT_TRUE(p.Idle());
    EXPECT_EQ(sink.Status, "");
    ASSERT_EQ(sink.Log.size(), 2u);
    EXPECT_EQ(sink.Log[1],
              "Added CD1 Volumes: 1 Folders: 12 Files: 345 Size: 6789 B Time: 01:02:03");
    EXPECT_EQ(sink.Events,
              (std::vector<std::string>{"busy", "start Adding CD1:  10", "end", "idle"}));
    EXPECT_EQ(sink.Beeps, 1);
    EXPECT_EQ(TProgressState::FormatElapsed(100 * 3600 + 59), "100:00:59");
    EXPECT_EQ(TProgressState::FormatElapsed(-5), "00:00:00");
}

TEST(ProgressState, StopIsHeardOnceAndCommandsStayBusyUntilTheEnd) {
    TRecordingSink sink;
    TProgressState p(&sink);
    p.ActionEndBeep = false;
    p.RequestStop(); // nothing runs: nothing to stop
    EXPECT_FALSE(p.StopRequested());
    EXPECT_TRUE(sink.Log.empty());

    p.BeginProgress("Scan", 0);
    p.RequestStop();
    p.RequestStop();
    EXPECT_TRUE(p.StopRequested());
    EXPECT_FALSE(p.Idle());
    EXPECT_EQ(std::count(sink.Log.begin(), sink.Log.end(), "Stopped by user."), 1);
    p.EndProgress("Operation Canceled");
    EXPECT_TRUE(p.Idle());
    EXPECT_FALSE(p.StopRequested());
    EXPECT_EQ(sink.Beeps, 0);
}

TEST(ShowStatus, LogsTheLogTextOrTheText) {
    TRecordingSink sink;
    TProgressState p(&sink);
    p.ShowStatus("a", "", false);
    p.ShowStatus("b", "", true);
    p.ShowStatus("c", "long c", true);
    p.ShowStatus("", "", true);
    EXPECT_EQ(sink.Log, (std::vector<std::string>{"b", "long c"}));
    EXPECT_EQ(sink.Status, "");
    TProgressState quiet; // no sink at all
    quiet.BeginProgress("x", 1);
    quiet.EndProgress("y");
}

TEST(Placement, RoundTripUnderTheWindowKey) {
    TMemorySettingsStore store;
    TPlacement p{-100, 50, 640, 480, TWindowState::Maximized};
    SavePlacement(store, PlacementKey("frmSearch"), p);
    EXPECT_EQ(store.Keys["Pos\\frmSearch"].size(), 10u);
    EXPECT_EQ(store.ReadInt("Pos\\frmSearch", "NormPosRight", 0), 540);
    EXPECT_EQ(store.ReadInt("Pos\\frmSearch", "ShowCmd", 0), 3);
    TPlacement q;
    ASSERT_TRUE(LoadPlacement(store, "Pos\\frmSearch", q));
    EXPECT_EQ(q, p);
    SavePlacement(store, PlacementKey("frmMain") + "\\LV", TPlacement{0, 0, 10, 10});
    ASSERT_TRUE(LoadPlacement(store, "Pos\\frmMain\\LV", q));
    EXPECT_EQ(q.State, TWindowState::Normal);
}

TEST(Placement, IncompleteOrBadValuesChangeNothing) {
    TMemorySettingsStore store;
    TPlacement keep{1, 2, 3, 4, TWindowState::Minimized};
    TPlacement q = keep;
    EXPECT_FALSE(LoadPlacement(store, "Pos\\none", q));
    EXPECT_FALSE(store.KeyExists("Pos\\none"));
    SavePlacement(store, "Pos\\w", TPlacement{0, 0, 100, 100});
    store.DeleteValue("Pos\\w", "MaxPosY");
    EXPECT_FALSE(LoadPlacement(store, "Pos\\w", q));
    SavePlacement(store, "Pos\\w", TPlacement{0, 0, 100, 100});
    store.WriteInt("Pos\\w", "NormPosRight", -5); // inverted
    EXPECT_FALSE(LoadPlacement(store, "Pos\\w", q));
    store.WriteString("Pos\\w", "NormPosRight", "wide"); // not a number
    EXPECT_FALSE(LoadPlacement(store, "Pos\\w", q));
    store.WriteInt("Pos\\w", "NormPosRight", int64_t(1) << 40);
    EXPECT_FALSE(LoadPlacement(store, "Pos\\w", q));
    EXPECT_EQ(q, keep);

    TMemorySettingsStore empty;
    SavePlacement(empty, "Pos\\w", TPlacement{0, 0, 0, 100});
    SavePlacement(empty, "Pos\\w",
                  TPlacement{std::numeric_limits<int32_t>::max() - 5, 0, 100, 100});
    EXPECT_TRUE(empty.Keys.empty());
}

TEST(Settings, DeleteAllRemovesRootValuesAndKeys) {
    TMemorySettingsStore store;
    store.WriteString("", "Version", "x");
    store.WriteBool("Defaults", "Sort", true);
    store.WriteInt("Pos\\frmMain\\LV\\0", "Width", 5);
    DeleteAllSettings(store);
    EXPECT_TRUE(store.Keys.empty());
    EXPECT_EQ(ReadInt32(store, "k", "n", 7), 7);
    store.WriteInt("k", "n", 9);
    EXPECT_EQ(ReadInt32(store, "k", "n", 7, 0, 8), 7);
    EXPECT_EQ(ReadInt32(store, "k", "n", 7, 0, 9), 9);
}

} // namespace
