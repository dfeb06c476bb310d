#include "platform/IniFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/WholeFile.h"

namespace {

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimProfileSpace(const std::string& s) {
    size_t first = 0, last = s.size();
    while (first < last && IsProfileSpace(s[first])) ++first;
    while (last > first && IsProfileSpace(s[last - 1])) --last;
    return s.substr(first, last - first);
}

std::string Fold(const std::string& s) {
    std::string folded = s;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return folded;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// What the profile functions return for the text right of "=": trimmed, one pair of quotes dropped.
std::string DecodeValue(const std::string& Raw) {
    std::string v = TrimProfileSpace(Raw);
    if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()) return v.substr(1, v.size() - 2);
    return v;
}

// The inverse of DecodeValue for any single-line value.
std::string EncodeValue(const std::string& Value) {
    std::string v = Value.substr(0, Value.find_first_of(std::string("\0\r\n", 3)));
    if (v.empty()) return v;
    bool altered = IsProfileSpace(v.front()) || IsProfileSpace(v.back()) ||
                   (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front());
    return altered ? '"' + v + '"' : v;
}

// A key or section name must stay on its line.
std::string SingleLine(const std::string& s) {
    return s.substr(0, s.find_first_of(std::string("\0\r\n", 3)));
}

// The form in which section and key names are looked up.
std::string LookupName(const std::string& s) {
    return Fold(SingleLine(s));
}

bool ParseInt32Impl(const std::string& Text, int& Result) {
    const char* p = Text.data();
    const char* end = p + Text.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int base = 10;
    if (p < end && *p == '$') {
        base = 16;
        ++p;
    } else if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p == end) return false;
    uint64_t magnitude = 0;
    auto [stop, ec] = std::from_chars(p, end, magnitude, base);
    if (ec != std::errc() || stop != end) return false;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFull) return false;
        uint32_t bits = uint32_t(magnitude);
        if (negative) bits = 0u - bits;
        Result = int(int32_t(bits));
        return true;
    }
    if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return false;
    Result = negative ? int(-int64_t(magnitude)) : int(magnitude);
    return true;
}

bool ParseFloat(std::string Text, double& Result) {
    if (Text.find(',') != std::string::npos && Text.find('.') == std::string::npos) {
        size_t comma = Text.find(',');
        if (Text.find(',', comma + 1) != std::string::npos) return false;
        Text[comma] = '.';
    }
    const char* p = Text.data();
    const char* end = p + Text.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || !(std::isdigit(static_cast<unsigned char>(*p)) || *p == '.')) return false;
    double value = 0;
    auto [stop, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc() || stop != end || !std::isfinite(value)) return false;
    Result = negative ? -value : value;
    return true;
}

std::atomic<unsigned> TempCounter{0};

// Returns 0 or the errno of the failed write.
int WriteAll(int Fd, const std::string& Data) {
    const char* p = Data.data();
    size_t left = Data.size();
    while (left > 0) {
        ssize_t n = ::write(Fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= size_t(n);
    }
    return 0;
}

// Writes, flushes and closes Fd; returns 0 or the errno of the first failure. Fd is closed either way.
int WriteAndClose(int Fd, const std::string& Data) {
    int error = WriteAll(Fd, Data);
    if (!error && ::fsync(Fd) != 0) error = errno;
    if (::close(Fd) != 0 && !error) error = errno;
    return error;
}

}  // namespace

bool TryStrToInt(const std::string& Text, int& Value) {
    return ParseInt32Impl(Text, Value);
}

TIniFile::TIniFile(std::string FileName, TOpenMode Mode) : FFileName(std::move(FileName)) {
    FSections.push_back(std::make_unique<TSection>());
    if (Mode == TOpenMode::StartEmpty) return;
    std::string data;
    const platform::TWholeFileStatus status = platform::ReadRegularFile(FFileName, data);
    if (status == platform::TWholeFileStatus::Missing) return;
    if (status != platform::TWholeFileStatus::Ok)
        throw EIniFileError(platform::WholeFileStatusText(status, FFileName));
    Parse(data);
}

TIniFile::~TIniFile() = default;

