// The corpus aligner: count checks with their repairs, then sentence alignment paragraph by paragraph.
#include <algorithm>
#include <cstdio>
#include <string>

#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcIndex.h"

TAlignViewHooks AlignViewHooks;

namespace {

std::unique_ptr<TDoubleAlignIndexes>& PairListOf(int Language) {
    static std::unique_ptr<TDoubleAlignIndexes>* const Lists[] = {&Align12, &Align13, &Align14};
    return *Lists[Language - 1];
}

TConcordConfig& Config(int Language) {
    return *LanguageConfigs[Language];
}

int FileCount(int Language) {
    return static_cast<int>(Config(Language).Files.size());
}

const std::string& FileName(int Language, int File) {
    return Config(Language).Files[static_cast<size_t>(File)].Name;
}

TAlignIndex* Slot(TAlignIndexes& Indexes, int File) {
    return File < Indexes.Count() ? Indexes.GetItem(File) : nullptr;
}

// The three segment indexes of one file of one language; all null when one of them is missing.
struct TFileSegments {
    TAlignIndex* Sections = nullptr;
    TAlignIndex* Paragraphs = nullptr;
    TAlignIndex* Sentences = nullptr;
    bool Complete() const { return Sections && Paragraphs && Sentences; }
};

TFileSegments SegmentsOf(int Language, int File) {
    TConcordConfig& C = Config(Language);
    TFileSegments S{Slot(C.SectionIndexes, File), Slot(C.ParagraphIndexes, File),
                    Slot(C.SentenceIndexes, File)};
    return S.Complete() ? S : TFileSegments{};
}

// Both files of a pair are segmented; a file the corpus pass has not finished is not aligned yet.
bool BothSegmented(int Target, int File) {
    return File < FileCount(Target) && SegmentsOf(0, File).Complete() && SegmentsOf(Target, File).Complete();
}

// Whether file File still waits for its alignment with Target.
bool Unaligned(int Target, int File) {
    const TDoubleAlignIndexes* Pairs = PairListOf(Target).get();
    return Pairs && File < Pairs->Count() && !Pairs->GetItem(File);
}

// The first and last entry of Inner inside Outer's entry (last < first when there is none).
struct TRun {
    int32_t First = 0, Last = -1;
    int32_t Count() const { return Last - First + 1; }
};
TRun RunInside(const TAlignIndex& Inner, const TSegment& Outer) {
    return {Inner.SegmentOf(Outer.Start), Inner.IndexBefore(Outer.End)};
}

// Asks the alignment error question with "Fix" as the first button; true when "Fix" was pressed.
bool AskFix(int Target, int File, const std::string& Message, const char* OtherButton) {
    return ShowAlignError(FileName(0, File), FileName(Target, File), Message, OtherButton, "Fix") == 1;
}

// The entries of one side for the beads of a paragraph pair: the cursor starts at the paragraph's first
// sentence. An empty entry sits at the next sentence of the paragraph, or at the paragraph's end when
// none follows in it, so that the side's entries stay in text order.
void AddBeadEntries(TAlignIndex& Side, const TAlignIndex& Sentences, TRun Sents, int32_t ParagraphEnd,
                    const std::vector<int32_t>& Counts) {
    int32_t Cursor = Sents.First;
    for (const int32_t Units : Counts) {
        if (Units == 0) {
            const int32_t At = Cursor <= Sents.Last ? Sentences.GetItem(Cursor).Start : ParagraphEnd;
            Side.Add(At, At, 0);
        } else if (Units == 1) {
            const TSegment S = Sentences.GetItem(Cursor);
            Side.Add(S.Start, S.End, S.Length);
        } else {
            const TSegment A = Sentences.GetItem(Cursor), B = Sentences.GetItem(Cursor + 1);
            Side.Add(A.Start, B.End, A.Length + B.Length);
        }
        Cursor += Units;
    }
}

// One file pair, section by section and paragraph by paragraph.
bool AlignFileSentences(int Target, int File, TDoubleAlignIndex& Pair) {
    const TFileSegments Src = SegmentsOf(0, File), Tgt = SegmentsOf(Target, File);
    const int32_t Sections = Src.Sections->Count();
    if (Sections != Tgt.Sections->Count()) return false;
    for (int32_t s = 0; s < Sections; ++s) {
        const TUnitRun SrcParas = UnitsOfSection(*Src.Paragraphs, Src.Sections->GetItem(s));
        const TUnitRun TgtParas = UnitsOfSection(*Tgt.Paragraphs, Tgt.Sections->GetItem(s));
        if (SrcParas.Count() != TgtParas.Count()) return false;
        for (int32_t p = 0; p < SrcParas.Count(); ++p)
            if (!AlignSentencesInParagraph(Target, File, Pair, p, s, TgtParas.First + p, SrcParas.First + p))
                return false;
    }
    return true;
}

}  // namespace

