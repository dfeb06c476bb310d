#include "results/ConcAdvCollocation.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <algorithm>

#include "controls/LangText.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcSearchItems.h"
#include "results/ConcCollocation.h"
#include "results/ConcTessivor.h"
#include "results/ConcWordListForm.h"
#include "ui/ConcProgress.h"

namespace {

constexpr int HitTableIndex = 4;
constexpr int HitsPerTick = 512;

int SlotOf(int TableIndex) {
    return SortKeyCode(TSortKeyTable::Collocation, TableIndex);
}

}  // namespace

TAdvCollocChoice AdvCollocChoice(const TAdvancedSortColOptions& Record,
                                 const TAdvancedSortColItems& Columns) {
    TAdvCollocChoice Choice;
    Choice.Span = Record.Span;
    Choice.SpanLength = std::clamp(int(Record.SpanLength), 2, 5);
    for (const TAdvancedSortColItem& Column : Columns) {
        const int Index = SortKeyIndex(TSortKeyTable::Collocation, Column.Key);
        if (Index < 0 || Column.Key == skNone) continue;
        if (std::find(Choice.TableIndexes.begin(), Choice.TableIndexes.end(), Index) ==
            Choice.TableIndexes.end())
            Choice.TableIndexes.push_back(Index);
    }
    std::sort(Choice.TableIndexes.begin(), Choice.TableIndexes.end());
    return Choice;
}

std::string AdvCollocChoiceText(const TAdvCollocChoice& Choice) {
    if (Choice.Span) return "Span " + std::to_string(Choice.SpanLength);
    std::string Text;
    for (int Index : Choice.TableIndexes) {
        if (!Text.empty()) Text += ", ";
        Text += SortKeyDisplayName(TSortKeyTable::Collocation, uint8_t(SlotOf(Index)));
    }
    return Text;
}

std::vector<std::string> ItemSequences(const TItemTexts& Texts, const TAdvCollocChoice& Choice) {
    std::vector<std::string> Sequences;
    if (Choice.Span) {
        for (int Start = HitTableIndex; Start >= HitTableIndex + 1 - Choice.SpanLength; --Start) {
            std::string Sequence;
            bool Whole = true;
            for (int Index = Start; Index < Start + Choice.SpanLength && Whole; ++Index) {
                const int Slot = SlotOf(Index);
                Whole = Texts.Has(Slot);
                if (!Whole) break;
                if (Index > Start) Sequence += ' ';
                Sequence += Texts[Slot];
            }
            if (Whole) Sequences.push_back(std::move(Sequence));
        }
        return Sequences;
    }
    std::string Sequence;
    bool Any = false;
    int Previous = -1;
    for (int Index : Choice.TableIndexes) {
        const int Slot = SlotOf(Index);
        const bool Gap = Previous >= 0 && Index != Previous + 1;
        Previous = Index;
        if (!Texts.Has(Slot)) continue;
        if (Gap) Sequence += " ...";
        if (!Sequence.empty()) Sequence += ' ';
        Sequence += Texts[Slot];
        Any = true;
    }
    if (Any) Sequences.push_back(std::move(Sequence));
    return Sequences;
}

bool CountSequences(const std::vector<const TConcordItems*>& Lists, const TAdvCollocChoice& Choice,
                    std::vector<std::unique_ptr<TFreqList>>& Counted,
                    const std::function<bool(int32_t)>& Tick) {
    Counted.clear();
    int32_t Counter = 0;
    for (const TConcordItems* Items : Lists) {
        auto List = std::make_unique<TFreqList>(Items->Language);
        for (int32_t I = 0; I < Items->Count(); ++I) {
            // A passage row has no words: it is not made an item to say so.
            if (const TConcordItem* Item = Items->FindItem(I))
                for (const std::string& Sequence : ItemSequences(Item->Texts, Choice))
                    List->AddWord(Sequence);
            if (++Counter % HitsPerTick == 0 && Tick && !Tick(Counter)) {
                Counted.clear();
                return false;
            }
        }
        List->SortByFrequency();
        Counted.push_back(std::move(List));
    }
    return true;
}

TWordListForm* ShowAdvancedCollocation(QMdiArea* Area, TTessivorForm* Window, int Language,
                                       TAdvancedSortColItems Columns) {
    if (!Window || Window->Busy() || Language >= Window->LanguageCount) return nullptr;
    if (QWidget* Open = RaiseMdiChild(Area, [Language, Window](QWidget* Form) {
            auto* List = qobject_cast<TWordListForm*>(Form);
            return List && List->Owner() == Window && List->Language() == Language;
        }))
        return static_cast<TWordListForm*>(Open);
    const TAdvancedSortColOptions& Record =
        Language < 0 ? CommonConfig->CollocationSort : LanguageConfigs[size_t(Language)]->CollocationSort;
    const TAdvCollocChoice Choice = AdvCollocChoice(Record, Columns);
    if (!Choice.Span && Choice.TableIndexes.empty()) return nullptr;
    const int32_t ShowFirst = Record.ShowFirst;

    const TWaitScope Wait;
    std::vector<int> Languages;
    std::vector<const TConcordItems*> Lists;
    std::vector<std::string> Labels(MaxLanguages, std::string());
    int32_t Hits = 0;
    for (int L = Language < 0 ? 0 : Language; L <= (Language < 0 ? Window->LanguageCount - 1 : Language);
         ++L) {
        if (L < 0 || L >= LanguagesCount || !Window->Lists[size_t(L)]) continue;
        Languages.push_back(L);
        Lists.push_back(Window->Lists[size_t(L)].get());
        Hits += Lists.back()->Count();
        const std::string Name = LanguageConfigs[size_t(L)]->GetLanguageName();
        const std::string Scope =
            CollocationLabelText(Name, LangToQString(Window->GetQueryText(L), L).toStdString());
        Labels[size_t(L)] = CollocationLabelText(Name, Scope);
    }
    if (Languages.empty()) return nullptr;
    const std::string Scope =
        Language < 0
            ? std::string("All")
            : CollocationLabelText(LanguageConfigs[size_t(Language)]->GetLanguageName(),
                                   LangToQString(Window->GetQueryText(Language), Language).toStdString());
    const std::string Title =
        std::string("Advanced Collocation") + " - " + Scope + " - " + AdvCollocChoiceText(Choice);

    std::unique_ptr<TProgressForm> Progress = ShowProgressForm(0, "Creating list...", Title, Hits, 0, "");
    if (Hits > 2048) ShowUnlessMinimized(Progress.get());
    const QPointer<TTessivorForm> Alive(Window);
    std::vector<std::unique_ptr<TFreqList>> Counted;
    bool Complete = false;
    {
        // The pump must not let the user delete the lines being read, nor close their window.
        const TTessivorForm::TCommandScope WindowBusy(*Window, true);
        Complete = CountSequences(Lists, Choice, Counted, [&Progress, &Alive](int32_t Counter) {
            Progress->SetProgress(Counter);
            ProcessMessages();
            return Alive && Progress->Tag == 0;
        });
    }
    Progress.reset();
    if (!Complete || !Alive) return nullptr;

    TWordListForm* Form =
        TWordListForm::CreateForList(Area, Window, Language, TWordListMode::AdvancedCollocation);
    for (size_t I = 0; I < Languages.size(); ++I) {
        int64_t Total = 0;
        for (int32_t J = 0; J < Counted[I]->Count(); ++J) Total += Counted[I]->GetItem(J)->Frequency;
        Form->AddFreqList(Languages[I], Total, ShowFirst, *Counted[I]);
    }
    Form->SetCaptions(Title, Labels);
    return Form;
}
