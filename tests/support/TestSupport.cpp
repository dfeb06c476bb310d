#include "tests/support/TestSupport.h"

#include <malloc.h>
#include <signal.h>
#include <unistd.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

fs::path MakeTempFolder(const fs::path& Parent) {
    std::string pattern = (Parent / "tessivor-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

fs::path ProcessRoot;

}  // namespace

void InstallTestEnvironment() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    ProcessRoot = MakeTempFolder(fs::temp_directory_path());
    fs::create_directories(ProcessRoot / "config");
    fs::create_directories(ProcessRoot / "tmp");
    setenv("TESSIVOR_CONFIG_DIR", (ProcessRoot / "config").c_str(), 1);
    setenv("TMPDIR", (ProcessRoot / "tmp").c_str(), 1);
    // A forked child (a death test) that exits must leave the folders to the process that made them.
    static const pid_t Owner = getpid();
    std::atexit([] {
        if (getpid() != Owner) return;
        std::error_code ec;
        fs::remove_all(ProcessRoot, ec);
    });
}

TTempDir::TTempDir() : FPath(MakeTempFolder(fs::temp_directory_path())) {}

TTempDir::~TTempDir() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

std::string TTempDir::File(const std::string& Name) const {
    return (FPath / Name).string();
}

std::string TTempDir::Write(const std::string& Name, const std::string& Bytes) const {
    std::string path = File(Name);
    std::ofstream out(path, std::ios::binary);
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    return path;
}

std::string ReadWholeFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

TFileSizeLimit::TFileSizeLimit(rlim_t Bytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = Bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

TFileSizeLimit::~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldHandler);
}

int64_t HeapBytesInUse() {
    const struct mallinfo2 Info = mallinfo2();
    return static_cast<int64_t>(Info.uordblks + Info.hblkhd);
}
