#include "controls/StringsViewModel.h"
