// Shared by the Win32 files of the file-system layer (fs_win32.cpp, fs_win32_os.cpp): wide
// paths and the failures of the calls that just failed. Not part of the layer's interface.
#pragma once

#include "platform/env.h"
#include "platform/fs.h"
#include "platform/win32.h"

#include <cstddef>
#include <string>

namespace kvr::platform::win32 {

std::wstring toWide(const std::string& utf8);
std::string fromWide(const wchar_t* wide, size_t length);
std::string fromWide(const wchar_t* wide);

// The failure with error code `code`, normally GetLastError() of the call that just failed.
Status osError(DWORD code);
Status lastError();

// `path` as a full path with the \\?\ prefix (\\?\UNC\ for a share); a device path (\\.\)
// stays as it is. Slashes become backslashes, as the prefix turns off that conversion.
std::wstring fullPath(const std::string& path);
// The folder part of a full path and its last name.
std::wstring folderOf(const std::wstring& full);
std::wstring lastName(const std::wstring& full);
// The pattern that lists `fullFolder` (a full path) for names ending in `suffix`.
std::wstring searchPattern(std::wstring fullFolder, const std::string& suffix);

inline HANDLE handleOf(File file) {
    return reinterpret_cast<HANDLE>(file);
}

// Attributes a replaced file keeps. Windows' replace call keeps them itself; Wine's does not,
// so they are given to the new file before it takes the target's place.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace kvr::platform::win32
