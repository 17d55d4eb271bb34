// A recorded date and time as message files write it, before any time zone is applied.
#pragma once

#include <optional>
#include <string_view>

struct RecordedTime {
    int year = 0, month = 0, day = 0;  // 1-based month and day
    int hour = 0, minute = 0, second = 0;
    bool utc = false;  // written as UTC (or GMT); otherwise the local time of the recorder
};

// "2026-12-07" with an optional time "14:05:11" (or "14:05"), either in its own field (the
// bext chunk) or after a space or "T" (an INFO ICRD text). Any one non-digit separates the
// numbers. A date alone is midnight. Nothing when the date is not a real calendar day.
std::optional<RecordedTime> ParseIsoTime(std::string_view date, std::string_view time = {});

// The date text of a telephone system's sidecar: weekday, month name, day, time with an
// optional AM/PM, an optional zone name and the year, in any order after the weekday
// ("Mon Dec  7 02:05:11 PM UTC 2026", "Mon Dec 07 14:05:11 2026").
std::optional<RecordedTime> ParseSidecarTime(std::string_view text);
