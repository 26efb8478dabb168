#pragma once

// The musical grid a script sets with `tempo`: beats of 60 / bpm seconds, bars of beatsPerBar
// beats, beat 0 at `offset` seconds after the anchor step (the step in which the song started).
// Beat k falls on the step nearest its exact time, computed from the anchor each time, so that
// no rounding accumulates however long the music runs.
class TempoGrid
{
public:
    static constexpr double DefaultBpm = 120.0;
    static constexpr int DefaultBeatsPerBar = 4;

    struct BarBeat
    {
        long bar;  // 1 for the bar that beat 0 opens; 0 and below before it
        int beat;  // 1..beatsPerBar
    };

    // False (the grid unchanged) when bpm is not a positive finite number, beatsPerBar is below 1
    // or offset is not finite.
    bool set(double bpm, int beatsPerBar, double offset);
    double bpm() const { return beatsPerMinute; }
    int beatsPerBar() const { return barLength; }
    double offset() const { return offsetSeconds; }

    // The step nearest beat k's exact time.
    long beatStep(long k, long anchor) const;
    // The last beat whose step is at or before `step`.
    long beatAt(long step, long anchor) const;
    // Steps from `step` to the beat `beats` on from beatAt(step).
    long stepsToBeat(long step, long anchor, long beats) const;
    // Steps from `step` to the start of the bar `bars` on from the bar that holds beatAt(step).
    long stepsToBar(long step, long anchor, long bars) const;
    // Exact beats since beat 0 at `step` (negative before it): what iBeats shows.
    double beatsAt(long step, long anchor) const;
    // Where the author's bar keys go from `step`: with `direction` 1 the start of the next bar;
    // with -1 the start of the bar that holds `step`, or of the bar before when `step` starts
    // one. Never before step 0.
    long barSeek(long step, long anchor, int direction) const;
    // The bar and the beat in it at `step`, as the author's overlay shows them ("12:3").
    BarBeat barBeatAt(long step, long anchor) const;

private:
    double beatsPerMinute = DefaultBpm;
    int barLength = DefaultBeatsPerBar;
    double offsetSeconds = 0.0;
};
