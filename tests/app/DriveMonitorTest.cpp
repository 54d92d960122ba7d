#include "app/DriveMonitor.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <linux/cdrom.h>

namespace quillon {
namespace {

// The poll's decision: readings of a fake list of drives, one per poll; a difference from the
// last reading signals once, a settle delay after the last difference of a burst.
TEST(DriveMonitorTest, SignalsOnceAfterABurstOfDifferences) {
    constexpr int kSettle = 50;
    const DriveStates none;
    const DriveStates empty = {{"/dev/sr0", CDS_NO_DISC}};
    const DriveStates spinning = {{"/dev/sr0", CDS_DRIVE_NOT_READY}};
    const DriveStates loaded = {{"/dev/sr0", CDS_DISC_OK}};
    const DriveStates two = {{"/dev/sr0", CDS_DISC_OK}, {"/dev/sr1", CDS_NO_DISC}};
    const DriveStates unreadable = {{"/dev/sr0", -1}};
    struct Step {
        DriveStates drives;
        bool settleAfter = false; // let the delay pass before the next reading
    };
    const struct {
        const char* what;
        DriveStates first; // the reading when the monitor starts
        std::vector<Step> polls;
        int emits;
    } cases[] = {
        {"nothing changes", loaded, {{loaded}, {loaded}}, 0},
        {"no drive at all", none, {{none}, {none}}, 0},
        {"a disc goes in and spins up", empty, {{spinning}, {loaded}, {loaded}}, 1},
        {"a drive appears", none, {{empty}}, 1},
        {"a second drive appears", loaded, {{two}}, 1},
        {"a drive goes and comes back", loaded, {{none}, {loaded}}, 1},
        {"a drive can no longer be asked", empty, {{unreadable}}, 1},
        {"two changes far apart", empty, {{loaded, true}, {empty}}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DriveStates current = c.first;
        TDriveMonitor monitor([&] { return current; }, 0, kSettle);
        EXPECT_FALSE(monitor.UsesUdev());
        QSignalSpy changed(&monitor, &TDriveMonitor::DrivesChanged);
        int settled = 0;
        for (const Step& step : c.polls) {
            current = step.drives;
            monitor.Poll();
            if (step.settleAfter) {
                EXPECT_TRUE(changed.wait(5000));
                ++settled;
            }
        }
        EXPECT_EQ(changed.count(), settled) << "nothing before the delay";
        if (c.emits > settled) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() >= c.emits; }, 5000));
        }
        QTest::qWait(4 * kSettle);
        EXPECT_EQ(changed.count(), c.emits);
    }
}

} // namespace
} // namespace quillon
