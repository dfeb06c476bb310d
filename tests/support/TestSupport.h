// Shared test fixtures: every test process works in its own temporary folders.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <string>

// Points the config folder (TESSIVOR_CONFIG_DIR) and the temporary folder (TMPDIR) of this process at
// fresh folders under the system's temporary folder, so no test touches the user's files.
void InstallTestEnvironment();

// A fresh folder, removed with everything in it when the object dies.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Path() / Name as a string.
    std::string File(const std::string& Name) const;
    // Writes Bytes to Path() / Name and returns its full path.
    std::string Write(const std::string& Name, const std::string& Bytes) const;

private:
    std::filesystem::path FPath;
};

// The whole content of a file as bytes ("" when it cannot be read).
std::string ReadWholeFile(const std::string& Path);

// The bytes the allocator has handed out and not had back (its main arena and its separately mapped
// blocks). Meaningless under a sanitizer, whose allocator is its own.
int64_t HeapBytesInUse();

// Lowers the file-size limit of the process while it lives, so that writing a file beyond Bytes fails
// (with SIGXFSZ ignored). Tests run as root, whom permissions do not stop; this still makes a write fail.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};
