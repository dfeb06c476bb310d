// The engine's exceptions. Model code raises them with fixed English texts; dialogs and file
// operations catch them and show the text with ShowError. EAbort is the silent abort of a
// cancelled operation: it is never shown.
#pragma once

#include <stdexcept>
#include <string>

class EConcError : public std::runtime_error {
public:
    explicit EConcError(const std::string& Message) : std::runtime_error(Message) {}
};

class EAbort : public EConcError {
public:
    EAbort() : EConcError("Operation aborted") {}
};

// Raises EAbort.
[[noreturn]] void Abort();
