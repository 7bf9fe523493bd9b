#pragma once

#include <dirent.h>

// Open file descriptors of this process, for leak checks.
inline int CountOpenFds() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}
