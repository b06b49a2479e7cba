#pragma once

#include "model/Run.h"

#include <QList>
#include <QString>

// Whether a constant-speed move steps the same number of dots every frame. Whole-pixel positions
// make 100 dots in 40 frames step 2 or 3 dots at places that look random: the judder authors notice
// most. A move steps evenly exactly when its number of steps (frames - 1) divides the distance on
// both axes.
namespace velra {

struct StepCheck
{
    // A frame count (and, for a dots-per-frame move, the amount that gives it) that steps evenly.
    struct Suggestion
    {
        qint64 frames = 0;
        int amount = 0; // dots per frame; the frame count itself for a move given in frames
        qint64 stepX = 0;
        qint64 stepY = 0;
    };

    bool uneven = false;
    qint64 dx = 0; // the distance, signs dropped
    qint64 dy = 0;
    qint64 frames = 0; // n, the move's frames
    // The two step sizes each axis mixes (equal on an even axis).
    qint64 lowX = 0, highX = 0, lowY = 0, highY = 0;
    // The nearest even choices below and above the present one, fewer first; none that jumps
    // (two frames) or takes more frames than a move may.
    QList<Suggestion> suggestions;
};

// The check for a move of `frames` frames from (fromX, fromY) to the segment's target. Only a
// constant-speed move (the linear curve) with at least three frames can be uneven.
StepCheck checkSteps(const Segment &segment, qint64 fromX, qint64 fromY, qint64 frames);

// The check in words: what mixes, and the suggestions ("100 ドットを 40 コマで動くと 2 と 3 ドットの
// 歩みが混ざります。26 コマなら 4 ドットずつ、51 コマなら 2 ドットずつです。"). Empty when even.
QString stepCheckText(const StepCheck &check, Segment::Motion motion, int amount);
// A suggestion as a button says it: "26 コマにする", "1 コマ 4 ドットにする".
QString suggestionCaption(const StepCheck::Suggestion &suggestion, Segment::Motion motion);

} // namespace velra
