#include "bench/reliability/BusRecord.h"

#include <algorithm>

#include "bench/BenchStats.h"

namespace reliability {

void BusRecord::Poll()
{
    LONG n = m_probe.Count();
    if (m_probe.Full())
        m_overflowed = true;
    double now = bench::Now();
    if (n != m_lastCount) {
        m_lastCount = n;
        m_lastChange = now;
    }
    // The probe writes an entry's text last, on one thread: an entry is whole once the next
    // one has begun, or after a quiet moment.
    bool quiet = now - m_lastChange > 0.05;
    LONG whole = quiet ? n : n - 1;
    for (; m_read < whole; ++m_read) {
        const TestPluginCall* c = m_probe.At(m_read);
        if (!c)
            break;
        if (lstrcmpW(c->function, L"BusProcess") == 0 && std::find(m_types.begin(), m_types.end(), c->type) != m_types.end())
            m_entries.push_back({c->type, c->text});
    }
    if (quiet && m_read == n && n >= 2048 && m_probe.ResetIfCount(n)) {
        m_read = 0;
        m_lastCount = 0;
    }
}

long BusRecord::Find(size_t from, DWORD type,
                     std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) const
{
    for (size_t i = from; i < m_entries.size(); ++i) {
        if (m_entries[i].type != type)
            continue;
        bool all = true;
        for (const auto& v : values)
            all = all && m_entries[i].Value(v.first) == v.second;
        if (all)
            return static_cast<long>(i);
    }
    return -1;
}

}  // namespace reliability
