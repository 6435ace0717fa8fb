// The benchmarks' view of the recording test plug-in (tests/plugins/TestPlugin.cpp) put into the
// host's Info folder as a probe: every bus message the Info category gets is recorded in a
// shared block the moment the plug-in is called.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

#include "tests/plugins/TestPluginRecord.h"

namespace bench {

class ProbeLog {
public:
    // Creates the block and names it in the environment, so that a host started afterwards
    // (and the probe in it) finds it.
    ProbeLog()
    {
        m_name = L"Local\\OrvixBenchProbe_" + std::to_wstring(GetCurrentProcessId());
        m_map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TestPluginRecord),
                                   m_name.c_str());
        m_record = m_map ? static_cast<TestPluginRecord*>(MapViewOfFile(m_map, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
        SetEnvironmentVariableW(kTestRecordVariable, m_name.c_str());
    }
    ~ProbeLog()
    {
        if (m_record)
            UnmapViewOfFile(m_record);
        if (m_map)
            CloseHandle(m_map);
    }
    ProbeLog(const ProbeLog&) = delete;
    ProbeLog& operator=(const ProbeLog&) = delete;

    bool ok() const { return m_record != nullptr; }
    // Empties the record (the entries too: a call is counted before its entry is written).
    void Reset()
    {
        InterlockedExchange(&m_record->count, 0);
        ZeroMemory(m_record->calls, sizeof(m_record->calls));
    }
    LONG Count() const { return m_record->count < LONG(_countof(m_record->calls)) ? m_record->count : LONG(_countof(m_record->calls)); }
    bool Full() const { return m_record->count >= LONG(_countof(m_record->calls)); }
    // Entry i once it is written (null until then).
    const TestPluginCall* At(LONG i) const
    {
        const TestPluginCall& c = m_record->calls[i];
        return c.function[0] ? &c : nullptr;
    }
    // Empties the record once its first n entries have been read, unless an entry beyond
    // them has begun meanwhile (then false, and nothing read is lost). The entries at and
    // after the count stay zero, so a new entry is seen only once it is written.
    bool ResetIfCount(LONG n)
    {
        if (n <= 0 || n > LONG(_countof(m_record->calls)))
            return false;
        ZeroMemory(m_record->calls, sizeof(m_record->calls[0]) * n);
        return InterlockedCompareExchange(&m_record->count, 0, n) == n;
    }
    // The value of a key in an entry's "Key=Value;" head, or an empty text.
    static std::wstring Value(const TestPluginCall& c, const wchar_t* key) { return Value(std::wstring(c.text), key); }
    static std::wstring Value(const std::wstring& text, const wchar_t* key)
    {
        std::wstring k = std::wstring(key) + L"=";
        size_t at = text.find(k);
        if (at == std::wstring::npos || (at > 0 && text[at - 1] != L';'))
            return L"";
        size_t end = text.find(L';', at);
        return text.substr(at + k.size(), end == std::wstring::npos ? std::wstring::npos : end - at - k.size());
    }

private:
    std::wstring m_name;
    HANDLE m_map = nullptr;
    TestPluginRecord* m_record = nullptr;
};

}  // namespace bench
