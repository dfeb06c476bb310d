// The program's entry: the application object and the real message dialogs, then the program's run.
#include "alignment/concAlignErrorDialog.h"
#include "controls/QtBackend.h"
#include "controls/zynStackTrace.h"
#include "shell/ConcMain.h"

int main(int argc, char** argv) {
    InstallTraceLogger();
    TConcApplication app(argc, argv);
    TQtBackend& backend = RegisterQtBackend();
    RegisterAlignErrorDialog();
    return RunProgram([&backend](QWidget* MainWindow) { backend.SetMainWindow(MainWindow); });
}
