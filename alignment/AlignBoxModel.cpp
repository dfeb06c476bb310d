#include "alignment/AlignBoxModel.h"

#include <algorithm>
#include <limits>

#include "alignment/ConcAligner.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"

namespace {

// The index changes of one edit, undone in reverse order unless the edit commits: everything that can
// raise (lookups, allocation) either happens before the first change or is rolled back here.
class TIndexJournal {
public:
    TIndexJournal() = default;
    TIndexJournal(const TIndexJournal&) = delete;
    TIndexJournal& operator=(const TIndexJournal&) = delete;
    ~TIndexJournal() {
        if (FCommitted) return;
        for (auto It = FSteps.rbegin(); It != FSteps.rend(); ++It) {
            if (It->Inserted)
                It->Index->Delete(It->At);
            else
                It->Index->Insert(It->At, It->Segment.Start, It->Segment.End, It->Segment.Length);
        }
    }

    void Insert(TAlignIndex& Index, int32_t At, const TSegment& S) {
        FSteps.reserve(FSteps.size() + 1);
        const int32_t Where = Index.Insert(At, S.Start, S.End, S.Length);
        FSteps.push_back({&Index, true, Where, S});
    }
    TSegment Delete(TAlignIndex& Index, int32_t At) {
        const TSegment S = Index.GetItem(At);
        FSteps.reserve(FSteps.size() + 1);
        Index.Delete(At);
        FSteps.push_back({&Index, false, At, S});
        return S;
    }
    // Index's entry At becomes the entries of Parts, in order.
    void Replace(TAlignIndex& Index, int32_t At, std::initializer_list<TSegment> Parts) {
        Delete(Index, At);
        int32_t K = At;
        for (const TSegment& P : Parts) Insert(Index, K++, P);
    }
    void Commit() { FCommitted = true; }

private:
    struct TStep {
        TAlignIndex* Index;
        bool Inserted;
        int32_t At;
        TSegment Segment;
    };
    std::vector<TStep> FSteps;
    bool FCommitted = false;
};

bool Holds(const TSegment& S, int32_t P) {
    return S.Start <= P && P < S.End;
}

int32_t SumLengths(const TAlignIndex& Index, int32_t First, int32_t Last) {
    int64_t Sum = 0;
    for (int32_t K = First; K <= Last; ++K) Sum += Index.GetItem(K).Length;
    return static_cast<int32_t>(std::clamp<int64_t>(Sum, 0, std::numeric_limits<int32_t>::max()));
}

TSegment Joined(const TSegment& A, const TSegment& B) {
    return {A.Start, B.End, A.Length + B.Length};
}

}  // namespace

std::vector<TAlignBoxRow> BuildAlignBoxRows(const TAlignBoxSide& Side, int32_t Section) {
    std::vector<TAlignBoxRow> Rows;
    if (!Side.Complete() || Section < 0 || Section >= Side.Sections->Count()) return Rows;
    const TUnitRun Run = UnitsOfSection(*Side.Large, Side.Sections->GetItem(Section));
    if (Run.Count() <= 0) return Rows;
    const TAlignIndex& Small = *Side.Small;
    int32_t Cursor = Small.SegmentOf(Side.Large->GetItem(Run.First).Start);
    Rows.reserve(size_t(Run.Count()));
    for (int32_t U = Run.First; U <= Run.Last; ++U) {
        const int32_t End = Side.Large->GetItem(U).End;
        TAlignBoxRow Row{U, Cursor, Cursor - 1};
        while (Cursor < Small.Count() && Small.GetItem(Cursor).Start < End) ++Cursor;
        Row.LastSmall = Cursor - 1;
        Rows.push_back(Row);
    }
    return Rows;
}

void TAlignEditor::Reset(const TAlignBoxSide& Source, const TAlignBoxSide& Target, int32_t Section,
                         uint8_t Mode) {
    FSides = {Source, Target};
    FSection = Section;
    FMode = Mode;
    FUndo.clear();
}

void TAlignEditor::SetSides(const TAlignBoxSide& Source, const TAlignBoxSide& Target) {
    FSides = {Source, Target};
}

std::optional<TSegment> TAlignEditor::SectionOf(int S) const {
    const TAlignBoxSide& D = FSides[size_t(S)];
    if (!D.Complete() || FSection < 0 || FSection >= D.Sections->Count()) return std::nullopt;
    return D.Sections->GetItem(FSection);
}

