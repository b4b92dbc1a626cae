#pragma once

#include <deque>
#include <utility>

#include <QString>

// Speed and time left of a running download, from samples of the bytes in hand taken
// on the progress panel's timer (GUI thread). The speed is the average over the last few
// seconds, so a burst or a pause moves it little; the time left is given only once
// that window is full.
class ProgressEstimate {
public:
    // Length of the window the speed is averaged over, in milliseconds.
    static constexpr long long windowMs = 3000;

    void reset();
    // Bytes in hand at a moment (milliseconds on any steady clock).
    void sample(long long msecs, long long bytes);

    // Bytes per second over the window; 0 before two samples.
    double bytesPerSecond() const;
    // True once the samples span the whole window and bytes are moving.
    bool steady() const;
    // Seconds to fetch `remaining` bytes at the current speed, rounded up; -1 while
    // the speed is not steady.
    long long secondsLeft(long long remaining) const;

    // "512 B", "12.4 KB", "12.4 MB", "1.25 GB" (decimal units).
    static QString formatBytes(long long bytes);
    // "9 s", "4 min", "1 h 5 min".
    static QString formatDuration(long long seconds);

private:
    std::deque<std::pair<long long, long long>> samples; // (msecs, bytes), oldest first
};
