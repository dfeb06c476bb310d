// Reading a file that the program takes in as a whole (preferences, workspaces' settings, stop lists,
// sentence exceptions, tag lists).
//
// Such a name comes from the user or from a settings file and may lead anywhere: to a FIFO that would
// block the program until someone writes to it, to a device that never ends (/dev/zero), or to a file
// far too large to be a list of words. Only a regular file of a sane size is read, and it is opened
// without waiting for anything.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The largest file read as a whole unless the caller says otherwise: far beyond any settings file or
// word list, far below what would exhaust memory.
constexpr uint64_t MaxWholeFileSize = 64ull << 20;

enum class TWholeFileStatus {
    Ok,
    Missing,     // no file of that name
    NotRegular,  // a folder, FIFO, device or socket
    TooLarge,    // more than the limit
    Unreadable,  // it exists but cannot be opened or read
};

// Reads the whole of the regular file FileName (symbolic links followed) into Data, refusing a file of
// more than MaxSize bytes, also one that grows beyond it while being read. Never blocks on a FIFO or a
// device: they are refused before anything is read. On any status but Ok, Data is empty.
TWholeFileStatus ReadRegularFile(const std::string& FileName, std::string& Data,
                                 uint64_t MaxSize = MaxWholeFileSize);

// A sentence for a message that says why FileName was not read, e.g. "/tmp/x is not a regular file."
// "" for Ok.
std::string WholeFileStatusText(TWholeFileStatus Status, const std::string& FileName);

// Whether FileName names a regular file (symbolic links followed); opens nothing.
bool IsRegularFile(const std::string& FileName);

// Opens FileName for reading without blocking (O_NONBLOCK, no controlling terminal) and keeps the
// descriptor only when it is a regular file; -1 otherwise (errno is EINVAL for another kind of file).
// The descriptor is blocking again on return; the caller closes it.
int OpenRegularFileForReading(const std::string& FileName);

}  // namespace platform
