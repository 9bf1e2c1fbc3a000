// Failures of the file system on demand, for the fault-injection tests: a full disk, a read-only folder,
// a failing flush or rename, a write that stops half-way, a crash in the middle of a save, and a file that
// another program empties, shortens, extends or removes while it is being read.
//
// The test program defines the C library's write, read, fsync, mkstemp, open and rename itself (see
// FaultInjection.cpp); each passes the call on to the real function unless a fault is armed for the file
// it concerns. Calls that glibc makes inside itself (fread, fopen, fwrite) do not pass through here. Only
// the fault-injection test executable links this: in any other program the definitions would take the
// place of the real functions for every caller.
//
// Each fault concerns the files whose path starts with `where`: one file's path, or a folder and
// everything below it. The test's own output and every other file are never touched. Arming a fault
// replaces an earlier one of the same kind; Reset() disarms everything. Arm and reset from one thread;
// the calls that meet a fault may come from any thread.
#pragma once

#include <cstddef>
#include <string>

namespace quillon::test::fault {

// write(): lets `bytes` more bytes through (the write that reaches the limit is shortened to end there),
// then fails with `error`: ENOSPC for a full disk, EIO for a failing device.
void FailWritesAfter(const std::string& where, std::size_t bytes, int error);
// write(): lets `bytes` more bytes through, then ends the process with SIGKILL, as a crash or a power cut
// in the middle of a save would.
void KillAfterWrites(const std::string& where, std::size_t bytes);
// mkstemp() and open() with O_CREAT fail with `error` for new files in `folder` (EROFS: a read-only file
// system; EACCES: a folder the user may not write, which root could otherwise always write).
void FailCreateIn(const std::string& folder, int error);
// fsync() fails with `error` (EIO: the data did not reach the disk).
void FailFsync(const std::string& where, int error);
// rename() onto a path under `where` fails with `error`.
void FailRename(const std::string& where, int error);

// What happens to a file while it is being read.
enum class Change {
    kEmptied,  // truncated to 0 bytes
    kHalved,   // truncated to half its length
    kExtended, // 100 bytes appended
    kRemoved,  // unlinked (the open file keeps its content)
};
// The first read() of the file at `path` delivers at most `firstBytes` bytes; the file is then changed.
void ChangeDuringRead(const std::string& path, Change change, std::size_t firstBytes);

// Disarms every fault and sets Hits() to 0.
void Reset();
// How many calls met an armed fault since the last Reset(): shows that a test's fault really happened.
int Hits();

} // namespace quillon::test::fault
