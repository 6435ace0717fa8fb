// The shared block in which every test plug-in records each call it receives, and the
// test side's view of it. The test creates the block under a name of its own and puts the
// name into the environment variable ORVIX_TEST_RECORD before it loads any plug-in.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

struct TestPluginCall {
    DWORD pluginId;
    wchar_t tag[16];       // the plug-in's own name, e.g. "S0"
    wchar_t function[24];  // "BusProcess", "AfterLoad", "BeforeClose", "Attach", "Detach"...
    DWORD type;            // the bus Type or the argument of the call
    DWORD thread;
    wchar_t text[512];     // the head of the message: "Key=Value;" for each value of a bus text
};

struct TestPluginRecord {
    volatile LONG count;
    LONG reserved;
    TestPluginCall calls[8192];
};

constexpr const wchar_t* kTestRecordVariable = L"ORVIX_TEST_RECORD";

namespace testing_support {

// Creates (and owns) the block; every plug-in of this process and its children records here.
class PluginCallLog {
public:
    explicit PluginCallLog(const wchar_t* name)
    {
        m_name = std::wstring(L"Local\\OrvixTestRecord_") + name + L"_" + std::to_wstring(GetCurrentProcessId());
        m_map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TestPluginRecord),
                                   m_name.c_str());
        m_record = static_cast<TestPluginRecord*>(MapViewOfFile(m_map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        SetEnvironmentVariableW(kTestRecordVariable, m_name.c_str());
    }
    ~PluginCallLog()
    {
        SetEnvironmentVariableW(kTestRecordVariable, nullptr);
        UnmapViewOfFile(m_record);
        CloseHandle(m_map);
    }
    PluginCallLog(const PluginCallLog&) = delete;
    PluginCallLog& operator=(const PluginCallLog&) = delete;

    bool ok() const { return m_record != nullptr; }
    void Clear() { InterlockedExchange(&m_record->count, 0); }
    std::vector<TestPluginCall> Calls() const
    {
        LONG n = m_record->count;
        if (n > LONG(_countof(m_record->calls)))
            n = _countof(m_record->calls);
        return std::vector<TestPluginCall>(m_record->calls, m_record->calls + n);
    }
    // "tag.function" of each call whose function is one of the given (all when empty), in order.
    std::vector<std::wstring> Sequence(const std::vector<std::wstring>& functions = {}) const
    {
        std::vector<std::wstring> out;
        for (const TestPluginCall& c : Calls()) {
            bool take = functions.empty();
            for (const std::wstring& f : functions)
                take = take || f == c.function;
            if (take)
                out.push_back(std::wstring(c.tag) + L"." + c.function);
        }
        return out;
    }

private:
    std::wstring m_name;
    HANDLE m_map = nullptr;
    TestPluginRecord* m_record = nullptr;
};

}  // namespace testing_support
