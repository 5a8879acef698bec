#include "sim/pty_master.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "slave_port.h"

namespace tovra::sim::test {
namespace {

// The kernel hands bytes written to the master over to the slave's queue a moment later;
// the count must include them at once, or the wait for the tool to read the last reply
// before a lost port ends too early. Many rounds, as the hand-over is often quick.
TEST(PtyMaster, PendingCountsBytesJustWrittenAndDiscardEmptiesTheQueue) {
    std::string error;
    auto pty = PtyMaster::Open(error);
    ASSERT_TRUE(pty) << error;
    SlavePort port(pty->Path());
    ASSERT_TRUE(port.IsOpen());
    const Bytes bytes(23, 0x55);
    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(::write(pty->Fd(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(pty->PendingForSlave(), bytes.size());
        pty->DiscardPendingForSlave();
        EXPECT_EQ(pty->PendingForSlave(), 0u);
    }
    EXPECT_TRUE(port.Silent());
}

}  // namespace
}  // namespace tovra::sim::test