void OpenAlignmentView(int Level, int SourceLanguage, int TargetLanguage, int Paragraph, int Section,
                       int File) {
    if (AlignViewHooks.OpenAlignmentView)
        AlignViewHooks.OpenAlignmentView(Level, SourceLanguage, TargetLanguage, Paragraph, Section, File);
    else
        ShowError(AlignViewMissingText);
}

void MergeAllSections(TAlignIndex& Index) {
    if (Index.Count() == 0) return;
    int64_t Sum = 0;
    for (int32_t k = 0; k < Index.Count(); ++k) Sum += Index.GetItem(k).Length;
    const int32_t Start = Index.GetItem(0).Start, End = Index.GetItem(Index.Count() - 1).End;
    Index.Clear();
    Index.Add(Start, End, static_cast<int32_t>(std::min<int64_t>(Sum, INT32_MAX)));
}

bool CheckFileCounts(int Source, int Target) {
    if (FileCount(Source) == FileCount(Target)) return true;
    const std::string Format =
        "The number of files for %s and %s is different.\r\nThe automatic alignment is not possible.";
    const std::string& A = Config(Source).GetLanguageName();
    const std::string& B = Config(Target).GetLanguageName();
    std::string Text(Format.size() + A.size() + B.size(), '\0');
    Text.resize(
        static_cast<size_t>(std::snprintf(Text.data(), Text.size(), Format.c_str(), A.c_str(), B.c_str())));
    ShowError(Text);
    return false;
}

bool CheckSectionCounts(int Source, int Target) {
    for (int f = 0; f < FileCount(Source); ++f) {
        if (!BothSegmented(Target, f)) continue;
        TAlignIndex& SrcSections = *SegmentsOf(Source, f).Sections;
        TAlignIndex& TgtSections = *SegmentsOf(Target, f).Sections;
        const int32_t A = SrcSections.Count(), B = TgtSections.Count();
        if (A == B) continue;
        const bool OneEmpty = A == 0 || B == 0;
        const int Answer =
            ShowAlignError(FileName(Source, f), FileName(Target, f), "Different number of sections.",
                           OneEmpty ? "Cancel" : "Ignore Sections", "Fix");
        if (Answer == 2 && !OneEmpty) {
            MergeAllSections(SrcSections);
            MergeAllSections(TgtSections);
            continue;
        }
        if (Answer == 1)
            OpenAlignmentView(AlignViewParagraphLevel, Source, Target, 0, std::max(0, std::min(A, B) - 1), f);
        return false;
    }
    return true;
}

