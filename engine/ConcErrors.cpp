#include "engine/ConcErrors.h"

void Abort() {
    throw EAbort();
}
