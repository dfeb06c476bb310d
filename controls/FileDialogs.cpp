#include "controls/FileDialogs.h"

#include <utility>

namespace {
TFileDialogFunc& Registered() {
    static TFileDialogFunc Dialog;
    return Dialog;
}
}  // namespace

void SetFileDialog(TFileDialogFunc Dialog) {
    Registered() = std::move(Dialog);
}

std::vector<std::string> ExecuteFileDialog(const TFileDialogRequest& Request) {
    const TFileDialogFunc& Dialog = Registered();
    return Dialog ? Dialog(Request) : std::vector<std::string>();
}