void TIniFile::Parse(const std::string& Data) {
    // Another kind of file shows itself by control bytes, which no settings text holds: a NUL, or any of
    // 1 to 31 but the tab, the line ends, the form feed and the end-of-file mark of old editors (26).
    FWellFormed = std::none_of(Data.begin(), Data.end(), [](char C) {
        const auto B = static_cast<unsigned char>(C);
        return (B < 32 && B != '\t' && B != '\n' && B != '\r' && B != '\f' && B != 26) || B == 127;
    });
    // Editors may put a UTF-8 byte-order mark before the first section header.
    size_t start = Data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < Data.size()) {
        // CR LF, a lone LF and a lone CR (files from old Macintosh editors) all end a line.
        size_t end = Data.find_first_of("\r\n", start);
        if (end == std::string::npos) end = Data.size();
        size_t next = end + 1;
        if (end < Data.size() && Data[end] == '\r' && next < Data.size() && Data[next] == '\n') ++next;
        // No value written here can hold a NUL, and every reader of a value takes a NUL as its end.
        AddLine(SingleLine(Data.substr(start, end - start)));
        start = next;
    }
    RebuildSectionIndex();
}

void TIniFile::AddLine(const std::string& Line) {
    std::string trimmed = TrimProfileSpace(Line);
    TSection& current = *FSections.back();
    if (trimmed.empty() || trimmed.front() == ';') {
        current.Trailer.push_back({Line, false, {}});
        return;
    }
    size_t close = trimmed.rfind(']');
    if (trimmed.front() == '[' && close != std::string::npos) {
        auto section = std::make_unique<TSection>();
        section->Name = trimmed.substr(1, close - 1);
        FSections.push_back(std::move(section));
        return;
    }
    // A header that lost its "]" would put the keys after it into the section before.
    if (trimmed.front() == '[') FWellFormed = false;
    // Blank and comment lines followed by more keys are inside the section, not closing it.
    for (TLine& inner : current.Trailer) current.Lines.push_back(std::move(inner));
    current.Trailer.clear();
    size_t equals = trimmed.find('=');
    TLine line{Line, true, TrimProfileSpace(trimmed.substr(0, equals))};
    current.KeyIndex.emplace(Fold(line.Key), current.Lines.size());
    current.Lines.push_back(std::move(line));
}

void TIniFile::RebuildSectionIndex() {
    FSectionIndex.clear();
    for (size_t i = 1; i < FSections.size(); ++i) FSectionIndex.emplace(Fold(FSections[i]->Name), i);
}

const TIniFile::TSection* TIniFile::FindSection(const std::string& Section) const {
    auto it = FSectionIndex.find(LookupName(Section));
    return it == FSectionIndex.end() ? nullptr : FSections[it->second].get();
}

TIniFile::TSection& TIniFile::SectionForWrite(const std::string& Section) {
    auto it = FSectionIndex.find(LookupName(Section));
    if (it != FSectionIndex.end()) return *FSections[it->second];
    TSection& last = *FSections.back();
    // A blank line between sections keeps the file readable for people who edit it.
    if ((!last.Lines.empty() || FSections.size() > 1) && last.Trailer.empty()) last.Trailer.push_back({});
    auto section = std::make_unique<TSection>();
    section->Name = SingleLine(Section);
    FSectionIndex.emplace(Fold(section->Name), FSections.size());
    FSections.push_back(std::move(section));
    return *FSections.back();
}

const TIniFile::TLine* TIniFile::FindKey(const std::string& Section, const std::string& Ident) const {
    const TSection* section = FindSection(Section);
    if (!section) return nullptr;
    auto it = section->KeyIndex.find(LookupName(Ident));
    return it == section->KeyIndex.end() ? nullptr : &section->Lines[it->second];
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
    const TLine* line = FindKey(Section, Ident);
    if (!line) return Default;
    size_t equals = line->Text.find('=');
    return equals == std::string::npos ? std::string() : DecodeValue(line->Text.substr(equals + 1));
}

int TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int Default) const {
    const TLine* line = FindKey(Section, Ident);
    if (!line) return Default;
    int value = 0;
    return TryStrToInt(ReadString(Section, Ident, {}), value) ? value : Default;
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const std::string& Section, const std::string& Ident, double Default) const {
    if (!FindKey(Section, Ident)) return Default;
    double value = 0;
    return ParseFloat(ReadString(Section, Ident, {}), value) ? value : Default;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
    TSection& section = SectionForWrite(Section);
    std::string key = SingleLine(Ident);
    std::string folded = Fold(key);
    auto it = section.KeyIndex.find(folded);
    if (it != section.KeyIndex.end()) {
        TLine& line = section.Lines[it->second];
        line.Text = line.Key + "=" + EncodeValue(Value);
        return;
    }
    section.KeyIndex.emplace(folded, section.Lines.size());
    section.Lines.push_back({key + "=" + EncodeValue(Value), true, key});
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
    WriteString(Section, Ident, std::to_string(Value));
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::WriteFloat(const std::string& Section, const std::string& Ident, double Value) {
    // Fixed notation: the shortest plain decimal text that reads back to the same double. The longest
    // such text (the smallest subnormal) has 326 characters.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, Value, std::chars_format::fixed);
    WriteString(Section, Ident, std::string(buffer, ec == std::errc() ? end : buffer));
}

bool TIniFile::SectionExists(const std::string& Section) const {
    return FindSection(Section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
    return FindKey(Section, Ident) != nullptr;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    for (size_t i = 1; i < FSections.size(); ++i) {
        auto it = FSectionIndex.find(Fold(FSections[i]->Name));
        if (it != FSectionIndex.end() && it->second == i) names.push_back(FSections[i]->Name);
    }
    return names;
}

void TIniFile::CopySection(const TIniFile& Source, const std::string& Section) {
    const TSection* from = Source.FindSection(Section);
    if (!from) return;
    EraseSection(Section);
    TSection& to = SectionForWrite(from->Name);
    to.Lines = from->Lines;
    to.Trailer = from->Trailer;
    to.KeyIndex = from->KeyIndex;
}

void TIniFile::EraseSection(const std::string& Section) {
    std::string folded = LookupName(Section);
    for (size_t i = FSections.size(); i-- > 1;)
        if (Fold(FSections[i]->Name) == folded) FSections.erase(FSections.begin() + std::ptrdiff_t(i));
    RebuildSectionIndex();
}

std::string TIniFile::Content() const {
    std::string out;
    for (size_t i = 0; i < FSections.size(); ++i) {
        const TSection& section = *FSections[i];
        if (i > 0) out += "[" + section.Name + "]\r\n";
        for (const TLine& line : section.Lines) out += line.Text + "\r\n";
        for (const TLine& line : section.Trailer) out += line.Text + "\r\n";
    }
    return out;
}

void TIniFile::UpdateFile() {
    ReplaceFileAtomically(FFileName, Content());
}

namespace {

// Root passes every permission check, yet a file its owner made read-only must stay so; for root the
// mode bits alone decide (any write bit will do, as any execute bit does for running a file).
bool ModeAllowsWriting(const std::string& Path, const struct stat& Info) {
    if (::geteuid() == 0) return (Info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::faccessat(AT_FDCWD, Path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

std::string ReplaceTarget(const std::string& Path) {
    namespace fs = std::filesystem;
    fs::path current = Path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) return current.string();
        fs::path target = fs::read_symlink(current, ec);
        if (ec) throw EIniFileError("Cannot write " + Path + ": " + ec.message());
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    throw EIniFileError("Cannot write " + Path + ": " + std::strerror(ELOOP));
}

bool FileModeAllowsWriting(const std::string& Path) {
    struct stat info {};
    if (::stat(Path.c_str(), &info) != 0) return errno == ENOENT;
    return ModeAllowsWriting(Path, info);
}

void ReplaceFileAtomically(const std::string& Path, const std::string& Data) {
    // The new file must take the place of the link's target, or the link would become a plain file.
    const std::string target = ReplaceTarget(Path);
    mode_t mode = 0666;
    bool keepMode = false;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // A FIFO or a device is no settings file, whatever name it goes by.
        if (!S_ISREG(old.st_mode)) throw EIniFileError("Cannot write " + Path + ": it is not a regular file");
        // A rename ignores the mode of the file it replaces: refuse here what writing in place would.
        if (!ModeAllowsWriting(target, old))
            throw EIniFileError("Cannot write " + Path + ": " + std::strerror(EACCES));
        mode = old.st_mode & 07777;
        keepMode = true;
    }
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(TempCounter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // The umask applies to a new file; the old file's mode must come through unchanged.
        if (keepMode && ::fchmod(fd, mode) != 0) {
            error = errno;
            ::close(fd);
        } else {
            error = WriteAndClose(fd, Data);
        }
    }
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        if (fd >= 0) ::unlink(temp.c_str());
        throw EIniFileError("Cannot write " + Path + ": " + std::strerror(error));
    }
}

bool ProbeReadWrite(const std::string& Path) {
    if (!FileModeAllowsWriting(Path)) return false;
    // Without O_NONBLOCK a FIFO would hold the probe until someone opened its other end.
    int fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

bool ProbeFolderWritable(const std::string& Folder) {
    return ::faccessat(AT_FDCWD, Folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}
