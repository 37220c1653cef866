// What the tests that mount need from the machine: an empty text when it is
// all there, otherwise one line saying what to change. The tests print it
// and skip; they never fail for it.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fusecheck {

inline bool onPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// Mounts by this account: /dev/fuse open to it, fusermount3 and gocryptfs.
inline std::string missingForMounts()
{
    if (access("/dev/fuse", F_OK) != 0)
        return "/dev/fuse is missing: load the fuse module (modprobe fuse) or pass the device to the container";
    const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return "this account cannot open /dev/fuse (" + std::string(std::strerror(errno))
               + "): as root, chmod 0666 /dev/fuse (Debian's default)";
    close(fd);
    if (!onPath("fusermount3"))
        return "fusermount3 is missing: install the package fuse3";
    if (!onPath("gocryptfs"))
        return "gocryptfs is missing: install the package gocryptfs";
    return std::string();
}

} // namespace fusecheck
