#pragma once
// Time conversions shared by the parsers and setting the times of saved files.

#include <cstdint>
#include <optional>
#include <string>

namespace vdrec::platform {

// Seconds and nanoseconds since 1970-01-01 UTC.
struct UnixTime {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
};

// A Windows FILETIME (100 ns units since 1601-01-01 UTC).
UnixTime fromFileTime(uint64_t fileTime);

// A FAT packed date (day 0-4, month 5-8, year - 1980 9-15) and time (seconds / 2 0-4,
// minutes 5-10, hours 11-15), taken as UTC; nullopt when the date names no day.
std::optional<UnixTime> fromDosDateTime(uint16_t date, uint16_t time);

// The list's time text in local time: "%02d/%02d/%d  %02d:%02d AM" (month, day, year, hour 0 to
// 12 unchanged) or "... PM" with hour - 12 for 13 to 23.
std::string listTimeText(UnixTime time);
// The same text appended to `out`: no allocation once `out` has room.
void appendListTimeText(std::string& out, UnixTime time);
// The same text, converted afresh by the C library (listTimeText works from the zone's offset
// for the hour, which it checks against this).
std::string localListTimeText(UnixTime time);
// The same text from a DOS date and time as they stand (they carry no zone).
std::string dosTimeText(uint16_t date, uint16_t time);

// Sets last access and last write of a saved file. Linux cannot set a creation time.
// Returns 0 or errno.
int setFileTimes(const std::string& path, std::optional<UnixTime> accessed, std::optional<UnixTime> modified);
// The same on `name` in an open folder (or AT_FDCWD); a link's own times, never its target's.
int setFileTimesAt(int folder, const char* name, std::optional<UnixTime> accessed, std::optional<UnixTime> modified);
// The same on an open file descriptor: no second path lookup.
int setOpenFileTimes(int fd, std::optional<UnixTime> accessed, std::optional<UnixTime> modified);

}  // namespace vdrec::platform
