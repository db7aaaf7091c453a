#include "listfile/file_access.h"

#include <algorithm>

#include "ui/handles.h"

namespace listfile {
namespace {

constexpr DWORD kChunkBytes = 1024 * 1024;
// Names tried for the temporary file before giving up (each one taken already, say by a crashed run).
constexpr int kTemporaryNames = 100;
// A target another program holds is tried again for about a second.
constexpr int kHeldAttempts = 10;
constexpr DWORD kHeldRetryMs = 100;

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error ? error : fallback;
}

// The temporary file beside the target; deleted when it goes, unless it was moved over the target.
class TemporaryFile {
public:
    ~TemporaryFile() {
        file_.reset();
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }

    DWORD CreateBeside(const std::wstring& target) {
        for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
            std::wstring path = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(attempt) + L".tmp";
            const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                            nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                file_.reset(file);
                path_ = std::move(path);
                return 0;
            }
            const DWORD error = LastErrorOr(ERROR_WRITE_FAULT);
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error;
        }
        return ERROR_FILE_EXISTS;
    }

    DWORD Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), kChunkBytes));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
            if (written == 0) return ERROR_WRITE_FAULT;
            bytes.remove_prefix(written);
        }
        return FlushFileBuffers(file_.get()) ? 0 : LastErrorOr(ERROR_WRITE_FAULT);
    }

    // Puts the file in the target's place; a target another program holds is tried again a while.
    DWORD MoveOver(const std::wstring& target) {
        file_.reset();
        for (int attempt = 1;; ++attempt) {
            const DWORD error = PutInPlace(target);
            if (error == 0) path_.clear();
            if (error == 0 || !IsHeldElsewhere(error) || attempt == kHeldAttempts) return error;
            Sleep(kHeldRetryMs);
        }
    }

private:
    // An existing target is replaced, so it keeps its permissions, attributes and owner; the earlier
    // file goes through a backup name, so that a failed replace leaves it under its own name.
    DWORD PutInPlace(const std::wstring& target) {
        const std::wstring backup = path_ + L".old";
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (ReplaceFileW(target.c_str(), path_.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            DeleteFileW(backup.c_str());
            // Where the attributes could not be merged (the merge errors are ignored), or the platform
            // merges none, they are set again: a hidden or archived list stays so.
            if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target.c_str()) != attributes)
                SetFileAttributesW(target.c_str(), attributes);
            return 0;
        }
        const DWORD error = LastErrorOr(ERROR_WRITE_FAULT);
        // The earlier file went to the backup name and the new one could not take its place: it goes back.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (error != ERROR_FILE_NOT_FOUND) return error;
        if (MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
        return LastErrorOr(ERROR_WRITE_FAULT);
    }

    ui::UniqueHandleObject file_;
    std::wstring path_;
};

}  // namespace

bool IsHeldElsewhere(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_USER_MAPPED_FILE;
}

DWORD ReadFileStart(const std::wstring& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    const HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    const ui::UniqueHandleObject file(opened);
    while (bytes.size() < maxBytes) {
        const size_t start = bytes.size();
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(maxBytes - start, kChunkBytes));
        bytes.resize(start + chunk);
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + start, chunk, &read, nullptr)) {
            bytes.clear();
            return LastErrorOr(ERROR_READ_FAULT);
        }
        bytes.resize(start + read);
        if (read == 0) break;
    }
    return 0;
}

DWORD WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    TemporaryFile temporary;
    if (const DWORD error = temporary.CreateBeside(path)) return error;
    if (const DWORD error = temporary.Write(bytes)) return error;
    return temporary.MoveOver(path);
}

}  // namespace listfile
