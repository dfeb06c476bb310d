// The program's entry: the application object and the real message dialogs, the entry points of the
// units that exist, then the program's run.
#include "alignment/concAlignErrorDialog.h"
#include "controls/QtBackend.h"
#include "controls/zynStackTrace.h"
#include "shell/ConcMain.h"

int main(int argc, char** argv) {
    InstallTraceLogger();
    TConcApplication app(argc, argv);
    TQtBackend& backend = RegisterQtBackend();
    // Units still to come leave their hooks empty; the main window then does nothing in their place.
    InstallMainFormHooks();
    RegisterAlignErrorDialog();
    return RunProgram([&backend](QWidget* MainWindow) { backend.SetMainWindow(MainWindow); });
}
