// The answers owed to refused moves, on their own: what the relay's rows cannot reach.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "net/host/owedanswers.h"

namespace jq::net {
namespace {

// An answer that closes connections as it goes (their queues overflow) leaves the others' answers in this pay
// and forgets the closed ones; a connection answered on its own keeps its pause.
TEST(OwedAnswers, AnAnswerThatClosesConnectionsSpoilsNoOtherAnswer) {
    OwedAnswers owed;
    std::vector<std::string> sent;
    const auto pay = [&](int64_t ms, ConnId only, bool closes) {
        owed.Pay(
            ms, only, [](ConnId) { return true; },
            [&](ConnId id) {
                sent.push_back(std::to_string(id) + "@" + std::to_string(ms));
                if (closes)
                    for (ConnId c : {5, 6, 7}) owed.Forget(c);
            });
    };
    owed.Owe(7), pay(0, 7, false);
    for (ConnId id : {5, 6, 7}) owed.Owe(id);
    pay(500, -1, true);
    EXPECT_EQ(sent, (std::vector<std::string>{"7@0", "5@500", "6@500"}));
    // Nothing is owed any more: a pay once every pause is over sends nothing.
    sent.clear();
    pay(2000, -1, false);
    EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace jq::net
