// The program's folders and file times, as the rest of the program expects them from the system.
//
// Every folder returned here ends in "/".
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The folder of the running executable; "" when it cannot be determined.
std::string ProgramFolder();

// The folder for the preferences file when the program's folder has none: $TESSIVOR_CONFIG_DIR when
// set and non-empty, else $XDG_CONFIG_HOME/tessivor, else $HOME/.config/tessivor. Created (with its
// parents) when missing; "" when no folder can be named.
std::string WindowsFolder();

// The system's temporary folder ($TMPDIR, else /tmp).
std::string TempDir();

// The path with a "/" appended unless it is empty or already ends in one.
std::string WithTrailingSlash(const std::string& Path);

// The file's modification time in local time, packed the DOS way: date in the high 16 bits (year - 1980
// in bits 9-15, month 1-12 in 5-8, day in 0-4), time in the low 16 (hour in 11-15, minute in 5-10,
// seconds / 2 in 0-4). -1 when the file cannot be examined or its time lies outside 1980..2107.
int32_t FileAge(const std::string& FileName);
// The same packing of a time given as seconds since the epoch.
int32_t DosDateTime(int64_t UnixSeconds);

}  // namespace platform
