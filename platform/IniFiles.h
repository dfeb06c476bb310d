// INI files as the Windows profile functions read and write them.
//
// A TIniFile holds the whole file in memory. A line ends at CR LF, LF or a lone CR, and a NUL ends the
// text of its line. Lookups of sections and keys ignore ASCII case, and the
// first occurrence of a section or key is the one that counts. Values are bytes: nothing is transcoded.
// Writing changes a key where it stands, or appends it at the end of its section (a new section at the
// end of the file); lines the program does not know (comments, blank lines, foreign keys) are kept.
// Nothing reaches the disk until UpdateFile(), which replaces the file atomically.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

// A file that exists but cannot be read, or cannot be replaced. The text names the file.
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const std::string& Message) : std::runtime_error(Message) {}
};

class TIniFile {
public:
    enum class TOpenMode { ReadExisting, StartEmpty };

    // ReadExisting loads FileName when it exists (a missing file is an empty one) and raises EIniFileError
    // when it exists but cannot be read, is not a regular file (a FIFO or a device is never opened for
    // blocking reads) or is larger than platform::MaxWholeFileSize. StartEmpty ignores the old content:
    // UpdateFile() then replaces the file by exactly what was written through this object, as if it had been
    // deleted first.
    explicit TIniFile(std::string FileName, TOpenMode Mode = TOpenMode::ReadExisting);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    // Whether the text read holds no control byte (0 to 31 and 127, but the tab, CR, LF, the form feed
    // and 26, the end-of-file mark of old editors) and no line that opens a section header without
    // closing it. A file that does (the bytes of another kind of file, a header that lost its "]" and so
    // hands its keys to the section before) is damaged: its lines are read as the profile functions
    // read them, but what its sections hold cannot be trusted. True for a missing file and StartEmpty.
    bool WellFormed() const { return FWellFormed; }

    // The value of the first Ident in the first Section, or Default when there is none. Leading and
    // trailing blanks, tabs and line-end characters are dropped, then one pair of enclosing matching
    // quotes (" or ') when the value is at least two characters long.
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) const;
    // A decimal integer with optional sign, or hexadecimal after "$" or "0x" (32 bits, wrapping into the
    // signed range); anything else, and a decimal value outside the 32-bit range, gives Default.
    int ReadInteger(const std::string& Section, const std::string& Ident, int Default) const;
    // ReadInteger with Default as 1 or 0; any non-zero value is true.
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;
    // A decimal number with "." or "," as its decimal separator, optionally with an exponent ("1E-5");
    // anything else gives Default.
    double ReadFloat(const std::string& Section, const std::string& Ident, double Default) const;

    // Stores Value under Ident. Only the text before the first NUL, CR or LF is kept, as no INI line can
    // hold more. A value that reading would change (surrounding blanks, enclosing quotes) is written inside
    // an extra pair of double quotes, so that ReadString returns it unchanged.
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
    void WriteInteger(const std::string& Section, const std::string& Ident, int Value);
    // Writes "1" or "0".
    void WriteBool(const std::string& Section, const std::string& Ident, bool Value);
    // Writes the shortest plain decimal text (no exponent) that reads back to the same double, with "." as
    // the decimal separator: 0.0001, not 1e-04.
    void WriteFloat(const std::string& Section, const std::string& Ident, double Value);

    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Ident) const;
    // The names of the sections in file order, each name once (its first occurrence, ignoring case).
    std::vector<std::string> ReadSections() const;
    // Replaces this file's sections of that name by Source's first section of that name with its lines as
    // they stand (keys, comments, blank lines); nothing when Source has none.
    void CopySection(const TIniFile& Source, const std::string& Section);
    // Removes every section of that name with all its lines.
    void EraseSection(const std::string& Section);

    // Replaces FileName by Content() through ReplaceFileAtomically. Lines end in CR LF. Raises
    // EIniFileError when the file cannot be replaced; the old file is then unchanged.
    void UpdateFile();
    // The text UpdateFile() would write.
    std::string Content() const;

private:
    struct TLine {
        std::string Text;  // the line as it stands in the file, without its line end
        bool IsKey = false;
        std::string Key;  // the key as written, for IsKey lines
    };
    struct TSection {
        std::string Name;
        std::vector<TLine> Lines;    // from the line after the header up to the last key or foreign line
        std::vector<TLine> Trailer;  // blank and comment lines closing the section
        std::unordered_map<std::string, size_t> KeyIndex;  // folded key -> first line holding it
    };

    void Parse(const std::string& Data);
    void AddLine(const std::string& Line);
    void RebuildSectionIndex();
    const TSection* FindSection(const std::string& Section) const;
    TSection& SectionForWrite(const std::string& Section);
    const TLine* FindKey(const std::string& Section, const std::string& Ident) const;

    std::string FFileName;
    bool FWellFormed = true;
    std::vector<std::unique_ptr<TSection>> FSections;       // entry 0 holds the lines before the first header
    std::unordered_map<std::string, size_t> FSectionIndex;  // folded name -> first section of that name
};

// Parses Text as TIniFile::ReadInteger does; false (Value unchanged) when it is no integer.
bool TryStrToInt(const std::string& Text, int& Value);

// Writes Data to a new file beside Path and renames it over Path (keeping Path's permission bits), so a
// failure never damages the old file. A symbolic link keeps pointing where it did: the file it leads to
// is the one replaced. A file whose mode does not let the caller write it (root included) is not
// replaced, nor is anything but a regular file. Raises EIniFileError naming Path when it cannot be done.
void ReplaceFileAtomically(const std::string& Path, const std::string& Data);
// The file ReplaceFileAtomically replaces for Path: Path with the symbolic links of its last component
// followed (the target need not exist). Raises EIniFileError for a link that cannot be read or a loop.
std::string ReplaceTarget(const std::string& Path);
// Whether the mode bits of the existing file Path let the caller write it; for root, whether any write
// bit is set. True for a missing file, false for one that cannot be examined.
bool FileModeAllowsWriting(const std::string& Path);

// Whether Path is (or can be created as) a regular file that can be opened for reading and writing and
// whose mode lets the caller write it (as FileModeAllowsWriting); creates an empty file there when none
// exists. A FIFO or a device is refused without waiting.
bool ProbeReadWrite(const std::string& Path);
// Whether a new file can be created in Folder (the temporary file of a replacement).
bool ProbeFolderWritable(const std::string& Folder);
