#pragma once
// Running part of a test as an ordinary user. Root ignores file permissions, so a test of
// "permission denied" proves nothing as root: the work runs in a child process that has dropped
// to the user "nobody" (when the test runs as root; otherwise it keeps the current user).

#include <functional>

namespace corvane::test {

// In a freshly forked child, before it runs the body or execs: drops the supplementary groups,
// the group and the user to "nobody" when running as root. False when that failed. Only makes
// system calls, so it is safe between fork() and exec() of a threaded program.
bool DropPrivileges();

// Runs `body` in a forked child and returns its result (0 conventionally means success), or
// -1 when the child could not be started or did not end normally. Keep the body to plain file
// and image calls; it cannot report through gtest.
int RunUnprivileged(const std::function<int()>& body);

}  // namespace corvane::test
