// The per-OS primitives under the file-system layer: each is one small step of the operating
// system, implemented in fs_posix.cpp and in fs_win32.cpp. The policies built on them (read
// under a shared lock, update in place, replace through a temporary file, append) are written
// once, in fs_policy.cpp. Not part of the layer's interface.
//
// Every primitive marked "counted" is one operation for the fault-injection seam: it fails
// with an injected fault, which reads as a failing disk, before it touches the file.
#pragma once

#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvr::platform::os {

// An open file: a descriptor (POSIX) or a handle (Win32). Both are -1 when there is none.
using File = std::intptr_t;
constexpr File NoFile = -1;

// A path as the OS takes it: the UTF-8 path itself (POSIX) or the full UTF-16 path with the
// \\?\ prefix (Win32).
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif
NativePath nativePath(const char* utf8);

// True when `status` is the failure of a name that does not exist.
bool isMissing(const Status& status);

// Refuses, before it is opened, what must not be opened as a file: POSIX refuses all but a
// regular file (opening a device can act on it), Win32 a folder (a device is judged by its
// handle). Counted.
Status checkBeforeOpen(const NativePath& path);
// The same for a file updated in place, which must be the file itself: POSIX also refuses a
// symbolic link as the file or as a folder of a relative path. Counted, once a name checked.
Status checkInPlaceTarget(const NativePath& path);

enum class Access {
    ReadShared,     // read an existing file; other readers are welcome, writers are not
    UpdateInPlace,  // read and write an existing file, never created or truncated
    AppendOrCreate, // read and append; created empty when missing, never truncated
};
// Opens `path` without waiting for anything. Counted.
Status open(const NativePath& path, Access access, File& file);

// The size of an open file on disk; anything else (a folder, a pipe, a device) fails with
// NotARegularFile. Counted.
Status sizeOf(File file, uint64_t& size);

// Holds the file against other programs, without waiting: a shared or exclusive lock on POSIX
// (counted). Win32 has nothing to do: the sharing mode given when opening holds it.
Status lock(File file, bool exclusive);

// One call that moves up to `size` bytes; `moved` tells how many. Counted. A read from where
// the last one ended gives 0 at the end of the file.
Status read(File file, uint8_t* buffer, size_t size, size_t& moved);
Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size, size_t& moved);
Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size, size_t& moved);
// Writes at the end of a file opened with AppendOrCreate, `end` bytes long when nobody else
// writes to it.
Status append(File file, uint64_t end, const uint8_t* data, size_t size, size_t& moved);

// Makes what was written to the file durable. Counted.
Status flush(File file);
// Makes the name of `path` in its folder durable: a file created or renamed there survives a
// crash. Counted as each step it takes (none on Win32, where the rename writes through).
Status syncFolderOf(const NativePath& path);

// Closes the file. Counted: a close can report a failed write.
Status close(File file);
// Closes the file after a failure, when its result would change nothing. Not counted.
void closeQuietly(File file);

// Where a replacement writes: the target's path, its folder, and its bare name (UTF-8).
struct Place {
    NativePath path;
    NativePath folder;
    std::string base;
};
Place placeOf(const char* target);
// `name` (UTF-8) in `folder`.
NativePath pathIn(const NativePath& folder, const std::string& name);

// What a replacement keeps of the target it replaces.
struct TargetState {
    bool exists = false; // the target was there at the start
    bool keep = false;   // bits that the new file must be given before it takes the place
    uint32_t bits = 0;   // the permission bits (POSIX) or attributes (Win32) found
};
// Looks at the target without following a link there; a missing target is no failure.
// Win32 refuses a folder here already. Counted.
Status inspectTarget(const NativePath& target, TargetState& state);
// Gives the new file the bits of `state` that it keeps. Counted.
Status keepBits(File file, const TargetState& state);

// Creates the file `path` anew, for writing, held so that no other run's cleaner removes it
// while it is written (POSIX: an exclusive lock; Win32: no delete sharing). `nameTaken` is set,
// with a failed status, when another name must be tried. Counted as each step it takes.
Status createTemporary(const NativePath& path, File& file, bool& nameTaken);
// The temporary files of `base` (isTemporaryName) in `folder`; none when it cannot be listed.
// Not counted.
std::vector<NativePath> temporariesOf(const NativePath& folder, const std::string& base);
// Removes the temporary file at `path` if no writer holds it any more. Not counted: whatever
// happens here, the new file is written as before.
void removeIfAbandoned(const NativePath& path);
// False where a file must be closed before it can be renamed over another (Win32).
#ifdef _WIN32
constexpr bool RenamesOpenFiles = false;
#else
constexpr bool RenamesOpenFiles = true;
#endif
// Puts the temporary file in the place of the target, as one step. Counted.
Status moveIntoPlace(const NativePath& temporary, const NativePath& target,
                     const TargetState& state);
// Closes `file` (when open) and removes the temporary file `path` (when not empty), in the
// order the OS needs. Not counted.
void discardTemporary(File file, const NativePath& path);

} // namespace kvr::platform::os
