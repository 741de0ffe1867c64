#pragma once

#include "app/Problem.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

class QLabel;

// What the window keeps about launching, for the Player panel and the Creator
// panel's game and editor actions alike.
struct LaunchPanelState {
    // The panel labels' usual texts (taken at start-up); a launch message covers
    // one until the next launch that happens.
    QList<std::pair<QLabel*, QString>> labelTexts;
    bool waitingForEarlierGame = false; // a program that an earlier run started still runs
    QString settledGameDir;             // the game directory whose worlds are listed
    // Recorded switches that are still in place (their folders could not be put back,
    // or their installation could not be reached): what the panels say instead of
    // their usual texts.
    std::optional<Problem> switchNotice;
};
