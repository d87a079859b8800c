// The watch's look, wake and stop requests on Win32: one folder search gives names, sizes and
// times at once; a change notification wakes it; a console control handler asks it to stop.
#include "platform/folder_watch.h"

#include "platform/env.h"
#include "platform/os_file.h"
#include "platform/watch_os.h"
#include "platform/wide_text.h"
#include "platform/win32.h"

#include <cwchar>

namespace kvr::platform {

namespace {

HANDLE stopFinished = nullptr; // set by stopDone()

int64_t ticks(FILETIME time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

uint64_t sizeOf(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

BOOL WINAPI onConsoleControl(DWORD event) {
    systemStopToken().request();
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

namespace os {

Status lookAtFolder(const std::string& folder, const char* extension,
                    std::vector<StampedEntry>& entries) {
    entries.clear();
    std::wstring pattern = nativePath(folder.c_str());
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

Status stampOf(const std::string& path, FileStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(nativePath(path.c_str()).c_str(), GetFileExInfoStandard, &data)) {
        return systemError(static_cast<long>(GetLastError()));
    }
    stamp.size = sizeOf(data.nFileSizeHigh, data.nFileSizeLow);
    stamp.modified = ticks(data.ftLastWriteTime);
    return Status();
}

namespace {

class ChangeWake final : public SlicedWake {
  public:
    ChangeWake() = default;
    ~ChangeWake() override { stop(); }
    ChangeWake(const ChangeWake&) = delete;
    ChangeWake& operator=(const ChangeWake&) = delete;

    bool watch(const std::string& folder) override {
        stop();
        change_ = FindFirstChangeNotificationW(
            nativePath(folder.c_str()).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                FILE_NOTIFY_CHANGE_LAST_WRITE);
        return change_ != INVALID_HANDLE_VALUE;
    }

  private:
    bool waitSlice(std::chrono::milliseconds slice) override {
        const DWORD waited = static_cast<DWORD>(slice.count());
        if (change_ == INVALID_HANDLE_VALUE) {
            Sleep(waited);
            return false;
        }
        if (WaitForSingleObject(change_, waited) != WAIT_OBJECT_0) {
            return false;
        }
        FindNextChangeNotification(change_);
        return true;
    }

    void stop() {
        if (change_ != INVALID_HANDLE_VALUE) {
            FindCloseChangeNotification(change_);
            change_ = INVALID_HANDLE_VALUE;
        }
    }

    HANDLE change_ = INVALID_HANDLE_VALUE;
};

} // namespace

std::unique_ptr<FolderWake> folderWake() {
    return std::make_unique<ChangeWake>();
}

} // namespace os

void catchStopRequests() {
    if (stopFinished == nullptr) {
        stopFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void stopDone() {
    if (stopFinished != nullptr) {
        SetEvent(stopFinished);
    }
}

} // namespace kvr::platform
