// The bus messages the recording probe in the Info folder saw (bench/ProbeLog.h), copied out
// of its shared block as they become whole, so that a long run is not bounded by the block's
// size: the block is emptied whenever everything in it has been read and nothing is being
// written. Only the types a run looks at are kept.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "bench/ProbeLog.h"

namespace reliability {

struct BusEntry {
    DWORD type;
    std::wstring text;  // the probe's "Key=Value;" head
    std::wstring Value(const wchar_t* key) const { return bench::ProbeLog::Value(text, key); }
};

class BusRecord {
public:
    BusRecord(bench::ProbeLog& probe, std::initializer_list<DWORD> types) : m_probe(probe), m_types(types) {}

    // Copies the entries that are whole.
    void Poll();
    size_t Size() const { return m_entries.size(); }
    const BusEntry& operator[](size_t i) const { return m_entries[i]; }
    // The probe's block ran full between two polls: entries were lost to the record.
    bool Overflowed() const { return m_overflowed; }
    // The first entry at or after from of that type whose values are those given, or -1.
    long Find(size_t from, DWORD type, std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) const;

private:
    bench::ProbeLog& m_probe;
    std::vector<DWORD> m_types;
    std::vector<BusEntry> m_entries;
    LONG m_read = 0;
    LONG m_lastCount = -1;
    double m_lastChange = 0;
    bool m_overflowed = false;
};

}  // namespace reliability
