#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace testing_support {

GuardedBuffer::GuardedBuffer(size_t bytes)
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    size_t page = si.dwPageSize;
    size_t dataPages = (bytes + page - 1) / page;
    if (dataPages == 0)
        dataPages = 1;
    m_total = (dataPages + 1) * page;
    m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, m_total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_base + dataPages * page, page, PAGE_NOACCESS, &old);
    m_size = bytes;
    m_data = m_base + dataPages * page - bytes;
}

GuardedBuffer::~GuardedBuffer()
{
    if (m_base)
        VirtualFree(m_base, 0, MEM_RELEASE);
}

wchar_t* GuardedBuffer::PlaceText(const wchar_t* text)
{
    size_t n = wcslen(text) + 1;
    wchar_t* at = reinterpret_cast<wchar_t*>(m_data + m_size) - n;
    memcpy(at, text, n * sizeof(wchar_t));
    return at;
}

char* GuardedBuffer::PlaceBytes(const char* text)
{
    size_t n = strlen(text) + 1;
    char* at = reinterpret_cast<char*>(m_data + m_size) - n;
    memcpy(at, text, n);
    return at;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (slash)
        slash[1] = L'\0';
    return path;
}

std::wstring DistFolder()
{
    return ProgramFolder() + L"..\\dist\\";
}

std::wstring MakeTempFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"orvix_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

void RemoveTree(const std::wstring& folder)
{
    std::wstring base = folder;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((base + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L".."))
                continue;
            std::wstring child = base + L"\\" + fd.cFileName;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(child.c_str());
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(base.c_str());
}

void CopyFolderFiles(const std::wstring& from, const std::wstring& to, const wchar_t* pattern)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((from + L"\\" + pattern).c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            CopyFileW((from + L"\\" + fd.cFileName).c_str(), (to + L"\\" + fd.cFileName).c_str(), FALSE);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path)
{
    std::vector<BYTE> data;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return data;
    DWORD size = GetFileSize(f, nullptr);
    data.resize(size);
    DWORD read = 0;
    if (size)
        ReadFile(f, data.data(), size, &read, nullptr);
    data.resize(read);
    CloseHandle(f);
    return data;
}

void WriteFileBytes(const std::wstring& path, const void* data, size_t size)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << "cannot write a test file";
    DWORD written = 0;
    WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(f);
}

std::vector<BYTE> Utf16LeBytes(const std::wstring& text)
{
    std::vector<BYTE> out;
    for (wchar_t c : text) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    return out;
}

void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool RetryWhileWineMisses(int tries, const char* reason, const std::function<bool()>& step)
{
    for (int attempt = 1; attempt <= tries; ++attempt) {
        if (attempt > 1) {
            const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
            std::printf("[ RETRIED  ] %s.%s: %s (try %d of %d)\n", test ? test->test_suite_name() : "?",
                        test ? test->name() : "?", reason, attempt, tries);
            std::fflush(stdout);
        }
        if (!step())
            return true;
    }
    return false;
}

}  // namespace testing_support
