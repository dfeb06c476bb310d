// Checks of what a user meets in a dialog: the accelerator letters of its controls, the order Tab
// visits them in, clicks through the window's own hit-testing, answers to modal dialogs. Header-only: only
// the window test programs, which link Qt, include it.
#pragma once

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dialogchecks {

// The accelerator letter of a caption ("&&" is a plain ampersand), lower case; 0 without one.
inline QChar MnemonicOf(const QString& Caption) {
    for (qsizetype I = 0; I + 1 < Caption.size(); ++I) {
        if (Caption[I] != '&') continue;
        if (Caption[I + 1] != '&') return Caption[I + 1].toLower();
        ++I;
    }
    return QChar();
}

// Every accelerator letter that two or more controls the user can see in Dialog share, as
// "x: caption / caption". Labels count only with a buddy (without one their ampersand does nothing).
inline std::vector<std::string> MnemonicClashes(const QWidget* Dialog) {
    std::map<QChar, std::vector<QString>> Owners;
    for (const QWidget* W : Dialog->findChildren<QWidget*>()) {
        if (!W->isVisibleTo(Dialog)) continue;
        QString Caption;
        if (const auto* Button = qobject_cast<const QAbstractButton*>(W))
            Caption = Button->text();
        else if (const auto* Label = qobject_cast<const QLabel*>(W); Label && Label->buddy())
            Caption = Label->text();
        else if (const auto* Group = qobject_cast<const QGroupBox*>(W))
            Caption = Group->title();
        if (const QChar Letter = MnemonicOf(Caption); !Letter.isNull()) Owners[Letter].push_back(Caption);
    }
    std::vector<std::string> Clashes;
    for (const auto& [Letter, Captions] : Owners) {
        if (Captions.size() < 2) continue;
        std::string Line = QString(Letter).toStdString() + ":";
        for (const QString& C : Captions) Line += " " + C.toStdString() + " /";
        Clashes.push_back(Line);
    }
    return Clashes;
}

// The widgets Tab visits in Dialog (shown and active), starting from the one with the focus, until the
// focus comes back to it or Limit presses were made.
inline std::vector<QWidget*> TabVisits(QWidget* Dialog, int Limit = 60) {
    QApplication::setActiveWindow(Dialog);
    std::vector<QWidget*> Visits{QApplication::focusWidget()};
    for (int I = 0; I < Limit && Visits.front(); ++I) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* Now = QApplication::focusWidget();
        if (Now == Visits.front()) break;
        Visits.push_back(Now);
    }
    return Visits;
}

// Where a visited widget lies in Dialog; an editable combo box's edit stands for its box.
inline QRect PlaceIn(const QWidget* Dialog, const QWidget* W) {
    if (W->parentWidget() && qobject_cast<const QComboBox*>(W->parentWidget())) W = W->parentWidget();
    return QRect(W->mapTo(Dialog, QPoint(0, 0)), W->size());
}

// The first pair of consecutive visits that breaks the reading order (left to right along a row, rows
// top to bottom), as "caption -> caption"; "" when Tab reads the dialog in order.
inline std::string ReadingOrderBreak(const QWidget* Dialog, const std::vector<QWidget*>& Visits) {
    for (size_t I = 1; I < Visits.size(); ++I) {
        const QRect A = PlaceIn(Dialog, Visits[I - 1]), B = PlaceIn(Dialog, Visits[I]);
        const bool SameRow = B.top() <= A.bottom() && A.top() <= B.bottom();
        const bool After = SameRow ? B.left() > A.left() : B.top() > A.top();
        if (!After)
            return Visits[I - 1]->metaObject()->className() + std::string(" -> ") +
                   Visits[I]->metaObject()->className() + " at " + std::to_string(B.x()) + "," +
                   std::to_string(B.y());
    }
    return "";
}

// Clicks where the user would (a check box or radio button on its box, anything else at its centre),
// through the hit-testing of its shown window, so that a widget lying over it takes the click (and the
// check fails).
inline void ClickThroughWindow(QWidget* Control) {
    QWidget* Top = Control->window();
    const bool Box = qobject_cast<QCheckBox*>(Control) || qobject_cast<QRadioButton*>(Control);
    const QPoint Inside =
        Box ? QPoint(Control->height() / 2, Control->height() / 2) : Control->rect().center();
    const QPoint At = Control->mapTo(Top, Inside);
    QWidget* Hit = Top->childAt(At);
    ASSERT_TRUE(Hit == Control || Control->isAncestorOf(Hit))
        << "something lies over " << Control->objectName().toStdString();
    QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(Top, At));
}

// True when Window is narrower than its title in its own font plus about 100 pixels for a title bar's
// icon and buttons: a window manager would then cut the title.
inline bool TitleCut(const QWidget* Window) {
    return Window->width() < QFontMetrics(Window->font()).horizontalAdvance(Window->windowTitle()) + 100;
}

// Runs Action on the modal dialog of type T once the next exec() runs its event loop. A dialog the
// action leaves open (a failed assertion) is closed with result 0, so that a failure never hangs the
// test.
template <class T>
void OnModal(std::function<void(T*)> Action) {
    QTimer::singleShot(0, [Action] {
        auto* Form = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(Form, nullptr);
        Action(Form);
        if (Form->isVisible()) Form->done(0);
    });
}

}  // namespace dialogchecks
