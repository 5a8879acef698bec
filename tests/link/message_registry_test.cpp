#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "link/message_target.h"

namespace tovra {
namespace {

TEST(MessageRegistry, SameNameSameIdFromC000AndEmptyIsZero) {
    const std::uint32_t reply = RegisterWindowMessage(kReplyMessageName);
    EXPECT_GE(reply, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(kReplyMessageName), reply);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    const std::uint32_t other = RegisterWindowMessage("registry-test-other");
    EXPECT_NE(other, reply);
    EXPECT_GE(other, 0xC000u);
}

TEST(MessageRegistry, ConcurrentRegistrationAgrees) {
    std::vector<std::uint32_t> ids(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        threads.emplace_back([&ids, i] { ids[i] = RegisterWindowMessage("registry-test-shared"); });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()).size(), 1u);
}

}  // namespace
}  // namespace tovra
