#include "update/ProgressEstimate.h"

#include <cmath>

void ProgressEstimate::reset() {
    samples.clear();
}

void ProgressEstimate::sample(long long msecs, long long bytes) {
    if (!samples.empty() && (msecs < samples.back().first || bytes < samples.back().second)) {
        samples.clear(); // another download, or a clock that went back: start afresh
    }
    samples.emplace_back(msecs, bytes);
    // Keep one sample at or before the window's start, so the window is always spanned.
    while (samples.size() > 2 && samples[1].first <= msecs - windowMs) {
        samples.pop_front();
    }
}

double ProgressEstimate::bytesPerSecond() const {
    if (samples.size() < 2) {
        return 0;
    }
    const long long span = samples.back().first - samples.front().first;
    if (span <= 0) {
        return 0;
    }
    return double(samples.back().second - samples.front().second) * 1000.0 / double(span);
}

bool ProgressEstimate::steady() const {
    return samples.size() >= 2 && samples.back().first - samples.front().first >= windowMs &&
           bytesPerSecond() > 0;
}

long long ProgressEstimate::secondsLeft(long long remaining) const {
    if (!steady()) {
        return -1;
    }
    if (remaining <= 0) {
        return 0;
    }
    return static_cast<long long>(std::ceil(double(remaining) / bytesPerSecond()));
}

QString ProgressEstimate::formatBytes(long long bytes) {
    if (bytes < 1000) {
        return QString("%1 B").arg(bytes < 0 ? 0 : bytes);
    }
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (value >= 999.95 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    // Two decimals for gigabytes, where a tenth is still a hundred megabytes.
    return QString("%1 %2").arg(value, 0, 'f', unit >= 2 ? 2 : 1).arg(units[unit]);
}

QString ProgressEstimate::formatDuration(long long seconds) {
    if (seconds < 60) {
        return QString("%1 s").arg(seconds < 0 ? 0 : seconds);
    }
    const long long minutes = (seconds + 59) / 60;
    if (minutes < 60) {
        return QString("%1 min").arg(minutes);
    }
    return QString("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}
