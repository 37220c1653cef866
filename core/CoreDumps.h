#pragma once

// Passwords pass through the programs' memory: a crash must not write them
// into a core file, and another process of the same account must not read
// that memory through ptrace or /proc/<pid>/mem.
class CoreDumps
{
public:
    // Marks the calling process as not dumpable. Called first thing in
    // every program's main(); true when it took effect.
    static bool disable();
};
