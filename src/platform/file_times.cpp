#include "platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "platform/text_format.h"

namespace vdrec::platform {

namespace {

constexpr int64_t kFileTimeEpochOffset = 116444736000000000LL;  // 1601 to 1970 in 100 ns units

timespec toTimespec(std::optional<UnixTime> time) {
    timespec out{};
    if (!time) {
        out.tv_nsec = UTIME_OMIT;
        return out;
    }
    out.tv_sec = static_cast<time_t>(time->seconds);
    out.tv_nsec = time->nanoseconds;
    return out;
}

int64_t floorDivide(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

constexpr size_t kListTimeTextLength = 20;  // "MM/DD/YYYY  HH:MM AM"

// Calendar time as the list shows it, and the zone offset it was taken with.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    long offset = 0;
    bool operator==(const LocalTime& other) const {
        return year == other.year && month == other.month && day == other.day && hour == other.hour &&
               minute == other.minute;
    }
};

// The proleptic Gregorian calendar time of `seconds` since 1970-01-01 in a zone without offset.
LocalTime civilTime(int64_t seconds) {
    const int64_t days = floorDivide(seconds, 86400);
    const int64_t secondOfDay = seconds - days * 86400;
    const int64_t shifted = days + 719468;
    const int64_t era = floorDivide(shifted, 146097);
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    LocalTime local;
    local.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    local.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    local.year = static_cast<int>(yearOfEra + era * 400 + (local.month <= 2 ? 1 : 0));
    local.hour = static_cast<int>(secondOfDay / 3600);
    local.minute = static_cast<int>(secondOfDay % 3600 / 60);
    return local;
}

bool localTimeAt(int64_t seconds, LocalTime& local) {
    const auto value = static_cast<time_t>(seconds);
    tm converted{};
    if (localtime_r(&value, &converted) == nullptr) return false;
    local.year = converted.tm_year + 1900;
    local.month = converted.tm_mon + 1;
    local.day = converted.tm_mday;
    local.hour = converted.tm_hour;
    local.minute = converted.tm_min;
    local.offset = converted.tm_gmtoff;
    return true;
}

void appendTwoDigits(std::string& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// "%02d/%02d/%d  %02d:%02d AM" (hour 0 to 12 unchanged) or "... PM" (hour - 12), for a
// four-digit year.
void appendText(std::string& out, const LocalTime& local) {
    appendTwoDigits(out, local.month);
    out.push_back('/');
    appendTwoDigits(out, local.day);
    out.push_back('/');
    appendTwoDigits(out, local.year / 100);
    appendTwoDigits(out, local.year % 100);
    out += "  ";
    appendTwoDigits(out, local.hour <= 12 ? local.hour : local.hour - 12);
    out.push_back(':');
    appendTwoDigits(out, local.minute);
    out += local.hour <= 12 ? " AM" : " PM";
}

}  // namespace

UnixTime fromFileTime(uint64_t fileTime) {
    const int64_t ticks = static_cast<int64_t>(fileTime & 0x7FFFFFFFFFFFFFFFull) - kFileTimeEpochOffset;
    int64_t seconds = ticks / 10000000;
    int64_t remainder = ticks % 10000000;
    if (remainder < 0) {
        remainder += 10000000;
        --seconds;
    }
    return {seconds, static_cast<uint32_t>(remainder * 100)};
}

std::optional<UnixTime> fromDosDateTime(uint16_t date, uint16_t time) {
    const int day = date & 0x1F;
    const unsigned month = (date >> 5) & 0x0F;
    const int year = 1980 + (date >> 9);
    if (day == 0 || month < 1 || month > 12) return std::nullopt;
    // Days since 1970-01-01 of a proleptic Gregorian date.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * static_cast<int>(month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = int64_t{era} * 146097 + dayOfEra - 719468;
    const int64_t seconds = (time >> 11) * 3600 + ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
    return UnixTime{days * 86400 + seconds, 0};
}

std::string dosTimeText(uint16_t date, uint16_t time) {
    const int hour = time >> 11;
    const int minute = (time >> 5) & 0x3F;
    const int month = (date >> 5) & 0x0F, day = date & 0x1F, year = 1980 + (date >> 9);
    if (hour <= 12) return format("%02d/%02d/%d  %02d:%02d AM", month, day, year, hour, minute);
    return format("%02d/%02d/%d  %02d:%02d PM", month, day, year, hour - 12, minute);
}

std::string listTimeText(UnixTime time) {
    std::string text;
    appendListTimeText(text, time);
    return text;
}

void appendListTimeText(std::string& out, UnixTime time) {
    // Converting to local time is the costly part of a large listing. A zone's offset changes at
    // most once in an hour, so the offsets of recent hours are kept when they hold from the
    // hour's first second to its last and give the C library's own calendar time there; other
    // hours (a change within them, leap seconds, far years) are converted one time at a time.
    struct Hour {
        int64_t number = INT64_MIN;
        long offset = 0;
        bool steady = false;
    };
    thread_local Hour hours[4];
    thread_local unsigned next = 0;
    // The times of one entry, and of files made together, mostly share their minute.
    thread_local int64_t lastMinute = INT64_MIN;
    thread_local char lastText[kListTimeTextLength];
    const int64_t minute = floorDivide(time.seconds, 60);
    if (minute == lastMinute) {
        out.append(lastText, kListTimeTextLength);
        return;
    }
    constexpr int64_t kSteadyRange = int64_t{1} << 40;  // seconds: far inside time_t and int years
    if (time.seconds > -kSteadyRange && time.seconds < kSteadyRange) {
        const int64_t number = floorDivide(time.seconds, 3600);
        const Hour* found = nullptr;
        for (const Hour& hour : hours)
            if (hour.number == number) found = &hour;
        if (found == nullptr) {
            Hour& hour = hours[next++ % 4];
            hour.number = number;
            hour.steady = false;
            LocalTime first, last;
            if (localTimeAt(number * 3600, first) && localTimeAt(number * 3600 + 3599, last) && first.offset == last.offset &&
                first == civilTime(number * 3600 + first.offset) && last == civilTime(number * 3600 + 3599 + last.offset)) {
                hour.offset = first.offset;
                hour.steady = true;
            }
            found = &hour;
        }
        if (found->steady) {
            const LocalTime local = civilTime(time.seconds + found->offset);
            if (local.year >= 1000 && local.year <= 9999) {
                const size_t at = out.size();
                appendText(out, local);
                // An offset of whole minutes keeps each minute within one local minute.
                if (found->offset % 60 == 0) {
                    out.copy(lastText, kListTimeTextLength, at);
                    lastMinute = minute;
                }
                return;
            }
        }
    }
    out += localListTimeText(time);
}

std::string localListTimeText(UnixTime time) {
    const time_t seconds = static_cast<time_t>(time.seconds);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return {};
    const int hour = local.tm_hour;
    if (hour <= 12)
        return format("%02d/%02d/%d  %02d:%02d AM", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, hour,
                      local.tm_min);
    return format("%02d/%02d/%d  %02d:%02d PM", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, hour - 12,
                  local.tm_min);
}

int setFileTimes(const std::string& path, std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    const timespec times[2] = {toTimespec(accessed), toTimespec(modified)};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : errno;
}

int setFileTimesAt(int folder, const char* name, std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    const timespec times[2] = {toTimespec(accessed), toTimespec(modified)};
    return ::utimensat(folder, name, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int setOpenFileTimes(int fd, std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    const timespec times[2] = {toTimespec(accessed), toTimespec(modified)};
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

}  // namespace vdrec::platform
