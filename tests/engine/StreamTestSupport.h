// Reading back what was saved, as a stored file is opened again.
#pragma once

#include "engine/ConcStreamUtils.h"

// Saves Saved into S, then reads it back from the start of S into Back; whether the read succeeded. S is
// left where the read stopped.
template <class T>
bool SaveAndReadBack(const T& Saved, TMemoryStream& S, T& Back) {
    Saved.SaveToStream(S);
    S.SetPosition(0);
    return Back.LoadFromStream(S);
}
