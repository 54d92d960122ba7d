#include "app/RipFrm.h"

#include <QTreeWidget>
#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(RipFrmTest, ShowsTheTrackListWithItsColumns) {
    TRipFrm window;
    EXPECT_EQ(window.windowTitle(), "Quillon Rip PRO");
    auto* list = window.findChild<QTreeWidget*>("ListView1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->columnCount(), 8);
}

} // namespace
} // namespace quillon
