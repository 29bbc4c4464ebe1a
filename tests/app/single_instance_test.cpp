#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/application.h"
#include "app/page_test_support.h"
#include "support/test_support.h"

namespace vdrec::platform {
namespace {

TEST(SingleInstance, TheSecondHolderIsRefusedUntilTheFirstLetsGo) {
    test::TempDir dir;
    const std::string path = dir.file("app.lock");
    auto first = std::make_unique<SingleInstance>(path);
    EXPECT_FALSE(first->alreadyRunning());
    EXPECT_TRUE(SingleInstance(path).alreadyRunning());
    first.reset();
    EXPECT_FALSE(SingleInstance(path).alreadyRunning());
}

TEST(SingleInstance, AnotherProcessSeesTheLockAsAnotherInstance) {
    test::TempDir dir;
    const std::string path = dir.file("app.lock");
    SingleInstance held(path);
    ASSERT_FALSE(held.alreadyRunning());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only plain system calls between fork and _exit.
        SingleInstance second(path);
        ::_exit(second.alreadyRunning() ? 7 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(SingleInstance, AnUnwritableLockPlaceDoesNotKeepTheApplicationFromStarting) {
    EXPECT_FALSE(SingleInstance("/nonexistent-folder/app.lock").alreadyRunning());
}

TEST(Application, ASecondStartShowsTheMessageAndLeavesTheFirstRunning) {
    test::TempDir dir;
    test::PageSink sink;
    auto first = app::Application::start(sink, dir.file("app.lock"));
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->firstPage().visible);
    EXPECT_EQ(app::Application::start(sink, dir.file("app.lock")), nullptr);
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"Another instance of application is already running"}));
    EXPECT_TRUE(first->firstPage().visible);
}

}  // namespace
}  // namespace vdrec::platform
