#include "platform/posix/child_process.h"

#include <sys/wait.h>

#include <cerrno>

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}
