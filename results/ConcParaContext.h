// The larger context of one concordance line: kilobytes of its file around the hit, the hit highlighted.
#pragma once

#include <QPointer>
#include <vector>

#include "controls/ConcFormUtils.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"

class QAction;
class QMdiArea;
class QMenu;
class QTextEdit;

class TParaContextForm : public TAppMessageForm {
    Q_OBJECT
public:
    // A window over Item (borrowed: the owning concordance window closes this window before it frees
    // its items) with the suppress flags packed as PackSuppressFlags does.
    TParaContextForm(TConcordItem* Item, QWidget* Owner, uint32_t SuppressFlags, QWidget* Parent = nullptr);

    QTextEdit* ContextLines;
    TConcordItem* Item() const { return FItem; }
    QWidget* Owner() const { return FOwner; }
    // The hit's place in the control's text (in characters); -1 / -1 without a hit.
    int HitStart() const { return FHitStart; }
    int HitLength() const { return FHitLength; }
    const TSuppressFlags& Suppress() const { return FSuppress; }

    // Reads the text around the hit again and shows it with the hit in sight.
    void Fill();
    // Brings the hit into sight, unselected, with the caret at its start: the text shows from its
    // beginning when the hit is well in sight there (within three quarters of the view's width and
    // height), otherwise the hit is brought into the middle.
    void SelectHit();
    // "&Display" (group 4), merged by the main window while this window is active.
    std::vector<TMergedMenu> MergedMenus() const override;
    QMenu* DisplayMenu() const { return FDisplayMenu; }
    QAction* SizeAction(int Size) const;
    QAction* SuppressAction(int Option) const;
    QAction* WordWrapAction() const { return FWordWrap; }

    intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) override;

protected:
    // The window is active while its text has the keyboard focus: that posts the item's status text,
    // losing it clears the status text (a popup menu on the text does neither).
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    int AppendText(const std::string& Text, int FontIndex);
    void UpdateChecks();

    TConcordItem* FItem;
    QPointer<QWidget> FOwner;
    TSuppressFlags FSuppress;
    int FHitStart = -1;
    int FHitLength = -1;
    QMenu* FDisplayMenu;
    std::vector<QAction*> FSizeActions;
    std::vector<QAction*> FSuppressActions;
    QAction* FWordWrap;
};

// The MDI area Widget lives in (as a sub-window or inside one), or nullptr.
QMdiArea* MdiAreaOf(QWidget* Widget);
// Brings the larger-context window of Item to the front, or opens one in the MDI area of Owner. A line
// without text to show opens nothing; returns the window shown, or nullptr.
TParaContextForm* ShowLargerContext(TConcordItem* Item, QWidget* Owner, uint32_t SuppressFlags);
// Stores Size (10, 20 or 30) as the larger contexts' size and, when it changed, tells every window.
void SetBigContextSize(int Size);
