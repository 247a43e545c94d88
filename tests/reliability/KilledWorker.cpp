#include "KilledWorker.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace chengfan::reliability {

void runUntilKilled(const std::function<void()>& work, long delayNs) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        for (;;) work();
    }
    const timespec delay{0, delayNs};
    ::nanosleep(&delay, nullptr);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

}  // namespace chengfan::reliability
