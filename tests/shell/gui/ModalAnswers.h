// Answering the dialogs the main window opens on its own (its first activation runs from a queued call),
// as a user would: the answer runs once the dialog is up, whenever that happens.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/FileDialogs.h"
#include "shell/ConcParaLoad.h"

// Runs Action once a modal dialog of type T is up; a dialog the action leaves open is closed, so a
// failure never hangs. The watch gives up after a while, so that it cannot act on another test's dialog.
template <class T>
void WhenModal(std::function<void(T*)> Action) {
    auto* Poll = new QTimer;
    auto Ticks = std::make_shared<int>(0);
    QObject::connect(Poll, &QTimer::timeout, [Poll, Action, Ticks] {
        auto* Form = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!Form && ++*Ticks > 2000) Poll->deleteLater();
        if (!Form) return;
        Poll->stop();
        Poll->deleteLater();
        Action(Form);
        if (Form->isVisible()) Form->done(0);
    });
    Poll->start(5);
}

// Chooses the entry Name of Box as a user does, so that the dialog hears of it.
inline void Choose(QComboBox* Box, const std::string& Name) {
    const int Entry = Box->findText(QString::fromStdString(Name));
    ASSERT_GE(Entry, 0) << Name;
    Box->setCurrentIndex(Entry);
    emit Box->activated(Entry);
}

// Sets "Load Corpus Files" to one column per language named in Languages and adds Files[column] to each
// column through the file dialog, which stays answered with the last file afterwards.
inline void FillLoadDialog(TParaLoadForm* Dialog, const std::vector<std::string>& Languages,
                           const std::vector<std::string>& Files) {
    const int Count = int(Languages.size());
    Dialog->CountBox->setCurrentIndex(Count - 2);
    emit Dialog->CountBox->activated(Count - 2);
    ASSERT_EQ(Dialog->PanelCount(), Count);
    for (int Language = 0; Language < Count; ++Language) {
        const std::string File = Files[size_t(Language)];
        SetFileDialog([File](const TFileDialogRequest&) { return std::vector<std::string>{File}; });
        Choose(Dialog->Panel(Language).LanguageBox, Languages[size_t(Language)]);
        Dialog->Panel(Language).AddBtn->click();
    }
}
