// The per-OS parts of the file-system layer that sit between the policies (fs_policy.cpp) and
// the Env's steps (env.h): paths, the checks before an open, the look at a replaced target,
// the temporary files, implemented in fs_posix.cpp and in fs_win32.cpp. Each step they take
// goes through the Env given; what they do without one is marked "not a step". Not part of the
// layer's interface.
#pragma once

#include "platform/env.h"
#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvr::platform::os {

NativePath nativePath(const char* utf8);

// True when `status` is the failure of a name that does not exist.
bool isMissing(const Status& status);
// True when `status` is the failure of a create on a name that is taken.
bool isNameTaken(const Status& status);

// Refuses, before it is opened, what must not be opened as a file: POSIX refuses all but a
// regular file (opening a device can act on it), Win32 a folder (a device is judged by its
// handle). One step.
Status checkBeforeOpen(Env& env, const NativePath& path);
// The same for a file updated in place, which must be the file itself: POSIX also refuses a
// symbolic link as the file or as a folder of the path after its first `checkedFrom` bytes
// (none when that is past its end). One step a name checked.
Status checkInPlaceTarget(Env& env, const NativePath& path, size_t checkedFrom);

// False where the sharing mode of the open holds a file and no lock is taken (Win32).
#ifdef _WIN32
constexpr bool LocksFiles = false;
#else
constexpr bool LocksFiles = true;
#endif

// Makes the name of `path` in its folder durable: a file created or renamed there survives a
// crash. The steps of opening, flushing and closing the folder (none on Win32, where the
// rename writes through).
Status syncFolderOf(Env& env, const NativePath& path);

// Where a replacement writes: the target's path, its folder, and its bare name (UTF-8).
struct Place {
    NativePath path;
    NativePath folder;
    std::string base;
};
Place placeOf(const char* target);
// `name` (UTF-8) in `folder`.
NativePath pathIn(const NativePath& folder, const std::string& name);

// Looks at the target without following a link there; a missing target is no failure.
// Win32 refuses a folder here already. One step.
Status inspectTarget(Env& env, const NativePath& target, TargetState& state);

// Creates the file `path` anew, for writing, held so that no other run's cleaner removes it
// while it is written (POSIX: an exclusive lock; Win32: no delete sharing). `nameTaken` is set,
// with a failed status, when another name must be tried. The steps of the open, and on POSIX
// of the lock and the look at the held file.
Status createTemporary(Env& env, const NativePath& path, File& file, bool& nameTaken);
// The temporary files of `base` (isTemporaryName) in `folder`; none when it cannot be listed.
// Not a step.
std::vector<NativePath> temporariesOf(const NativePath& folder, const std::string& base);
// Removes the temporary file at `path` if no writer holds it any more. Not a step: whatever
// happens here, the new file is written as before.
void removeIfAbandoned(const NativePath& path);
// False where a file must be closed before it can be renamed over another (Win32).
#ifdef _WIN32
constexpr bool RenamesOpenFiles = false;
#else
constexpr bool RenamesOpenFiles = true;
#endif
// Closes `file` (when open) and removes the temporary file `path` (when not empty), in the
// order the OS needs. Not a step.
void discardTemporary(File file, const NativePath& path);

} // namespace kvr::platform::os
