#include "results/ConcDistribList.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"
#include "platform/IniFiles.h"

namespace {

// What a stream answers for a size it does not know.
constexpr int64_t UnknownSize = 2147483647;

// ---- Position buckets

// The files of the scope with where each begins when they are taken one after another.
struct TScopeLayout {
    std::vector<TDistribFile> Files;
    std::vector<int64_t> Offsets;  // Offsets[i]: where file i begins; one more entry: the total
    std::vector<int64_t> Sizes;
    int64_t Lines = 0;
};

int64_t LineCount(const TDistribFile& File) {
    return int64_t(File.LineStarts.size());
}

// A size that holds every line start, so that positions never run backwards across files.
int64_t UsableSize(const TDistribFile& File) {
    const int64_t last = File.LineStarts.empty() ? -1 : File.LineStarts.back();
    if (File.Size < 0 || File.Size == UnknownSize) return last + 1;
    return std::max(File.Size, last);
}

TScopeLayout ScopeLayout(std::span<const TDistribFile> Files, int Scope) {
    TScopeLayout layout;
    if (Scope == ScopeAll) {
        layout.Files.assign(Files.begin(), Files.end());
    } else if (Scope >= 0 && size_t(Scope) < Files.size()) {
        layout.Files.push_back(Files[size_t(Scope)]);
    }
    int64_t offset = 0;
    for (const TDistribFile& f : layout.Files) {
        layout.Offsets.push_back(offset);
        layout.Sizes.push_back(UsableSize(f));
        offset += layout.Sizes.back();
        layout.Lines += LineCount(f);
    }
    layout.Offsets.push_back(offset);
    return layout;
}

// The start of the line after line EndLine (counted from 1 over the scope's files); the scope's start for
// line 0 and its end for the last line.
int64_t EndPosOfLine(const TScopeLayout& Layout, int64_t EndLine) {
    if (EndLine <= 0) return 0;
    int64_t before = 0;
    for (size_t f = 0; f < Layout.Files.size(); ++f) {
        const int64_t lines = LineCount(Layout.Files[f]);
        if (EndLine < before + lines)
            return Layout.Offsets[f] + Layout.Files[f].LineStarts[size_t(EndLine - before)];
        if (EndLine == before + lines) return Layout.Offsets[f + 1];
        before += lines;
    }
    return Layout.Offsets.back();
}

// Numerator / Denominator rounded half to even, in integers: in floating point a bucket that ends on
// exactly half a line (j x lines / parts) would be rounded up or down by the representation error.
int64_t RoundHalfToEven(int64_t Numerator, int64_t Denominator) {
    const int64_t quotient = Numerator / Denominator, twice = 2 * (Numerator % Denominator);
    if (twice > Denominator || (twice == Denominator && quotient % 2 != 0)) return quotient + 1;
    return quotient;
}

TDistribList EmptyBuckets(const TScopeLayout& Layout, int StepIndex) {
    TDistribList list;
    const int64_t total = Layout.Lines;
    if (total == 0) return list;
    if (total == 1) {
        list.push_back({100, 1, 0, Layout.Offsets.back()});
        return list;
    }
    const int32_t step = DistribSteps[size_t(EffectiveStepIndex(total, StepIndex))];
    const int64_t parts = 100 / step;
    for (int32_t j = 1; j * step <= 100; ++j) {
        const int64_t endLine = RoundHalfToEven(j * total, parts);
        list.push_back({j * step, int32_t(endLine), 0, EndPosOfLine(Layout, endLine)});
    }
    // Rounding must not leave the tail of the text outside every bucket.
    list.back().EndPos = Layout.Offsets.back();
    return list;
}

// A hit at the first byte of the line after a bucket belongs to the next bucket, hence the first end
// strictly above the position.
void CountHits(TDistribList& List, const TScopeLayout& Layout, int Scope, size_t FileCount,
               std::span<const TDistribHit> Hits) {
    if (List.empty()) return;
    std::vector<int64_t> ends;
    ends.reserve(List.size());
    for (const TDistribItem& item : List) ends.push_back(item.EndPos);
    for (const TDistribHit& hit : Hits) {
        if (!hit.Filled || hit.FileIndex < 0 || size_t(hit.FileIndex) >= FileCount) continue;
        if (Scope >= 0 && hit.FileIndex != Scope) continue;
        const size_t f = Scope >= 0 ? 0 : size_t(hit.FileIndex);
        const int64_t inFile =
            std::clamp<int64_t>(hit.HitStart, 0, std::max<int64_t>(Layout.Sizes[f] - 1, 0));
        const int64_t position = Layout.Offsets[f] + inFile;
        const size_t bucket = size_t(std::upper_bound(ends.begin(), ends.end(), position) - ends.begin());
        ++List[std::min(bucket, List.size() - 1)].Hits;
    }
}

// ---- Report fields

// Byte length of the first Count characters of a UTF-8 text (file names may hold any character).
size_t CharsBytes(const std::string& Text, size_t Count) {
    size_t i = 0;
    for (size_t chars = 0; i < Text.size() && chars < Count; ++chars) {
        ++i;
        while (i < Text.size() && (uint8_t(Text[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

size_t CharCount(const std::string& Text) {
    size_t n = 0;
    for (char c : Text) n += (uint8_t(c) & 0xC0) != 0x80;
    return n;
}

std::string Cut(const std::string& Text, size_t Width) {
    return Text.substr(0, CharsBytes(Text, Width));
}

std::string Blanks(size_t Count) {
    return std::string(Count, ' ');
}

std::string Left(const std::string& Text, size_t Width) {
    const std::string cut = Cut(Text, Width);
    return cut + Blanks(Width - CharCount(cut));
}

std::string Right(const std::string& Text, size_t Width) {
    const std::string cut = Cut(Text, Width);
    return Blanks(Width - CharCount(cut)) + cut;
}

std::string Centre(const std::string& Text, size_t Width) {
    const std::string cut = Cut(Text, Width);
    const size_t spare = Width - CharCount(cut);
    return Blanks(spare / 2) + cut + Blanks(spare - spare / 2);
}

// Numbers are padded but never cut: a count without its last digits would be a wrong count.
std::string Number(int64_t Value, size_t Width) {
    const std::string digits = std::to_string(Value);
    return Blanks(Width > digits.size() ? Width - digits.size() : 0) + digits;
}

const TDistribItem* BucketAt(const TDistribColumn& Column, size_t I) {
    if (!Column.List || I >= Column.List->size()) return nullptr;
    return &(*Column.List)[I];
}

size_t RowCount(const std::vector<TDistribColumn>& Columns) {
    size_t rows = 0;
    for (const TDistribColumn& column : Columns)
        if (column.List) rows = std::max(rows, column.List->size());
    return rows;
}

// Every percent at which a bucket of some column ends, ascending.
std::vector<int32_t> ReportPercents(const std::vector<TDistribColumn>& Columns) {
    std::set<int32_t> percents;
    for (const TDistribColumn& column : Columns)
        if (column.List)
            for (const TDistribItem& item : *column.List) percents.insert(item.Percent);
    return {percents.begin(), percents.end()};
}

const TDistribItem* BucketEndingAt(const TDistribColumn& Column, int32_t Percent) {
    if (!Column.List) return nullptr;
    for (const TDistribItem& item : *Column.List)
        if (item.Percent == Percent) return &item;
    return nullptr;
}

void Line(std::ostream& Out, const std::string& Text) {
    Out << Text << "\r\n";
}

void SaveReport(const std::string& FileName, const std::vector<TDistribColumn>& Columns,
                void (*Write)(std::ostream&, const std::vector<TDistribColumn>&)) {
    std::ostringstream text;
    Write(text, Columns);
    ReplaceFileAtomically(FileName, text.str());
}

}  // namespace

// ---- Steps and scopes

int EffectiveStepIndex(int64_t TotalLines, int StepIndex) {
    switch (TotalLines) {
        case 2:
            return 6;
        case 3:
            return 5;
        case 4:
            return StepIndex == 6 ? 6 : 4;
        case 5:
            return 3;
        default:
            return std::clamp(StepIndex, 0, StepCount - 1);
    }
}

int DefaultDistribScope(int Language0FileCount) {
    return Language0FileCount >= 2 ? ScopeFiles : ScopeAll;
}

int RefreshedDistribScope(int Scope, int Language0FileCount) {
    return Scope >= Language0FileCount ? ScopeAll : Scope;
}

std::vector<std::string> DistribScopeItems(const std::vector<std::string>& FileNames) {
    std::vector<std::string> items{"All", "Files distribution"};
    for (const std::string& name : FileNames) items.push_back(NameWithoutFolder(name));
    return items;
}

std::string NameWithoutFolder(const std::string& Path) {
    return std::filesystem::path(Path).filename().string();
}

// ---- Building

TDistribList BuildPositionDistribution(std::span<const TDistribFile> Files, int Scope, int StepIndex,
                                       std::span<const TDistribHit> Hits) {
    const TScopeLayout layout = ScopeLayout(Files, Scope);
    TDistribList list = EmptyBuckets(layout, StepIndex);
    CountHits(list, layout, Scope, Files.size(), Hits);
    return list;
}

TDistribList BuildFileDistribution(int FileCount, std::span<const TDistribHit> Hits) {
    TDistribList list(size_t(std::max(FileCount, 0)));
    for (const TDistribHit& hit : Hits) {
        if (hit.Filled && hit.FileIndex >= 0 && hit.FileIndex < FileCount) ++list[size_t(hit.FileIndex)].Hits;
    }
    return list;
}

std::vector<TDistribHit> DistribHits(const TConcordItems& Hits) {
    std::vector<TDistribHit> rows;
    rows.reserve(size_t(Hits.Count()));
    for (int32_t i = 0; i < Hits.Count(); ++i) {
        const TRowInfo item = Hits.RowInfo(i);
        rows.push_back({item.FileIndex, item.HitStart, item.Filled});
    }
    return rows;
}

std::vector<TDistribFile> DistribFiles(int Language) {
    std::vector<TDistribFile> files;
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[size_t(Language)]) return files;
    const TConcordConfig& config = *LanguageConfigs[size_t(Language)];
    for (size_t i = 0; i < config.Files.size(); ++i) {
        TDistribFile file;
        const int32_t slot = int32_t(i);
        if (slot < config.LineStarts.Count()) {
            if (const TIntegerList* starts = config.LineStarts.GetItem(slot))
                file.LineStarts = starts->Values();
        }
        if (i < config.Streams.size() && config.Streams[i]) file.Size = config.Streams[i]->GetSize();
        files.push_back(file);
    }
    return files;
}

TDistribList BuildPositionDistribution(int Language, int File, int StepIndex, const TConcordItems& Hits) {
    const std::vector<TDistribFile> files = DistribFiles(Language);
    return BuildPositionDistribution(files, File, StepIndex, DistribHits(Hits));
}

TDistribList BuildFileDistribution(int Language, const TConcordItems& Hits) {
    return BuildFileDistribution(int(DistribFiles(Language).size()), DistribHits(Hits));
}

// ---- What the chart shows

std::string DistribAxisTitle(TDistribAxis Axis) {
    switch (Axis) {
        case TDistribAxis::Files:
            return "Files";
        case TDistribAxis::Percent:
            return "Percent";
        case TDistribAxis::Lines:
            return "Lines";
    }
    return {};
}

std::vector<std::string> DistribBarLabels(const TDistribList& List, TDistribAxis Axis,
                                          const std::vector<std::string>& FileNames) {
    std::vector<std::string> labels;
    int64_t previous = 0;
    for (size_t i = 0; i < List.size(); ++i) {
        const TDistribItem& item = List[i];
        switch (Axis) {
            case TDistribAxis::Files:
                labels.push_back(i < FileNames.size() ? NameWithoutFolder(FileNames[i]) : std::string());
                break;
            case TDistribAxis::Percent:
                labels.push_back(std::to_string(previous) + " - " + std::to_string(item.Percent));
                previous = item.Percent;
                break;
            case TDistribAxis::Lines:
                labels.push_back(std::to_string(previous + 1) + " - " + std::to_string(item.EndLine));
                previous = item.EndLine;
                break;
        }
    }
    return labels;
}

std::vector<std::vector<TDistribRange>> DistribCategoryRanges(
    const std::vector<const TDistribList*>& Lists, TDistribAxis Axis,
    const std::vector<std::vector<std::string>>& FileNames) {
    std::vector<std::vector<std::string>> perLanguage;
    size_t count = 0;
    for (size_t L = 0; L < Lists.size(); ++L) {
        const TDistribList empty;
        const TDistribList& list = Lists[L] ? *Lists[L] : empty;
        perLanguage.push_back(
            DistribBarLabels(list, Axis, L < FileNames.size() ? FileNames[L] : std::vector<std::string>()));
        count = std::max(count, list.size());
    }
    std::vector<std::vector<TDistribRange>> categories;
    for (size_t i = 0; i < count; ++i) {
        std::vector<TDistribRange> own;
        for (size_t L = 0; L < perLanguage.size(); ++L)
            if (i < perLanguage[L].size()) own.push_back({int(L), perLanguage[L][i]});
        const bool agree = std::all_of(own.begin(), own.end(),
                                       [&own](const TDistribRange& r) { return r.Text == own[0].Text; });
        if (Axis == TDistribAxis::Files || agree)
            categories.push_back({{-1, own.front().Text}});
        else
            categories.push_back(std::move(own));
    }
    return categories;
}

std::string DistribMarkText(int64_t Hits, int64_t Total) {
    if (Total == 0) return "0 (0%)";
    char text[64];
    std::snprintf(text, sizeof text, "%lld (%.2f%%)", static_cast<long long>(Hits),
                  double(Hits) / double(Total) * 100.0);
    return text;
}

int64_t DistribTotal(const TDistribList& List) {
    int64_t total = 0;
    for (const TDistribItem& item : List) total += item.Hits;
    return total;
}

// ---- Reports

void WritePositionDistribution(std::ostream& Out, const std::vector<TDistribColumn>& Columns) {
    std::string names = "   ", captions = "  %";
    for (const TDistribColumn& column : Columns) {
        names += Right(column.LanguageName, 15);
        captions += "     Line  Hits";
    }
    Line(Out, names);
    Line(Out, captions);
    Line(Out, std::string(names.size(), '-'));
    for (const int32_t percent : ReportPercents(Columns)) {
        std::string text = Number(percent, 3);
        for (const TDistribColumn& column : Columns) {
            const TDistribItem* item = BucketEndingAt(column, percent);
            text += item ? Number(item->EndLine, 9) + Number(item->Hits, 6) : Blanks(15);
        }
        Line(Out, text);
    }
}

void WriteFileDistribution(std::ostream& Out, const std::vector<TDistribColumn>& Columns) {
    std::string names, captions;
    for (const TDistribColumn& column : Columns) {
        names += Centre(column.LanguageName, 30) + "   ";
        captions += "File name                  Hits   ";
    }
    Line(Out, names);
    Line(Out, captions);
    Line(Out, std::string(captions.size(), '-'));
    for (size_t row = 0; row < RowCount(Columns); ++row) {
        std::string text;
        for (const TDistribColumn& column : Columns) {
            const TDistribItem* item = BucketAt(column, row);
            if (!item) {
                text += Blanks(34);
                continue;
            }
            const std::string name =
                row < column.FileNames.size() ? NameWithoutFolder(column.FileNames[row]) : "";
            text += Left(name, 20) + Number(item->Hits, 11) + "   ";
        }
        Line(Out, text);
    }
}

void SavePositionDistribution(const std::string& FileName, const std::vector<TDistribColumn>& Columns) {
    SaveReport(FileName, Columns, WritePositionDistribution);
}

void SaveFileDistribution(const std::string& FileName, const std::vector<TDistribColumn>& Columns) {
    SaveReport(FileName, Columns, WriteFileDistribution);
}
