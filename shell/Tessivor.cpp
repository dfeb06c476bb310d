// The program's entry: starts the units, shows the main window, runs the event loop, and ends the
// units after every window is gone.
#include <QLocale>

#include "controls/ConcFormUtils.h"
#include "controls/QtBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcLangs.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "shell/ConcMain.h"

namespace {

const char* const ProductName = "Tessivor";
const char* const BuildNumber = "270";

// The configuration unit reads and writes three keys of the preferences file; a file that cannot be
// read or written is reported, never fatal.
void RunReported(void (*Step)()) {
    DeliverCatching([Step] {
        Step();
        return true;
    });
}

// Unit start-up in dependency order. Qt runs first here: the message boxes need it.
void InitUnits() {
    LoadInstalledLanguages();
    RunReported(InitConfigUnit);
    SetThousandSeparator(QLocale::system().groupSeparator().toStdString());
    RegisterConfigFontDialog();
}

// Unit end, in reverse order, once the main window and its children are destroyed.
void FinalizeUnits() {
    RunReported(FinalizeConfigUnit);
    FreeInstalledLanguages();
}

}  // namespace

int main(int argc, char** argv) {
    TConcApplication app(argc, argv);
    TQtBackend& backend = RegisterQtBackend();
    InitUnits();
    if (MainFormHooks.SetTraceModule) MainFormHooks.SetTraceModule(ProductName, BuildNumber);
    int result;
    {
        TConcMainForm form;
        backend.SetMainWindow(&form);
        form.show();
        result = app.exec();
        backend.SetMainWindow(nullptr);
    }
    FinalizeUnits();
    return result;
}
