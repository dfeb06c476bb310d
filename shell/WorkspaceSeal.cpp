#include "shell/WorkspaceSeal.h"

#include <cstdint>
#include <cstdio>

#include "engine/ConcErrors.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "platform/WholeFile.h"

namespace {

constexpr const char* SealTag = "PARAALIGN14";
// Version 1 seals (written before the content sums were kept) are read as well.
constexpr int32_t SealVersion = 2;
constexpr int32_t SealVersionWithoutSums = 1;
constexpr int32_t SealMagic = 0x4C414553;  // "SEAL"
constexpr int64_t FooterBytes = 12;
// The bytes WritePayload gives one file (Int32 age, Int64 size, Int32 copy age, Int64 copy size, then in
// version 2 Int32 sum bits, Int64 sum, Int64 copy sum) and the fewest one range takes (an empty name's
// count, Int64 offset, Int64 length, Int32 checksum).
constexpr int64_t SealedFileBytesWithoutSums = 4 + 8 + 4 + 8;
constexpr int64_t SealedFileBytes = SealedFileBytesWithoutSums + 4 + 8 + 8;
constexpr int64_t SealedRangeBytes = 4 + 8 + 8 + 4;
constexpr const char* EndSection = "[WorkspaceEnd]";
constexpr const char* EndKey = "DataChecksum=";

void WriteInt64(TStream& S, int64_t Value) {
    WriteStreamInteger(S, static_cast<int32_t>(static_cast<uint32_t>(Value)));
    WriteStreamInteger(S, static_cast<int32_t>(static_cast<uint64_t>(Value) >> 32));
}

int64_t ReadInt64(TStream& S) {
    const uint64_t Low = static_cast<uint32_t>(ReadStreamInteger(S));
    const uint64_t High = static_cast<uint32_t>(ReadStreamInteger(S));
    return static_cast<int64_t>(High << 32 | Low);
}

void WritePayload(TStream& S, const TWorkspaceSeal& Seal) {
    WriteStreamInteger(S, SealVersion);
    WriteStreamInteger(S, static_cast<int32_t>(Seal.SettingsCrc));
    WriteStreamInteger(S, static_cast<int32_t>(Seal.Languages.size()));
    for (const TSealedLanguage& L : Seal.Languages) {
        WriteStreamInteger(S, static_cast<int32_t>(L.LocaleId));
        WriteStreamString(S, L.LanguageName);
        WriteStreamInteger(S, static_cast<int32_t>(L.Files.size()));
        for (const TSealedFile& F : L.Files) {
            WriteStreamInteger(S, F.Age);
            WriteInt64(S, F.Size);
            WriteStreamInteger(S, F.CopyAge);
            WriteInt64(S, F.CopySize);
            WriteStreamInteger(S, static_cast<int32_t>(F.Sums));
            WriteInt64(S, static_cast<int64_t>(F.Sum));
            WriteInt64(S, static_cast<int64_t>(F.CopySum));
        }
    }
    WriteStreamInteger(S, static_cast<int32_t>(Seal.Ranges.size()));
    for (const TSealedRange& R : Seal.Ranges) {
        WriteStreamString(S, R.Name);
        WriteInt64(S, R.Offset);
        WriteInt64(S, R.Length);
        WriteStreamInteger(S, static_cast<int32_t>(R.Crc));
    }
}

// False when the payload cannot be the one a seal was written with.
bool ReadPayload(TStream& S, int64_t End, int64_t SealStart, TWorkspaceSeal& Seal) {
    const int32_t Version = ReadStreamInteger(S);
    if (Version != SealVersion && Version != SealVersionWithoutSums) return false;
    const bool WithSums = Version == SealVersion;
    const int64_t FileBytes = WithSums ? SealedFileBytes : SealedFileBytesWithoutSums;
    Seal.SettingsCrc = static_cast<uint32_t>(ReadStreamInteger(S));
    const int32_t Languages = ReadStreamInteger(S);
    if (Languages < 0 || Languages > 4) return false;
    for (int32_t L = 0; L < Languages; ++L) {
        TSealedLanguage& Language = Seal.Languages.emplace_back();
        Language.LocaleId = static_cast<uint32_t>(ReadStreamInteger(S));
        Language.LanguageName = ReadStreamString(S);
        const int32_t Files = ReadStreamInteger(S);
        if (Files < 0 || Files != ClampCount(Files, End - S.GetPosition(), FileBytes)) return false;
        Language.Files.resize(size_t(Files));
        for (TSealedFile& F : Language.Files) {
            F.Age = ReadStreamInteger(S);
            F.Size = ReadInt64(S);
            F.CopyAge = ReadStreamInteger(S);
            F.CopySize = ReadInt64(S);
            if (!WithSums) continue;
            F.Sums = static_cast<uint32_t>(ReadStreamInteger(S));
            F.Sum = static_cast<uint64_t>(ReadInt64(S));
            F.CopySum = static_cast<uint64_t>(ReadInt64(S));
        }
    }
    const int32_t Ranges = ReadStreamInteger(S);
    if (Ranges < 0 || Ranges != ClampCount(Ranges, End - S.GetPosition(), SealedRangeBytes)) return false;
    for (int32_t I = 0; I < Ranges; ++I) {
        TSealedRange& R = Seal.Ranges.emplace_back();
        R.Name = ReadStreamString(S);
        R.Offset = ReadInt64(S);
        R.Length = ReadInt64(S);
        R.Crc = static_cast<uint32_t>(ReadStreamInteger(S));
        if (R.Offset < 0 || R.Length < 0 || R.Offset > SealStart || R.Length > SealStart - R.Offset)
            return false;
    }
    return S.GetPosition() == End;
}

}  // namespace

