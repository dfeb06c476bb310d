// The program's entry: the application object and the real message dialogs, the entry points of the
// units that exist, then the program's run.
#include "alignment/ConcParaAligners.h"
#include "alignment/concAlignErrorDialog.h"
#include "controls/QtBackend.h"
#include "engine/ConcCorpus.h"
#include "results/ConcTessivor.h"
#include "shell/ConcMain.h"

namespace {

// Units still to come leave their hooks empty; the main window then does nothing in their place.
void InstallUnitHooks() {
    MainFormHooks.ProcessCorpus = [] { return ProcessCorpus(); };
    MainFormHooks.CorpusNeedsProcessing = [] { return CorpusNeedsProcessing(); };
    MainFormHooks.RunAlignment = [] { RunAlignment(false, -1, -1); };
    RegisterAlignmentRun();
    RegisterAlignErrorDialog();
    MainFormHooks.IsConcordanceWindow = [](QWidget* Child) {
        return qobject_cast<TTessivorForm*>(Child) != nullptr;
    };
}

}  // namespace

int main(int argc, char** argv) {
    TConcApplication app(argc, argv);
    TQtBackend& backend = RegisterQtBackend();
    InstallUnitHooks();
    return RunProgram([&backend](QWidget* MainWindow) { backend.SetMainWindow(MainWindow); });
}