TUnitRun TAlignEditor::LargeRun(int S) const {
    const std::optional<TSegment> Sect = SectionOf(S);
    if (!Sect) return {};
    return UnitsOfSection(*FSides[size_t(S)].Large, *Sect);
}

int32_t TAlignEditor::LargeOfRow(int S, int32_t Row) const {
    const TUnitRun Run = LargeRun(S);
    return Row >= 0 && Row < Run.Count() ? Run.First + Row : -1;
}

int32_t TAlignEditor::SmallHolding(int S, int32_t Pos) const {
    const TAlignIndex& Small = *FSides[size_t(S)].Small;
    const int32_t K = Small.SegmentOf(Pos);
    return K < Small.Count() && Holds(Small.GetItem(K), Pos) ? K : -1;
}

bool TAlignEditor::CanSplit(int S, bool Small, const TAlignCaret& Caret) const {
    if (Caret.Pos < 0 || !SectionOf(S)) return false;
    if (Small) {
        const int32_t K = SmallHolding(S, Caret.Pos);
        return K >= 0 && FSides[size_t(S)].Small->GetItem(K).Start < Caret.Pos;
    }
    const int32_t U = LargeOfRow(S, Caret.Row);
    if (U < 0) return false;
    const TSegment L = FSides[size_t(S)].Large->GetItem(U);
    return L.Start < Caret.Pos && Caret.Pos < L.End;
}

bool TAlignEditor::CanMerge(int S, bool Small, bool Next, const TAlignCaret& Caret) const {
    if (!SectionOf(S)) return false;
    if (!Small) {
        const TUnitRun Run = LargeRun(S);
        const int32_t Other = Caret.Row + (Next ? 1 : -1);
        return Caret.Row >= 0 && Caret.Row < Run.Count() && Other >= 0 && Other < Run.Count();
    }
    if (Caret.Pos < 0) return false;
    const int32_t U = LargeOfRow(S, Caret.Row);
    const int32_t K = SmallHolding(S, Caret.Pos);
    if (U < 0 || K < 0) return false;
    const int32_t Other = K + (Next ? 1 : -1);
    const TAlignIndex& Sm = *FSides[size_t(S)].Small;
    if (Other < 0 || Other >= Sm.Count()) return false;
    const TSegment L = FSides[size_t(S)].Large->GetItem(U);
    const TSegment N = Sm.GetItem(Other);
    return L.Start <= N.Start && N.Start < L.End;
}

bool TAlignEditor::CanInsertEmpty(int S, const TAlignCaret& Caret) const {
    return LargeOfRow(S, Caret.Row) >= 0;
}

bool TAlignEditor::CanSplitSection(int S, const TAlignCaret& Caret) const {
    return Caret.Pos >= 0 && Caret.Row >= 1 && LargeOfRow(S, Caret.Row) >= 0;
}

bool TAlignEditor::CanMergeSection(int S) const {
    return SectionOf(S) && FSection + 1 < FSides[size_t(S)].Sections->Count();
}

TAlignUndo TAlignEditor::NewRecord(int S, TAlignEditOp Op, const TAlignCaret& Caret, int32_t TopPos) const {
    TAlignUndo R;
    R.Mode = FMode;
    R.Side = S;
    R.TopPos = TopPos;
    R.Caret = Caret;
    R.Op = Op;
    return R;
}

// Every edit records itself here once nothing more can fail, just before it commits.
bool TAlignEditor::Push(TAlignUndo&& Record) {
    FUndo.push_back(std::move(Record));
    if (FUndo.size() > UndoLimit) FUndo.pop_front();
    ++HandEditsApplied;
    return true;
}

bool TAlignEditor::Split(int S, bool Small, const TAlignCaret& Caret, int32_t TopPos) {
    if (!CanSplit(S, Small, Caret)) return false;
    const TAlignBoxSide& D = FSides[size_t(S)];
    const int32_t P = Caret.Pos;
    TAlignUndo R = NewRecord(S, Small ? aeSplitSmall : aeSplitLarge, Caret, TopPos);
    const int32_t K = SmallHolding(S, P);
    if (K >= 0 && D.Small->GetItem(K).Start < P) {
        R.Second = K;
        R.B = D.Small->GetItem(K);
    }
    if (!Small) {
        R.First = LargeOfRow(S, Caret.Row);
        R.A = D.Large->GetItem(R.First);
    }
    // A split keeps byte distances as lengths: the text is not measured again.
    TIndexJournal J;
    if (R.First >= 0)
        J.Replace(*D.Large, R.First, {{R.A.Start, P, P - R.A.Start}, {P, R.A.End, R.A.End - P}});
    if (R.Second >= 0)
        J.Replace(*D.Small, R.Second, {{R.B.Start, P, P - R.B.Start}, {P, R.B.End, R.B.End - P}});
    Push(std::move(R));
    J.Commit();
    return true;
}