bool CheckParagraphCounts(int Target) {
    for (int f = 0; f < FileCount(0); ++f) {
        if (!Unaligned(Target, f) || !BothSegmented(Target, f)) continue;
        const TFileSegments Src = SegmentsOf(0, f), Tgt = SegmentsOf(Target, f);
        const int32_t Sections = std::min(Src.Sections->Count(), Tgt.Sections->Count());
        for (int32_t s = 0; s < Sections; ++s) {
            const TSegment SrcSection = Src.Sections->GetItem(s), TgtSection = Tgt.Sections->GetItem(s);
            const int32_t A = UnitsOfSection(*Src.Paragraphs, SrcSection).Count();
            const int32_t B = UnitsOfSection(*Tgt.Paragraphs, TgtSection).Count();
            if (A == B) continue;
            const std::string Message =
                "Different number of paragraphs in section " + std::to_string(s + 1) + ".";
            if (AskFix(Target, f, Message, "Cancel"))
                OpenAlignmentView(AlignViewParagraphLevel, 0, Target, std::max(0, std::min(A, B) - 1), s, f);
            return false;
        }
    }
    return true;
}

bool AlignSentencesInParagraph(int Target, int File, TDoubleAlignIndex& Pair, int ParagraphInSection,
                               int Section, int TargetParagraph, int SourceParagraph) {
    const TFileSegments Src = SegmentsOf(0, File), Tgt = SegmentsOf(Target, File);
    const TSegment P = Src.Paragraphs->GetItem(SourceParagraph);
    const TSegment Q = Tgt.Paragraphs->GetItem(TargetParagraph);
    const TRun SrcSents = RunInside(*Src.Sentences, P), TgtSents = RunInside(*Tgt.Sentences, Q);
    if (P.End <= P.Start || SrcSents.Count() <= 0 || Q.End <= Q.Start || TgtSents.Count() <= 0) {
        Pair.Side1.Add(P.Start, P.End, P.Length);
        Pair.Side2.Add(Q.Start, Q.End, Q.Length);
        return true;
    }
    const int64_t M = SrcSents.Count(), N = TgtSents.Count();
    if (M * N > kMaxAlignProduct) {
        const std::string Message = "Too many sentences in section " + std::to_string(Section + 1) +
                                    ", paragraph " + std::to_string(ParagraphInSection + 1) +
                                    ". Please split the paragraphs.";
        if (AskFix(Target, File, Message, "Cancel"))
            OpenAlignmentView(AlignViewParagraphLevel, 0, Target, ParagraphInSection, Section, File);
        return false;
    }
    const TBeadCounts Beads = AlignByLength(*Src.Sentences, SrcSents.First, SrcSents.Count(), *Tgt.Sentences,
                                            TgtSents.First, TgtSents.Count());
    AddBeadEntries(Pair.Side1, *Src.Sentences, SrcSents, P.End, Beads.Source);
    AddBeadEntries(Pair.Side2, *Tgt.Sentences, TgtSents, Q.End, Beads.Target);
    return true;
}

bool AlignLanguageSentences(int Target) {
    for (int f = 0; f < FileCount(0); ++f) {
        if (!Unaligned(Target, f) || !BothSegmented(Target, f)) continue;
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        if (!AlignFileSentences(Target, f, *Pair)) return false;
        // A corpus of thousands of small files would otherwise keep a block of each side a file.
        Pair->ShrinkToFit();
        PairListOf(Target)->SetItem(f, std::move(Pair));
        if (AlignViewHooks.FileAligned) AlignViewHooks.FileAligned(Target, f);
    }
    return true;
}

void AlignCorpus() {
    EnsureAlignIndexLists();
    const int Languages = std::min(LanguagesCount, MaxLanguages);
    if (Languages < 2 || !LanguageConfigs[0]) return;
    for (int k = 1; k < Languages; ++k)
        if (!CheckFileCounts(0, k)) return;
    for (int k = 1; k < Languages; ++k)
        if (!CheckSectionCounts(0, k)) return;
    for (int k = 1; k < Languages; ++k)
        if (!CheckParagraphCounts(k)) return;
    for (int k = 1; k < Languages; ++k)
        if (!AlignLanguageSentences(k)) return;
}
