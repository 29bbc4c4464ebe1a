#include "platform/file_times.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace vdrec::platform {
namespace {

// Runs `check` with the process in zone `zone`, on a thread of its own so no converted hour of
// an earlier zone is remembered.
void inZone(const char* zone, const std::function<void()>& check) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("TZ", zone, 1);
    tzset();
    std::thread(check).join();
    if (previous != nullptr) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

TEST(ListTimeText, MatchesTheCLibraryAcrossOffsetChanges) {
    // Whole-hour, half-hour and quarter-hour changes, a zone that never changes, leap seconds,
    // an offset with seconds (Amsterdam until 1937: +00:19:32).
    const char* zones[] = {"America/New_York", "Europe/London", "Australia/Lord_Howe", "Asia/Kathmandu",
                           "UTC", "right/Europe/Berlin", "Europe/Amsterdam"};
    // Two years around 2021's changes in steps that land on every minute of the hour, then
    // single times far before 1970, far ahead and at the edge of four-digit years.
    std::vector<int64_t> times;
    for (int64_t t = 1600000000; t < 1600000000 + 2 * 366 * 86400; t += 1021) times.push_back(t);
    for (int64_t t : {int64_t{-2208988800}, int64_t{-1}, int64_t{0}, int64_t{59}, int64_t{4102444799},
                      int64_t{253402300799}, int64_t{253402300800}, int64_t{-62135596800}, int64_t{1} << 41})
        times.push_back(t);
    for (int64_t t = -1420000000; t < -1420000000 + 600; ++t) times.push_back(t);
    for (const char* zone : zones) {
        inZone(zone, [&] {
            size_t mismatches = 0;
            for (int64_t t : times)
                if (listTimeText({t, 0}) != localListTimeText({t, 0}) && ++mismatches < 5)
                    ADD_FAILURE() << zone << " at " << t << ": " << listTimeText({t, 0}) << " vs "
                                  << localListTimeText({t, 0});
            EXPECT_EQ(mismatches, 0u) << zone;
        });
    }
}

TEST(ListTimeText, ShowsTheMonthFirstAndTwelveHourClock) {
    inZone("UTC", [] {
        EXPECT_EQ(listTimeText({1609459200, 0}), "01/01/2021  00:00 AM");
        EXPECT_EQ(listTimeText({1609502400, 0}), "01/01/2021  12:00 AM");
        EXPECT_EQ(listTimeText({1609504140, 0}), "01/01/2021  12:29 AM");
        EXPECT_EQ(listTimeText({1609506000, 0}), "01/01/2021  01:00 PM");
        std::string appended = "x";
        appendListTimeText(appended, {951782400, 0});
        EXPECT_EQ(appended, "x02/29/2000  00:00 AM");
    });
}

}  // namespace
}  // namespace vdrec::platform
