// The deployment: every seat arranges its 25 pieces on the 25 points of its
// own area before the first move. Two pieces of one seat can be exchanged;
// the rules are tested when the player declares the deployment finished.
#pragma once

#include "core/qipan.h"

namespace jq {

enum DeploymentRule : int {
    kDeploymentOk = 0,
    kFlagOutsideHeadquarters = -1,
    kMineOutsideLastRows = -2,
    kBombInFrontRow = -3,
    kArmyNotWhole = -4,
};

// First the own deployment (pieces 0..24) must be one whole army, or the
// result is kArmyNotWhole. Then tests every piece of all four seats in index
// order: a flag must stand in one of its seat's two headquarters, a mine in
// the last two rows, and, during the first four steps, a bomb not in the
// front row. The failing piece with the highest index decides the result.
// Changes nothing.
int ValidateDeployment(const GameState& g);

// The error text for a result of ValidateDeployment, GB2312; empty for 0.
std::string DeploymentRuleText(int rule);

// Exchanges the codes of two pieces of one seat (and asks the view to
// exchange their pictures); each index keeps its point, start point, alive
// flag and beliefs. Returns false, changing nothing, unless both are
// pieces 0..99 of the same seat.
bool SwapDeployedPieces(GameState& g, int a, int b);

// A LAN host cannot end the own deployment while a seat played by the
// computer has not yet been dealt its formation.
bool HostAwaitsComputerDeployments(const GameState& g);

// What the end of a deployment keeps: in a LAN battle the hand-over to the
// LAN protocol (netState 23); in a battle on this computer the seat names
// from the seat labels and the deployed pieces.
void TakeDeploymentSnapshot(GameState& g);

}  // namespace jq
