#include "host/ProgramState.h"

ProgramStateInfo GetProgramStateInfo(long state)
{
    static const ProgramStateInfo known[] = {
        {L"STOPPED", 0}, {L"STARTING", 0}, {L"OK", 1}, {L"ERROR", 0}, {L"PAUSED", 2},
    };
    if (state >= 0 && state < static_cast<long>(sizeof(known) / sizeof(known[0])))
        return known[state];
    return {L"UNKNOWN", 1};
}
