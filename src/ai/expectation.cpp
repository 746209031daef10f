#include "ai/expectation.h"

#include <cmath>

#include "core/combat.h"
#include "core/types.h"

namespace jq {

const float kInitialPieceValues[15] = {2000, 50, 130, 220, 170, 90, 70, 50, 40, 30, 20, 40, 0, 0, 0};

namespace {

double Share(int attacker, const float d[12], char cell, double emptyResult) {
    const char* row = OutcomeTableRow(attacker);
    if (row == nullptr) return 0.0;
    double total = 0.0;
    double part = 0.0;
    for (int j = 0; j < 12; ++j) {
        total += d[j];
        if (row[j] == cell) part += d[j];
    }
    if (!(total >= 1e-8)) return emptyResult;
    return part / total;
}

// The bomb is worth 0.618 times the strongest officer the defender may
// still be, or 1.
float BombValue(const float pv[15], const float d[12]) {
    for (int k = 3; k <= 11; ++k)
        if (static_cast<double>(d[k]) > 0.1) return static_cast<float>(pv[k] * 0.618);
    return 1.0f;
}

// The expected value once the bomb's value is set.
float AttackSum(const float pv[15], int a, const float d[12]) {
    const char* row = OutcomeTableRow(a);
    if (row == nullptr) return 0.0f;
    const double own = pv[a - 1];
    float sum = 0.0f;
    for (int j = 0; j < 12; ++j) {
        const double w = d[j];
        switch (row[j]) {
            case '1': sum = static_cast<float>(sum + w * pv[j]); break;
            case '2': sum = static_cast<float>(sum - w * own); break;
            case '0':
                sum = static_cast<float>(sum + w * pv[j]);
                sum = static_cast<float>(sum - w * own);
                break;
            default: break;
        }
    }
    return sum;
}

}  // namespace

float ExpectedAttackValue(float pv[15], int a, const float d[12]) {
    pv[2] = BombValue(pv, d);
    return AttackSum(pv, a, d);
}

float ExpectedAttackValueMixed(float pv[15], const float attacker[12], const float d[12]) {
    // Every code's value is taken against the same defender, so the bomb is
    // valued once; a code the attacker cannot be adds nothing.
    pv[2] = BombValue(pv, d);
    float sum = 0.0f;
    float total = 0.0f;
    for (int k = 0; k < 12; ++k) {
        if (attacker[k] == 0.0f) continue;
        const float v = AttackSum(pv, k + 1, d);
        sum = static_cast<float>(sum + static_cast<double>(v) * attacker[k]);
        total += attacker[k];
    }
    if (total == 0.0f) return sum;
    return sum / total;
}

double WinProbability(int attacker, const float d[12]) { return Share(attacker, d, '1', 1.0); }

double LossProbability(int attacker, const float d[12]) { return Share(attacker, d, '2', 0.0); }

double MixedWinProbability(const float d[12], const float attacker[12]) {
    double sum = 0.0;
    double total = 0.0;
    for (int k = 0; k < 12; ++k) {
        sum += WinProbability(k + 1, d) * attacker[k];
        total += attacker[k];
    }
    const double divisor = total < 1e-6 ? 1.0 : total;
    return sum / divisor;
}

}  // namespace jq
