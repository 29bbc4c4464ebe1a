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
    // Listings show minutes only and files tend to share them: remember the last few texts,
    // since converting to local time is the costly part of a large listing.
    struct Remembered {
        int64_t minute = INT64_MIN;
        std::string text;
    };
    thread_local Remembered remembered[4];
    thread_local unsigned next = 0;
    const int64_t minute = time.seconds >= 0 ? time.seconds / 60 : (time.seconds - 59) / 60;
    for (const auto& entry : remembered)
        if (entry.minute == minute) return entry.text;
    Remembered& slot = remembered[next++ % 4];
    slot.minute = minute;
    slot.text = localListTimeText(time);
    return slot.text;
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

int setOpenFileTimes(int fd, std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    const timespec times[2] = {toTimespec(accessed), toTimespec(modified)};
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

}  // namespace vdrec::platform
