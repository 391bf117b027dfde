#include "platform/DebugTrace.h"

void DebugTrace(const char*, ...) {}