bool TAlignEditor::Merge(int S, bool Small, bool Next, const TAlignCaret& Caret, int32_t TopPos) {
    if (!CanMerge(S, Small, Next, Caret)) return false;
    const TAlignBoxSide& D = FSides[size_t(S)];
    TAlignIndex& Index = Small ? *D.Small : *D.Large;
    const int32_t I = Small ? SmallHolding(S, Caret.Pos) : LargeOfRow(S, Caret.Row);
    const int32_t Lower = Next ? I : I - 1;
    TAlignUndo R = NewRecord(S, Small ? aeMergeSmall : aeMergeLarge, Caret, TopPos);
    R.First = Lower;
    R.A = Index.GetItem(Lower);
    R.B = Index.GetItem(Lower + 1);
    TIndexJournal J;
    J.Delete(Index, Lower + 1);
    J.Replace(Index, Lower, {Joined(R.A, R.B)});
    Push(std::move(R));
    J.Commit();
    return true;
}

bool TAlignEditor::InsertEmpty(int S, const TAlignCaret& Caret, int32_t TopPos) {
    const int32_t I = LargeOfRow(S, Caret.Row);
    if (I < 0) return false;
    const TAlignBoxSide& D = FSides[size_t(S)];
    const int32_t X = D.Large->GetItem(I).Start;
    TAlignUndo R = NewRecord(S, aeInsertEmpty, Caret, TopPos);
    R.First = I;
    TIndexJournal J;
    J.Insert(*D.Large, I, EmptyUnitAt(X, X == SectionOf(S)->Start));
    Push(std::move(R));
    J.Commit();
    return true;
}

bool TAlignEditor::SplitSection(int S, const TAlignCaret& Caret, int32_t TopPos) {
    if (!CanSplitSection(S, Caret)) return false;
    const TAlignBoxSide& D = FSides[size_t(S)];
    const TUnitRun Run = LargeRun(S);
    const int32_t I = Run.First + Caret.Row;
    const TSegment Old = *SectionOf(S);
    const TSegment Before = D.Large->GetItem(I - 1), At = D.Large->GetItem(I);
    // An opening empty unit ends before it starts; the section must not.
    const TSegment First{Old.Start, std::max(Before.Start, Before.End),
                         SumLengths(*D.Large, Run.First, I - 1)};
    const TSegment Second{At.Start, Old.End, SumLengths(*D.Large, I, Run.Last)};
    TAlignUndo R = NewRecord(S, aeSplitSection, Caret, TopPos);
    R.First = FSection;
    R.A = Old;
    TIndexJournal J;
    J.Replace(*D.Sections, FSection, {First, Second});
    Push(std::move(R));
    J.Commit();
    return true;
}

bool TAlignEditor::MergeSectionWithNext(int S, const TAlignCaret& Caret, int32_t TopPos) {
    if (!CanMergeSection(S)) return false;
    const TAlignBoxSide& D = FSides[size_t(S)];
    TAlignUndo R = NewRecord(S, aeMergeSection, Caret, TopPos);
    R.First = FSection;
    R.A = D.Sections->GetItem(FSection);
    R.B = D.Sections->GetItem(FSection + 1);
    TIndexJournal J;
    J.Delete(*D.Sections, FSection + 1);
    J.Replace(*D.Sections, FSection, {Joined(R.A, R.B)});
    Push(std::move(R));
    J.Commit();
    return true;
}

