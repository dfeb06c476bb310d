// The chooser of hot words and translations: the ranked candidates of one language, of which the user
// selects those to highlight. What it shows and keeps is THotChooseModel's (ConcHotWordsRules).
#pragma once

#include <QDialog>

#include "results/ConcHotWordsRules.h"

class QLabel;
class QPushButton;
class QTreeWidget;

class TChooseHotWordsForm : public QDialog {
    Q_OBJECT
public:
    // Shows Model's entries (Model is borrowed and must outlive the form).
    explicit TChooseHotWordsForm(THotChooseModel& Model, QWidget* Parent = nullptr);

    QLabel* ChooseLabel;
    QTreeWidget* WordsList;  // columns: hidden, "Rank", "Word"
    QPushButton* OkBtn;
    QPushButton* CancelBtn;
    QPushButton* OptionsBtn;

    // Keeps the selection as the chosen words; closes with OK only when the choice changed.
    void accept() override;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ShowEntries();
    void ShowOptions();

    THotChooseModel& FModel;
};

// Lets the user choose the hot words (Mode hcHotWords) or translations (hcTranslations) of Language that
// a concordance window highlights. LocalList is the window's cached list of the language (built with
// Builder when empty, or in translations mode rebuilt after the options changed, and kept there);
// TranslationOptionsChanged is set when the translation options changed; TranslationPasses, Options
// and Config are the window's copies, which "Options..." edits; HitCount is the number of hits (hot
// words need at least MinHitsForHotWords). Returns true when the user confirmed a changed choice, Chosen
// then holding the chosen words with their positions. When the chooser does not open (the builder made
// nothing, or no translation was found) the result is whether Chosen holds a word. Raises what the
// builder and the ranking raise.
bool ChooseHotWords(int Language, int32_t HitCount, std::unique_ptr<TFreqList>& LocalList,
                    bool& TranslationOptionsChanged, int Mode, int32_t& TranslationPasses,
                    THotWordsOptions& Options, THotWordsConfig& Config, TFreqList& Chosen,
                    TLocalListBuilder Builder);
