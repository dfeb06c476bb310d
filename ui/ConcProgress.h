// The single progress window of long operations, Qt-free.
//
// A TProgressForm is the window's state: caption, text, gauge and the cancel code in Tag that the
// window's buttons write and the operation polls. The registered progress backend attaches a view
// (the real window) that mirrors the state; without a backend nothing is shown. Main thread only.
#pragma once

#include <memory>
#include <string>

class TProgressForm;
class TDoubleProgressForm;

// What a backend shows of a progress form. The form owns its view.
class IProgressView {
public:
    virtual ~IProgressView() = default;
    // The form's state changed (text, gauge, buttons): redraw from it.
    virtual void Changed() = 0;
    // Make the window visible and bring it to the front.
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
};

// Creates the windows and pumps the event loop. Registered once by the program, or by a test.
class IProgressBackend {
public:
    virtual ~IProgressBackend() = default;
    // A view for the form, or nullptr to show nothing. Called from the form's constructor.
    virtual std::unique_ptr<IProgressView> CreateView(TProgressForm& Form) = 0;
    virtual std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) = 0;
    // Whether the application's main window is minimised (progress windows then stay hidden).
    virtual bool IsApplicationMinimized() = 0;
    // Handles pending events, where button clicks change a form's Tag.
    virtual void ProcessMessages() = 0;
};

// Registers the backend (borrowed; it must outlive every form it made). nullptr: nothing is shown.
void SetProgressBackend(IProgressBackend* Backend);
IProgressBackend* GetProgressBackend();
// Handles pending events through the backend; does nothing without one.
void ProcessMessages();

class TProgressForm {
public:
    // A form in its just-created state (placeholders, gauge 0, Tag 0), with a view when a backend exists.
    TProgressForm();
    // Clears the global ProgressForm when it points here.
    ~TProgressForm();
    TProgressForm(const TProgressForm&) = delete;
    TProgressForm& operator=(const TProgressForm&) = delete;

    // Caption, text, special text (its label stays hidden), gauge Min..Max at Min, and the buttons of
    // Mode: 1 shows Cancel1Btn and CancelAllBtn, 2 no button (and the window cannot be closed), every
    // other mode CancelBtn.
    void Setup(int Mode, const std::string& Caption, const std::string& Text, int Max, int Min,
               const std::string& Special);

    // 0 = running, 1 = cancel this job, 2 = cancel this job and those queued behind it.
    int Tag = 0;

    int Mode() const { return FMode; }
    bool CanClose() const { return FMode != 2; }
    const std::string& Caption() const { return FCaption; }
    const std::string& Text() const { return FText; }
    const std::string& Special() const { return FSpecial; }
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Progress() const { return FProgress; }
    bool Cancel1Visible() const { return FMode == 1; }
    bool CancelAllVisible() const { return FMode == 1; }
    bool CancelVisible() const { return FMode != 1 && FMode != 2; }
    bool Visible() const { return FVisible; }

    void SetCaption(const std::string& Caption);
    void SetText(const std::string& Text);
    void SetRange(int Min, int Max);
    void SetProgress(int Progress);

    // The buttons' actions (CancelBtn and Cancel1Btn write 1, CancelAllBtn writes 2).
    void CancelClicked() { Tag = 1; }
    void CancelAllClicked() { Tag = 2; }

    // Visible and in front; the window's own request, used by ShowUnlessMinimized.
    void Show();
    void Hide();
    IProgressView* View() const { return FView.get(); }

private:
    void Changed();

    int FMode = 0;
    std::string FCaption = "[Your title here]";
    std::string FText = "[Your text here]";
    std::string FSpecial = "(special text)";
    int FMin = 0;
    int FMax = 100;
    int FProgress = 0;
    bool FVisible = false;
    std::unique_ptr<IProgressView> FView;
};

// The live progress form, or nullptr. Set by ShowProgressForm, cleared by that form's destruction.
extern TProgressForm* ProgressForm;

// Creates and sets up a progress form (not shown yet) and makes it the live one. The caller owns it.
std::unique_ptr<TProgressForm> ShowProgressForm(int Mode, const std::string& Caption, const std::string& Text,
                                                int Max, int Min, const std::string& Special);

// Shows the form unless the application is minimised; the main window calls it again on restore.
void ShowUnlessMinimized(TProgressForm* Form);
void ShowUnlessMinimized(TDoubleProgressForm* Form);