TAlignEditor::TAutoAlign TAlignEditor::AlignParagraphsAutomatically(int32_t TopPos) {
    const std::optional<TSegment> Sect[2] = {SectionOf(0), SectionOf(1)};
    if (FMode != 0 || !Sect[0] || !Sect[1]) return aaNothing;
    const TUnitRun Run[2] = {LargeRun(0), LargeRun(1)};
    const int32_t M = Run[0].Count(), N = Run[1].Count();
    if (int64_t(M) * N > kMaxAlignProduct) return aaTooMany;
    TWaitScope Wait;
    const TBeadCounts Beads =
        AlignByLength(*FSides[0].Large, Run[0].First, M, *FSides[1].Large, Run[1].First, N);
    TAlignUndo R = NewRecord(0, aeAutoAlign, {}, TopPos);
    R.First = Run[0].First;
    R.Second = Run[1].First;
    R.Beads.resize(size_t(Beads.Count()));
    TIndexJournal J;
    for (int S = 0; S < 2; ++S) {
        TAlignIndex& Large = *FSides[size_t(S)].Large;
        const std::vector<int32_t>& Counts = S == 0 ? Beads.Source : Beads.Target;
        int32_t Cursor = Run[S].First, Last = Run[S].Last;
        for (size_t K = 0; K < Counts.size(); ++K) {
            TBeadHalf& Half = R.Beads[K][size_t(S)];
            Half.Units = Counts[K];
            if (Counts[K] == 0) {
                // A side with nothing for the other's unit gets an empty one, at the unit it faces or,
                // past the section's last unit, right after it, so that it stays in this section.
                int32_t X = Sect[S]->Start;
                if (Cursor <= Last) {
                    X = Large.GetItem(Cursor).Start;
                } else if (Last >= Run[S].First) {
                    const TSegment L = Large.GetItem(Last);
                    X = std::max(L.Start, L.End);
                }
                J.Insert(Large, Cursor, EmptyUnitAt(X, X == Sect[S]->Start));
                ++Last;
            } else if (Counts[K] == 2) {
                Half.A = Large.GetItem(Cursor);
                Half.B = Large.GetItem(Cursor + 1);
                J.Delete(Large, Cursor + 1);
                J.Replace(Large, Cursor, {Joined(Half.A, Half.B)});
                --Last;
            }
            ++Cursor;
        }
    }
    Push(std::move(R));
    J.Commit();
    return aaAligned;
}

std::optional<TAlignUndo> TAlignEditor::Undo() {
    if (FUndo.empty()) return std::nullopt;
    const TAlignUndo& R = FUndo.back();
    const TAlignBoxSide& D = FSides[size_t(R.Side)];
    TIndexJournal J;
    switch (R.Op) {
        case aeSplitSection:
            J.Delete(*D.Sections, FSection + 1);
            J.Replace(*D.Sections, FSection, {R.A});
            break;
        case aeMergeSection:
            J.Replace(*D.Sections, FSection, {R.A, R.B});
            break;
        case aeSplitLarge:
        case aeSplitSmall:
            if (R.First >= 0) {
                J.Delete(*D.Large, R.First + 1);
                J.Replace(*D.Large, R.First, {R.A});
            }
            if (R.Second >= 0) {
                J.Delete(*D.Small, R.Second + 1);
                J.Replace(*D.Small, R.Second, {R.B});
            }
            break;
        case aeMergeLarge:
        case aeMergeSmall:
            J.Replace(R.Op == aeMergeLarge ? *D.Large : *D.Small, R.First, {R.A, R.B});
            break;
        case aeInsertEmpty:
            if (R.First < D.Large->Count()) J.Delete(*D.Large, R.First);
            break;
        case aeAutoAlign:
            for (int S = 0; S < 2; ++S) {
                TAlignIndex& Large = *FSides[size_t(S)].Large;
                int32_t Cursor = S == 0 ? R.First : R.Second;
                for (const auto& Bead : R.Beads) {
                    const TBeadHalf& Half = Bead[size_t(S)];
                    if (Half.Units == 0) {
                        J.Delete(Large, Cursor);
                    } else if (Half.Units == 1) {
                        ++Cursor;
                    } else {
                        J.Replace(Large, Cursor, {Half.A, Half.B});
                        Cursor += 2;
                    }
                }
            }
            break;
    }
    std::optional<TAlignUndo> Done(std::move(FUndo.back()));
    J.Commit();
    FUndo.pop_back();
    --HandEditsApplied;
    return Done;
}

// ---- The corpus side of the Alignment View ------------------------------------------------------------

