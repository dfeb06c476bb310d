// The program's entry: the application object and the real message dialogs, then the program's run.
#include "controls/QtBackend.h"
#include "shell/ConcMain.h"

int main(int argc, char** argv) {
    TConcApplication app(argc, argv);
    TQtBackend& backend = RegisterQtBackend();
    return RunProgram([&backend](QWidget* MainWindow) { backend.SetMainWindow(MainWindow); });
}
