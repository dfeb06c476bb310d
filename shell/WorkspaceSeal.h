// What a workspace's two files are checked with, so that damage is found rather than used.
//
// The data file (".BIN") ends with a seal: the checksum and place of every block, and per language the
// locale its data were computed for with the size, time and content sum of every corpus file and
// converted copy (seals of version 1, written before the sums were kept, are read too).
// It is stored as the trailer's last entry under "PARAALIGN14", a tag whose pair list every reader of
// the format reads and throws away: the seal's list holds no pair, and what it carries lies after the
// list inside the block, where such readers skip to the block's end. The file's last 12 bytes say where
// the seal starts and what its checksum is.
//
// The settings file (".TWS") ends with the section "WorkspaceEnd", written last: a settings file
// without it was cut short. It holds the seal's checksum, which ties the settings to the one data file
// saved with them, and the seal holds the checksum of everything in the settings file before it.
// Qt-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TStream;

// One corpus file as the data file was saved: its time, size and content sum (ContentSum.h), and those of
// its converted copy. A file's time may change with its text unchanged (a project copied without keeping
// file times); its size and sum then tell whether it is the file saved. Seals written before the sums
// were kept hold none.
struct TSealedFile {
    int32_t Age = -1;  // packed DOS date-time; -1 unknown
    int64_t Size = -1;
    int32_t CopyAge = -1;  // -1 and -1: no copy
    int64_t CopySize = -1;
    // Bit 0: Sum is the file's (a converted file's: its UTF-8 file's); bit 1: CopySum is its copy's. An
    // unknown sum is 0.
    uint32_t Sums = 0;
    uint64_t Sum = 0;
    uint64_t CopySum = 0;

    std::optional<uint64_t> FileSum() const { return Sums & 1 ? std::optional<uint64_t>(Sum) : std::nullopt; }
    std::optional<uint64_t> CopyFileSum() const {
        return Sums & 2 ? std::optional<uint64_t>(CopySum) : std::nullopt;
    }
    void SetSums(std::optional<uint64_t> File, std::optional<uint64_t> Copy) {
        Sums = (File ? 1u : 0u) | (Copy ? 2u : 0u);
        Sum = File.value_or(0);
        CopySum = Copy.value_or(0);
    }
};

struct TSealedLanguage {
    uint32_t LocaleId = 0;
    std::string LanguageName;
    std::vector<TSealedFile> Files;
};

// One stretch of the data file: a block with the tag in front of it ("LINES.01", "ALIGN12"), the
// header ("HEAD") or a language's file record ("FILES.00").
struct TSealedRange {
    std::string Name;
    int64_t Offset = 0;
    int64_t Length = 0;
    uint32_t Crc = 0;
};

struct TWorkspaceSeal {
    uint32_t SettingsCrc = 0;  // Crc32 of the settings file's text before its "WorkspaceEnd" section
    std::vector<TSealedLanguage> Languages;
    std::vector<TSealedRange> Ranges;

    // The range of that name; nullptr when the data file has no such block.
    const TSealedRange* Find(const std::string& Name) const;
};

// The name of block Tag of language Language in the seal: "LINES.01".
std::string SealedBlockName(const std::string& Tag, int Language);

// Appends the seal to Stream, at its end, as the trailer's last entry. Returns the seal's checksum (the
// one the settings file keeps). Ranges must already hold the checksums of what they cover.
uint32_t WriteSeal(TStream& Stream, const TWorkspaceSeal& Seal);

enum class TSealState {
    None,     // the data file has no seal: written before seals were kept (or its last bytes are gone)
    Damaged,  // a seal whose checksum or layout is wrong: nothing in it can be relied on
    Whole,
};

struct TReadSeal {
    TSealState State = TSealState::None;
    uint32_t Crc = 0;
    int64_t Start = 0;  // where the seal's entry starts (the trailer ends there)
    TWorkspaceSeal Seal;
};

// Reads the seal at the end of Stream. Every range lies inside the file before the seal, or the seal
// counts as damaged. The stream's position is left where it was.
TReadSeal ReadSeal(TStream& Stream);

// Whether a sealed file's record holds only what a save writes: a time that is -1 (unknown) or a packed
// DOS date-time, and a size that is -1 (unknown) or one a corpus file can have (at most 2,147,483,647
// bytes), for the file and for its copy; a content sum only beside a known time and size, and an unknown
// one as 0.
bool SealedFilePlausible(const TSealedFile& File);

// Whether the bytes of Range in Stream are those it was saved with.
bool RangeIntact(TStream& Stream, const TSealedRange& Range);

// ---- The end of the settings file ---------------------------------------------------------------------

// The section "WorkspaceEnd" holding SealCrc, as it ends a settings file's text.
std::string SettingsEndText(uint32_t SealCrc);

struct TSettingsEnd {
    bool Present = false;  // the section ends the file
    uint32_t SealCrc = 0;  // the checksum of the seal saved with these settings
    uint32_t BodyCrc = 0;  // the checksum of the file's text before the section
};

// The end of the settings file FileName as it is on disk now; nothing present when it cannot be read.
TSettingsEnd ReadSettingsEnd(const std::string& FileName);