namespace {

TAlignIndex* FileSlot(const TAlignIndexes& Indexes, int File) {
    return File >= 0 && File < Indexes.Count() ? Indexes.GetItem(File) : nullptr;
}

TDoubleAlignIndexes* PairListOf(int Language1, int Language2, int File) {
    const int Target = Language1 == 0 ? Language2 : Language2 == 0 ? Language1 : -1;
    if (Target < 1 || Target > 3) return nullptr;
    TDoubleAlignIndexes* Lists[] = {Align12.get(), Align13.get(), Align14.get()};
    TDoubleAlignIndexes* List = Lists[Target - 1];
    return List && File >= 0 && File < List->Count() ? List : nullptr;
}

const TConcordConfig* LanguageConfig(int Language) {
    return Language >= 0 && Language < MaxLanguages ? LanguageConfigs[size_t(Language)].get() : nullptr;
}

}  // namespace

TDoubleAlignIndex* FilePairAlignment(int Language1, int Language2, int File) {
    TDoubleAlignIndexes* List = PairListOf(Language1, Language2, File);
    return List ? List->GetItem(File) : nullptr;
}

void DropFilePairAlignment(int Language1, int Language2, int File) {
    if (TDoubleAlignIndexes* List = PairListOf(Language1, Language2, File)) List->SetItem(File, nullptr);
}

bool FilePairAligned(int Language1, int Language2, int File) {
    const TDoubleAlignIndex* Pair = FilePairAlignment(Language1, Language2, File);
    if (!Pair || Pair->Side1.Count() == 0 || Pair->Side2.Count() == 0) return false;
    for (int L : {Language1, Language2}) {
        const TConcordConfig* C = LanguageConfig(L);
        const TAlignIndex* Sentences = C ? FileSlot(C->SentenceIndexes, File) : nullptr;
        if (!Sentences || Sentences->Count() == 0) return false;
    }
    return true;
}

TAlignBoxSide AlignBoxSideOf(int Language, int Other, int File, uint8_t Mode) {
    TAlignBoxSide Side;
    const TConcordConfig* C = LanguageConfig(Language);
    if (!C) return Side;
    Side.Sections = FileSlot(C->SectionIndexes, File);
    Side.Small = FileSlot(C->SentenceIndexes, File);
    if (Mode == 0) {
        Side.Large = FileSlot(C->ParagraphIndexes, File);
    } else if (TDoubleAlignIndex* Pair = FilePairAlignment(Language, Other, File)) {
        Side.Large = Language == 0 ? &Pair->Side1 : &Pair->Side2;
    }
    return Side;
}

TAlignPopupStates ComputeAlignPopupStates(const TAlignEditor& Editor, int Side, const TAlignCaret& Caret) {
    TAlignPopupStates P;
    P.Undo = Editor.CanUndo();
    P.AutoAlign = Editor.Mode() == 0 && Editor.SectionOf(0) && Editor.SectionOf(1);
    if (Side < 0 || Side > 1) return P;
    P.SmallSplit = Editor.CanSplit(Side, true, Caret);
    P.LargeSplit = Editor.CanSplit(Side, false, Caret);
    P.SmallMergeNext = Editor.CanMerge(Side, true, true, Caret);
    P.SmallMergePrev = Editor.CanMerge(Side, true, false, Caret);
    P.LargeMergeNext = Editor.CanMerge(Side, false, true, Caret);
    P.LargeMergePrev = Editor.CanMerge(Side, false, false, Caret);
    P.InsertEmpty = Editor.CanInsertEmpty(Side, Caret);
    P.SplitSection = Editor.Mode() == 0 && Editor.CanSplitSection(Side, Caret);
    P.MergeSection = Editor.Mode() == 0 && Editor.CanMergeSection(Side);
    return P;
}

const char* SmallUnitName() {
    return "Sentence";
}

const char* LargeUnitName(uint8_t Mode) {
    return Mode == 0 ? "Paragraph" : "Segment";
}

std::string FormatWithName(const char* Format, const std::string& Name) {
    std::string Text(Format);
    const size_t At = Text.find("%s");
    if (At != std::string::npos) Text.replace(At, 2, Name);
    return Text;
}

std::string AlignViewCaption(const std::string& Language1, const std::string& Language2,
                             const std::string& File1, const std::string& File2, uint8_t Mode) {
    std::string Text = "Alignment %s - %s (%s - %s): %ss";
    for (const std::string* Part : {&Language1, &Language2, &File1, &File2})
        Text = FormatWithName(Text.c_str(), *Part);
    return FormatWithName(Text.c_str(), LargeUnitName(Mode));
}
