// Helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A writable region whose last byte is followed by a PAGE_NOACCESS page, so that any read
// past the end crashes the test instead of passing by luck.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    void* data() const { return m_data; }
    size_t size() const { return m_size; }

    // Places a wide text with its terminator as the very last characters before the guard.
    wchar_t* PlaceText(const wchar_t* text);
    // Places a byte text with its terminator the same way.
    char* PlaceBytes(const char* text);

private:
    BYTE* m_base = nullptr;
    BYTE* m_data = nullptr;
    size_t m_size = 0;
    size_t m_total = 0;
};

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();
// The installed layout built beside the tests (…\dist\).
std::wstring DistFolder();
// A fresh empty folder for one test under the Wine prefix's temp folder.
std::wstring MakeTempFolder(const wchar_t* name);
void RemoveTree(const std::wstring& folder);

// Copies the files (not folders) of one folder that match the pattern into another, which is
// created when missing.
void CopyFolderFiles(const std::wstring& from, const std::wstring& to, const wchar_t* pattern);

std::vector<BYTE> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const void* data, size_t size);

// UTF-16LE bytes of a text, as another tool would encode it.
std::vector<BYTE> Utf16LeBytes(const std::wstring& text);

// Pumps this thread's messages for about the given milliseconds.
void PumpFor(DWORD milliseconds);

// Runs a step up to `tries` times in all for as long as it returns true, meaning "Wine itself,
// not the code under test, missed a deadline in this try" (a deadline of its own service
// manager, say); the step tells that apart from a failure of the code under test, which it
// leaves to the caller's assertions by returning false. Returns false when the last try was
// such a miss as well. Each try after the first prints "[ RETRIED  ] Suite.Case: reason (try
// n of m)", which scripts/wine-run collects for the run's summary: no retried test passes
// unnamed.
bool RetryWhileWineMisses(int tries, const char* reason, const std::function<bool()>& step);

}  // namespace testing_support
