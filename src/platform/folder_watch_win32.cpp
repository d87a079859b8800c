// The watch's look, wake and stop requests on Win32: one folder search gives names, sizes and
// times at once; a change notification wakes it; a console control handler asks it to stop.
#include "platform/folder_watch.h"

#include "platform/env.h"
#include "platform/os_file.h"
#include "platform/wide_text.h"
#include "platform/win32.h"

#include <atomic>
#include <cwchar>

namespace kvr::platform {

namespace {

std::atomic<bool> stopAsked{false};
HANDLE stopFinished = nullptr; // set by stopDone()

int64_t ticks(FILETIME time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

uint64_t sizeOf(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

BOOL WINAPI onConsoleControl(DWORD event) {
    stopAsked.store(true);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The process ends when this returns: let the watch finish its run and its history
        // line first. Windows allows a closing console about five seconds.
        if (stopFinished != nullptr) {
            WaitForSingleObject(stopFinished, 4500);
        }
    }
    return TRUE;
}

} // namespace

Status lookAtFolder(const char* folder, const char* extension, std::vector<StampedEntry>& entries) {
    entries.clear();
    std::wstring pattern = os::nativePath(folder);
    if (!pattern.empty() && pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Status() : systemError(static_cast<long>(error));
    }
    for (;;) {
        const size_t length = wcslen(found.cFileName);
        std::string name = utf8FromUtf16(std::u16string(found.cFileName, found.cFileName + length));
        if (name != "." && name != ".." && nameHasExtension(name, extension)) {
            StampedEntry entry;
            entry.name = std::move(name);
            entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!entry.isFolder) {
                entry.stamp.size = sizeOf(found.nFileSizeHigh, found.nFileSizeLow);
                entry.stamp.modified = ticks(found.ftLastWriteTime);
            }
            entries.push_back(std::move(entry));
        }
        if (!FindNextFileW(search, &found)) {
            const DWORD error = GetLastError();
            FindClose(search);
            return error == ERROR_NO_MORE_FILES ? Status() : systemError(static_cast<long>(error));
        }
    }
}

Status stampOf(const char* path, FileStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(os::nativePath(path).c_str(), GetFileExInfoStandard, &data)) {
        return systemError(static_cast<long>(GetLastError()));
    }
    stamp.size = sizeOf(data.nFileSizeHigh, data.nFileSizeLow);
    stamp.modified = ticks(data.ftLastWriteTime);
    return Status();
}

struct FolderWake::State {
    HANDLE change = INVALID_HANDLE_VALUE;
};

FolderWake::FolderWake() : state_(std::make_unique<State>()) {}

FolderWake::~FolderWake() {
    if (state_->change != INVALID_HANDLE_VALUE) {
        FindCloseChangeNotification(state_->change);
    }
}

bool FolderWake::watch(const std::string& folder) {
    if (state_->change != INVALID_HANDLE_VALUE) {
        FindCloseChangeNotification(state_->change);
    }
    state_->change =
        FindFirstChangeNotificationW(os::nativePath(folder.c_str()).c_str(), FALSE,
                                     FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                         FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    return state_->change != INVALID_HANDLE_VALUE;
}

bool FolderWake::waitSlice(std::chrono::milliseconds slice) {
    const DWORD waited = static_cast<DWORD>(slice.count());
    if (state_->change == INVALID_HANDLE_VALUE) {
        Sleep(waited);
        return false;
    }
    if (WaitForSingleObject(state_->change, waited) != WAIT_OBJECT_0) {
        return false;
    }
    FindNextChangeNotification(state_->change);
    return true;
}

void catchStopRequests() {
    if (stopFinished == nullptr) {
        stopFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool stopRequested() {
    return stopAsked.load();
}

void requestStop() {
    stopAsked.store(true);
}

void stopDone() {
    if (stopFinished != nullptr) {
        SetEvent(stopFinished);
    }
}

} // namespace kvr::platform
