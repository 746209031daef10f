// The peace vote and the answers owed to refused moves, on their own.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "net/host/owedanswers.h"
#include "net/host/peacevote.h"

namespace jq::net {
namespace {

using R = PeaceVote::Result;

TEST(PeaceVote, OneOfferAtATimeEachSeatAskedAnswersOnce) {
    const bool all[kSeats] = {true, true, true, true};
    const bool alone[kSeats] = {true, false, false, false};
    const bool twoOthers[kSeats] = {true, false, true, true};
    struct Row {
        const char* name;
        std::function<std::vector<R>(PeaceVote&)> run;
        std::vector<R> results;
    };
    const std::vector<Row> rows = {
        {"nobody to ask: agreed as it is made",
         [&](PeaceVote& v) { return std::vector<R>{v.Offer(0, alone), v.Answer(1, false)}; },
         {R::kAgreed, R::kIgnored}},
        {"free and computer seats agree; one no refuses, and the vote is closed",
         [&](PeaceVote& v) {
             return std::vector<R>{v.Offer(0, twoOthers), v.Answer(1, false), v.Answer(2, true), v.Answer(3, false),
                                   v.Answer(3, true)};
         },
         {R::kOpen, R::kIgnored, R::kOpen, R::kRefused, R::kIgnored}},
        {"the offering seat and a second answer count for nothing",
         [&](PeaceVote& v) {
             return std::vector<R>{v.Offer(2, all), v.Answer(2, false), v.Answer(1, true), v.Answer(1, false),
                                   v.Answer(0, true), v.Answer(3, true)};
         },
         {R::kOpen, R::kIgnored, R::kOpen, R::kIgnored, R::kOpen, R::kAgreed}},
        {"a seat's fourth offer in a battle is refused unasked; a new battle counts afresh",
         [&](PeaceVote& v) {
             std::vector<R> r;
             for (int i = 0; i < kPeaceOffersPerBattle; ++i) v.Offer(1, all);
             r.push_back(v.Offer(1, all));
             r.push_back(v.Offer(0, alone));
             v.Drop();
             r.push_back(v.Offer(1, all));
             v.NewBattle();
             r.push_back(v.Offer(1, all));
             return r;
         },
         {R::kTooOften, R::kAgreed, R::kTooOften, R::kOpen}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PeaceVote v;
        EXPECT_EQ(row.run(v), row.results);
    }
}

// The answers sent to connections 5 and 6 at each time, as the relay pays them.
TEST(OwedAnswers, OneAnswerAtATimeAtMostOneAPauseOnlyWhileDue) {
    OwedAnswers owed;
    std::set<ConnId> due{5, 6}, closeOnAnswer;
    std::vector<std::string> sent;
    const auto pay = [&](int64_t ms, ConnId only = -1) {
        owed.Pay(
            ms, only, [&](ConnId id) { return due.count(id) != 0; },
            [&](ConnId id) {
                sent.push_back(std::to_string(id) + "@" + std::to_string(ms));
                // Answering may close a connection.
                for (ConnId c : closeOnAnswer) owed.Forget(c);
            });
    };
    // Refused three times at once: one answer.
    for (int i = 0; i < 3; ++i) owed.Owe(5), pay(0, 5);
    // Refused again within the pause: answered on the first pay after it, not before; the pause is each
    // connection's own.
    owed.Owe(5), pay(400, 5), pay(999);
    owed.Owe(6), pay(999, 6);
    pay(1000);
    EXPECT_EQ(sent, (std::vector<std::string>{"5@0", "6@999", "5@1000"}));
    sent.clear();
    // A step taken settles what is owed; so does the connection no longer being due (a seat given up, the
    // battle over), even once it is due again.
    owed.Owe(6), owed.StepTaken(), pay(2500);
    owed.Owe(5), due.erase(5), pay(3000), due.insert(5), pay(3100);
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(owed.Owed(5));
    // Both answered in one pay, the first answer closing both connections.
    closeOnAnswer = {5, 6};
    owed.Owe(5), owed.Owe(6), pay(5000);
    EXPECT_EQ(sent, (std::vector<std::string>{"5@5000", "6@5000"}));
    EXPECT_FALSE(owed.Owed(6));
}

}  // namespace
}  // namespace jq::net