const TSealedRange* TWorkspaceSeal::Find(const std::string& Name) const {
    for (const TSealedRange& R : Ranges)
        if (R.Name == Name) return &R;
    return nullptr;
}

std::string SealedBlockName(const std::string& Tag, int Language) {
    return LanguageSection(Tag, Language);
}

uint32_t WriteSeal(TStream& Stream, const TWorkspaceSeal& Seal) {
    Stream.Seek(0, soEnd);
    const int64_t Start = Stream.GetPosition();
    WriteStreamString(Stream, SealTag);
    const int64_t Block = BeginBlock(Stream);
    WriteStreamInteger(Stream, 0);  // no pair: older readers find nothing to keep
    WritePayload(Stream, Seal);
    const int64_t Footer = Stream.GetPosition();
    if (Footer + FooterBytes > INT32_MAX)
        throw EConcError("The index data are too large for the workspace file.");
    Stream.SetPosition(Block);
    WriteStreamInteger(Stream, static_cast<int32_t>(Footer + FooterBytes));
    const uint32_t Crc = StreamCrc32(Stream, Start, Footer);
    Stream.SetPosition(Footer);
    WriteStreamInteger(Stream, static_cast<int32_t>(Crc));
    WriteStreamInteger(Stream, static_cast<int32_t>(Start));
    WriteStreamInteger(Stream, SealMagic);
    return Crc;
}

TReadSeal ReadSeal(TStream& Stream) {
    TReadSeal Out;
    const int64_t Resume = Stream.GetPosition();
    const int64_t Size = Stream.GetSize();
    if (Size < 24 + FooterBytes) return Out;
    Stream.SetPosition(Size - FooterBytes);
    Out.Crc = static_cast<uint32_t>(ReadStreamInteger(Stream));
    Out.Start = ReadStreamInteger(Stream);
    const bool Marked = ReadStreamInteger(Stream) == SealMagic;
    const int64_t End = Size - FooterBytes;
    if (!Marked) {
        Stream.SetPosition(Resume);
        return Out;
    }
    Out.State = TSealState::Damaged;
    if (Out.Start >= 24 && Out.Start < End && StreamCrc32(Stream, Out.Start, End) == Out.Crc) {
        Stream.SetPosition(Out.Start);
        const bool Framed = ReadStreamString(Stream) == SealTag && ReadStreamInteger(Stream) == Size &&
                            ReadStreamInteger(Stream) == IndexBlockVersion && ReadStreamInteger(Stream) == 0;
        if (Framed && ReadPayload(Stream, End, Out.Start, Out.Seal)) Out.State = TSealState::Whole;
    }
    if (Out.State != TSealState::Whole) Out.Seal = {};
    Stream.SetPosition(Resume);
    return Out;
}

namespace {

bool PlausibleTime(int32_t Packed) {
    if (Packed == -1) return true;
    const auto V = static_cast<uint32_t>(Packed);
    const uint32_t Month = (V >> 21) & 0x0F, Day = (V >> 16) & 0x1F, Hour = (V >> 11) & 0x1F,
                   Minute = (V >> 5) & 0x3F, Seconds = V & 0x1F;
    // A leap second gives 30 two-second units.
    return Month >= 1 && Month <= 12 && Day >= 1 && Hour < 24 && Minute < 60 && Seconds <= 30;
}

bool PlausibleSize(int64_t Size) {
    return Size == -1 || (Size >= 0 && Size <= INT32_MAX);
}

// A sum goes with a known time and size (it is compared only when the sizes agree), and an unknown one
// is 0.
bool PlausibleSums(const TSealedFile& File) {
    const bool Sum = File.Sums & 1, CopySum = File.Sums & 2;
    return (File.Sums & ~3u) == 0 && (Sum ? File.Age != -1 && File.Size >= 0 : File.Sum == 0) &&
           (CopySum ? File.CopyAge != -1 && File.CopySize >= 0 : File.CopySum == 0);
}

}  // namespace

bool SealedFilePlausible(const TSealedFile& File) {
    return PlausibleTime(File.Age) && PlausibleSize(File.Size) && PlausibleTime(File.CopyAge) &&
           PlausibleSize(File.CopySize) && PlausibleSums(File);
}

bool RangeIntact(TStream& Stream, const TSealedRange& Range) {
    return Range.Offset + Range.Length <= Stream.GetSize() &&
           StreamCrc32(Stream, Range.Offset, Range.Offset + Range.Length) == Range.Crc;
}

// ---- The end of the settings file ---------------------------------------------------------------------

std::string SettingsEndText(uint32_t SealCrc) {
    char Text[64];
    std::snprintf(Text, sizeof Text, "%s\r\n%s%08X\r\n", EndSection, EndKey, SealCrc);
    return Text;
}

TSettingsEnd ReadSettingsEnd(const std::string& FileName) {
    TSettingsEnd Out;
    std::string Text;
    if (platform::ReadRegularFile(FileName, Text) != platform::TWholeFileStatus::Ok) return Out;
    // The section must stand alone at the very end: "[WorkspaceEnd]", its one key, nothing after.
    const std::string Head = std::string(EndSection) + "\r\n" + EndKey;
    const size_t At = Text.rfind(Head);
    if (At == std::string::npos || (At > 0 && Text[At - 1] != '\n')) return Out;
    const std::string Value = Text.substr(At + Head.size());
    if (Value.size() != 10 || Value.compare(8, 2, "\r\n") != 0 ||
        Value.find_first_not_of("0123456789ABCDEF") != 8)
        return Out;
    Out.Present = true;
    Out.SealCrc = static_cast<uint32_t>(std::stoul(Value.substr(0, 8), nullptr, 16));
    Out.BodyCrc = Crc32(Text.data(), At);
    return Out;
}
