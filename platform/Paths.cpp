#include "platform/Paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::string EnvOrEmpty(const char* Name) {
    const char* V = std::getenv(Name);
    return V ? std::string(V) : std::string();
}

}  // namespace

std::string WithTrailingSlash(const std::string& Path) {
    if (Path.empty() || Path.back() == '/') return Path;
    return Path + '/';
}

std::string ProgramFolder() {
    std::error_code Err;
    const fs::path Exe = fs::read_symlink("/proc/self/exe", Err);
    if (Err || !Exe.has_parent_path()) return {};
    return WithTrailingSlash(Exe.parent_path().string());
}

std::string WindowsFolder() {
    fs::path Folder;
    if (std::string Dir = EnvOrEmpty("TESSIVOR_CONFIG_DIR"); !Dir.empty())
        Folder = Dir;
    else if (std::string Xdg = EnvOrEmpty("XDG_CONFIG_HOME"); !Xdg.empty())
        Folder = fs::path(Xdg) / "tessivor";
    else if (std::string Home = EnvOrEmpty("HOME"); !Home.empty())
        Folder = fs::path(Home) / ".config" / "tessivor";
    else
        return {};
    std::error_code Err;
    fs::create_directories(Folder, Err);
    return WithTrailingSlash(Folder.string());
}

std::string TempDir() {
    std::error_code Err;
    const fs::path Dir = fs::temp_directory_path(Err);
    return Err ? std::string("/tmp/") : WithTrailingSlash(Dir.string());
}

int32_t DosDateTime(int64_t UnixSeconds) {
    const std::time_t T = static_cast<std::time_t>(UnixSeconds);
    std::tm Local{};
    if (!localtime_r(&T, &Local)) return -1;
    const int Year = Local.tm_year + 1900;
    if (Year < 1980 || Year > 2107) return -1;
    const uint32_t Date =
        static_cast<uint32_t>(((Year - 1980) << 9) | ((Local.tm_mon + 1) << 5) | Local.tm_mday);
    const uint32_t Time =
        static_cast<uint32_t>((Local.tm_hour << 11) | (Local.tm_min << 5) | (Local.tm_sec / 2));
    return static_cast<int32_t>((Date << 16) | Time);
}

int32_t FileAge(const std::string& FileName) {
    struct stat St;
    if (FileName.empty() || ::stat(FileName.c_str(), &St) != 0) return -1;
    return DosDateTime(static_cast<int64_t>(St.st_mtime));
}

}  // namespace platform
