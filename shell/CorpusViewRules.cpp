#include "shell/CorpusViewRules.h"

#include <algorithm>

namespace {

std::string WithoutFolder(const std::string& Name) {
    const size_t Slash = Name.rfind('/');
    return Slash == std::string::npos ? Name : Name.substr(Slash + 1);
}

bool RowInEveryLanguage(const std::vector<int>& FileCounts, int Row) {
    if (Row < 0 || FileCounts.empty()) return false;
    return std::all_of(FileCounts.begin(), FileCounts.end(), [Row](int Count) { return Row < Count; });
}

}  // namespace

std::vector<std::vector<std::string>> ParaFilesColumns(const std::vector<std::vector<std::string>>& Files,
                                                       bool FullPath) {
    size_t Rows = 0;
    for (const auto& Names : Files) Rows = std::max(Rows, Names.size());
    std::vector<std::vector<std::string>> Columns;
    for (const auto& Names : Files) {
        std::vector<std::string>& Column = Columns.emplace_back();
        for (size_t Row = 0; Row < Rows; ++Row)
            Column.push_back(Row >= Names.size() ? NotAvailableText
                             : FullPath          ? Names[Row]
                                                 : WithoutFolder(Names[Row]));
    }
    return Columns;
}

bool ParaFilesShowEnabled(const std::vector<int>& FileCounts, int Row) {
    return RowInEveryLanguage(FileCounts, Row);
}

bool ParaFilesAlignmentEnabled(const std::vector<int>& FileCounts, int Row,
                               const std::function<bool(int, int, int)>& HasIndexes) {
    if (!RowInEveryLanguage(FileCounts, Row)) return false;
    for (int Target = 1; Target < int(FileCounts.size()); ++Target)
        if (HasIndexes(0, Target, Row)) return true;
    return false;
}

TDropAction DropFileAction(int Shown, int Removed) {
    if (Shown == Removed) return TDropAction::Close;
    return Shown > Removed ? TDropAction::Lower : TDropAction::None;
}

int ExchangedFileIndex(int Shown, int I, int J) {
    return Shown == I ? J : Shown == J ? I : Shown;
}

std::vector<int> EqualColumnWidths(int ClientWidth, int Columns, int Handle) {
    if (Columns <= 0) return {};
    const int Width = std::max(0, (ClientWidth - Handle * (Columns - 1)) / Columns);
    return std::vector<int>(size_t(Columns), Width);
}

int SyncedTopIndex(int Top, int Count) {
    return Count <= 0 ? -1 : std::clamp(Top, 0, Count - 1);
}
