// For tests of what a kill leaves behind: a child process saves over and over until it is killed.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velkora::testing {

// Forks a writer that calls save(0), save(1), ... until it is killed with SIGKILL, once it has
// saved once and `delay` microseconds more have passed (it is then in the middle of a save).
inline void killWhileSaving(const std::function<void(int)> &save, useconds_t delay)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        try {
            for (int i = 0;; ++i) {
                save(i);
                if (i == 0 && write(ready[1], "x", 1) != 1)
                    _exit(4);
            }
        } catch (...) {
            _exit(3);
        }
    }
    close(ready[1]);
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    close(ready[0]);
    usleep(delay);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
}

} // namespace velkora::testing
