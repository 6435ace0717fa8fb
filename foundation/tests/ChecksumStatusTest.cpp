#include "foundation/Checksums.h"
#include "foundation/SharedMem.h"
#include "foundation/StatusLog.h"

#include "foundation/FolderTools.h"
#include "foundation/PathTools.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/tests/data/crc32_vectors.inc"

using testing_support::MakeTempFolder;
using testing_support::ReadFileBytes;
using testing_support::RemoveTree;

TEST(Crc32, StandardCheckValueAndPythonVectors)
{
    CCrc32 crc;
    EXPECT_EQ(0xCBF43926u, crc.Calculate("123456789", 9));
    EXPECT_EQ(0u, crc.Calculate("", 0));
    for (const auto& v : kCrc32Vectors)
        EXPECT_EQ(v.crc, crc.Calculate(v.data, v.length)) << "vector of " << v.length << " bytes";
    EXPECT_EQ(0x1u, CCrc32::Reflect(0x80, 8));
    EXPECT_EQ(0x80u, CCrc32::Reflect(0x101, 8)) << "higher bits dropped";
}

TEST(SimpleCrc, KnownValuesAndTableIntegrity)
{
    CSimpleCRC crc;
    EXPECT_EQ(0x85F5u, crc.Calculate("abc", 3));
    EXPECT_EQ(0xFFFFu, crc.Calculate("", 0));
    EXPECT_EQ(0xB6A0u, crc.Calculate("a", 1));
    // The table is data that other programs reproduce: its CRC-32, computed by Python from the
    // published table, guards every entry against a typo.
    std::vector<unsigned short> table(256);
    for (unsigned i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned short>(crc.GetTableEntry(i));
    EXPECT_EQ(0xF1193FDBu, CCrc32().Calculate(table.data(), 512));
    EXPECT_EQ(crc.GetTableEntry(0x45), crc.GetTableEntry(0x4E)) << "the table repeats entries by design";
    EXPECT_EQ(0x9967u, crc.GetTableEntry(0x101)) << "only the low byte counts";
}

TEST(SimpleCrc, Files)
{
    CSimpleCRC crc;
    std::wstring folder = MakeTempFolder(L"crcfile");
    EXPECT_EQ(0u, crc.CalculateFile((folder + L"missing").c_str()));
    testing_support::WriteFileBytes(folder + L"empty", "", 0);
    EXPECT_EQ(0u, crc.CalculateFile((folder + L"empty").c_str()));
    testing_support::WriteFileBytes(folder + L"abc", "abc", 3);
    EXPECT_EQ(0x85F5u, crc.CalculateFile((folder + L"abc").c_str()));
    RemoveTree(folder);
}

TEST(SharedMemory, NamesFromTheSwitches)
{
    wcscpy(g_szSharedMemPrefix, L"Local\\OrvixTestBlock");
    wchar_t name[512];
    CSharedMem::BuildName(name, 512, 0, 0, nullptr);
    EXPECT_STREQ(L"Local\\OrvixTestBlock", name);
    wchar_t user[128];
    DWORD size = 128;
    GetUserNameW(user, &size);
    CSharedMem::BuildName(name, 512, 1, 0, L"abc");
    CSimpleCRC crc;
    EXPECT_EQ(std::wstring(L"Local\\OrvixTestBlock") + user + std::to_wstring(crc.CalculateString(L"abc", 6)), name);
    wchar_t other[512];
    CSharedMem::BuildName(other, 512, 0, 0, L"ABC");
    CSharedMem::BuildName(name, 512, 0, 0, L"abc");
    EXPECT_STRNE(name, other) << "the caller text's case counts";
}

TEST(SharedMemory, ReadersNeverMeetANullBlock)
{
    wcscpy(g_szSharedMemPrefix, L"Local\\OrvixTestReaders");
    {
        CSharedMem block;
        block.Open(0, 0, nullptr);
        ASSERT_TRUE(block.IsMapped());
        EXPECT_TRUE(block.CreatedHere());
        g_pSharedMemView[1] = 222;
        block.Close();
        ASSERT_NE(nullptr, g_pSharedMemView);
        g_pSharedMemView[0] = 1;  // the private block takes the write
    }
    ASSERT_NE(nullptr, g_pSharedMemView);
}

TEST(SharedMemory, TwoProcessesShareOneBlock)
{
    wcscpy(g_szSharedMemPrefix, L"Local\\OrvixTestShared");
    CSharedMem block;
    block.Open(1, 1, nullptr);
    ASSERT_TRUE(block.IsMapped());
    g_pSharedMemView[2] = 1;
    g_pSharedMemView[3] = 0x12345678;
    // A child process of the same user and folder opens the same name and answers with its
    // exit code what it found, after writing its own value.
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + exe +
                          L"\" --gtest_also_run_disabled_tests --gtest_filter=SharedMemoryChild.DISABLED_*";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    SetEnvironmentVariableW(L"ORVIX_SHARED_CHILD", L"1");
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    SetEnvironmentVariableW(L"ORVIX_SHARED_CHILD", nullptr);
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(0u, code) << "the child saw the parent's values";
    EXPECT_EQ(99u, g_pSharedMemView[1]) << "the parent sees the child's write";
}

// Run only as the child of TwoProcessesShareOneBlock: disabled, so a normal run leaves it out
// instead of counting it as skipped.
TEST(SharedMemoryChild, DISABLED_OpensTheParentsBlock)
{
    if (!GetEnvironmentVariableW(L"ORVIX_SHARED_CHILD", nullptr, 0))
        GTEST_SKIP() << "runs only as the child of TwoProcessesShareOneBlock";
    wcscpy(g_szSharedMemPrefix, L"Local\\OrvixTestShared");
    CSharedMem block;
    block.Open(1, 1, nullptr);
    ASSERT_TRUE(block.IsMapped());
    EXPECT_FALSE(block.CreatedHere()) << "opened, so not zeroed";
    EXPECT_EQ(1u, g_pSharedMemView[2]);
    EXPECT_EQ(0x12345678u, g_pSharedMemView[3]);
    g_pSharedMemView[1] = 99;
}

namespace {
class StatusReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = MakeTempFolder(L"status");
        m_log = std::make_unique<CStatusLog>(0);
        // The report lies in this test program's own per-user LOG folder; start it empty.
        m_report = m_log->GetReportFile();
        m_errors = m_log->GetErrorLogFile();
        DeleteFileW(m_report.c_str());
        DeleteFileW(m_errors.c_str());
        // The per-user folder chain may not exist yet in a fresh prefix (the host creates it at
        // start-up), so the whole chain is made, not only the last folder.
        ASSERT_EQ(1, CreateFileFolder(m_report.c_str()));
    }
    void TearDown() override { RemoveTree(m_folder); }
    std::wstring Read(const wchar_t* section, const wchar_t* key)
    {
        wchar_t v[600] = L"";
        GetPrivateProfileStringW(section, key, L"<none>", v, 600, m_report.c_str());
        return v;
    }
    // The names of a section's keys, in the order of the file.
    std::vector<std::wstring> Names(const wchar_t* section)
    {
        std::vector<wchar_t> buffer(65536);
        DWORD n = GetPrivateProfileSectionW(section, buffer.data(), static_cast<DWORD>(buffer.size()), m_report.c_str());
        std::vector<std::wstring> names;
        for (const wchar_t* line = buffer.data(); line < buffer.data() + n && *line; line += wcslen(line) + 1)
            names.emplace_back(line, wcscspn(line, L"="));
        return names;
    }
    std::wstring m_folder, m_report, m_errors;
    std::unique_ptr<CStatusLog> m_log;
};
}  // namespace

TEST_F(StatusReport, ARecordReplacesItsKeysAndKeepsTheOthers)
{
    using Names_ = std::vector<std::wstring>;
    // Written by another hand beside the host's records.
    WritePrivateProfileStringW(L"PrgMsg", L"Foreign", L"kept=as is", m_report.c_str());
    WritePrivateProfileStringW(L"Other", L"Status", L"untouched", m_report.c_str());
    for (const wchar_t* key : {L"Type", L"Command", L"Partner", L"Sender"})
        m_log->WriteText(L"PrgMsg", key, key);
    m_log->WriteText(L"PrgMsg", L"command", L"second");
    EXPECT_EQ((Names_{L"Foreign", L"Time", L"User", L"ProductName", L"ProcID", L"Type", L"Command", L"Partner", L"Sender"}),
              Names(L"PrgMsg"));
    EXPECT_EQ(L"kept=as is", Read(L"PrgMsg", L"Foreign"));
    EXPECT_EQ(L"Type", Read(L"PrgMsg", L"Type"));
    EXPECT_EQ(L"second", Read(L"PrgMsg", L"Command"));
    EXPECT_EQ(std::to_wstring(GetCurrentProcessId()), Read(L"PrgMsg", L"ProcID"));
    EXPECT_EQ(L"untouched", Read(L"Other", L"Status"));
    // A record whose key is one of its own four holds its text there.
    m_log->WriteText(L"PrgMsg", L"user", L"someone");
    EXPECT_EQ(L"someone", Read(L"PrgMsg", L"User"));
    EXPECT_EQ(9u, Names(L"PrgMsg").size());

    // A section too large to be read whole in one go loses nothing either.
    const std::wstring big(400, L'b');
    for (int i = 0; i < 40; ++i)
        WritePrivateProfileStringW(L"Big", (L"K" + std::to_wstring(i)).c_str(), big.c_str(), m_report.c_str());
    m_log->WriteText(L"Big", L"Status", L"OK");
    m_log->WriteText(L"Big", L"Status", L"AGAIN");
    EXPECT_EQ(45u, Names(L"Big").size());
    EXPECT_EQ(big, Read(L"Big", L"K0"));
    EXPECT_EQ(big, Read(L"Big", L"K39"));
    EXPECT_EQ(L"AGAIN", Read(L"Big", L"Status"));
}

TEST_F(StatusReport, EachWriteAddsTheFiveKeysAndErrorsGoToTheLog)
{
    m_log->WriteText(L"Status", L"LastError", L"PLUGIN.Func.Login.Error.refused");
    EXPECT_NE(L"<none>", Read(L"Status", L"Time"));
    EXPECT_NE(std::wstring::npos, Read(L"Status", L"Time").find(L" UTC"));
    EXPECT_NE(L"<none>", Read(L"Status", L"User"));
    EXPECT_NE(L"<none>", Read(L"Status", L"ProductName"));
    EXPECT_EQ(std::to_wstring(GetCurrentProcessId()), Read(L"Status", L"ProcID"));
    EXPECT_EQ(L"PLUGIN.Func.Login.Error.refused", Read(L"Status", L"LastError"));
    m_log->WriteText(L"Status", L"LastError", L"fine .error. lower case");
    auto bytes = ReadFileBytes(m_errors);
    EXPECT_EQ("PLUGIN.Func.Login.Error.refused", std::string(bytes.begin(), bytes.end()))
        << "appended without a line end; the lower-case text is no error";
    EXPECT_STREQ(L"fine .error. lower case", m_log->ReadValue(L"Status", L"LastError"));
}

TEST_F(StatusReport, ForeignTextsCannotAddIniLines)
{
    m_log->WriteText(L"PrgMsg", L"Partner", L"123\r\n[ProgramStatus]\r\nStatus=HACKED %s");
    EXPECT_EQ(L"<none>", Read(L"ProgramStatus", L"Status"));
    EXPECT_EQ(L"123  [ProgramStatus]  Status=HACKED %s", Read(L"PrgMsg", L"Partner")) << "a %s stays as it is";
    std::wstring big(600, L'x');
    m_log->WriteText(L"PrgMsg", L"Command", big.c_str());
    EXPECT_EQ(511u, Read(L"PrgMsg", L"Command").size());
    m_log->WriteFormatted(L"PrgMsg", L"Type", L"%d", 44);
    EXPECT_EQ(L"44", Read(L"PrgMsg", L"Type"));
}

TEST_F(StatusReport, RegisterReportFileTable)
{
    std::wstring support = m_folder + L"support";
    m_log->SetSupportClientFolder(support.c_str());
    std::wstring ini = support + L"\\PluginExtraMendra.INI";
    m_log->RegisterReportFile();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ini.c_str())) << "no folder, no INI file";
    CreateDirectoryW(support.c_str(), nullptr);
    WritePrivateProfileStringW(L"General", L"ReportFile000", L"C:\\other.ini", ini.c_str());
    m_log->RegisterReportFile();
    m_log->RegisterReportFile();
    wchar_t v[300];
    GetPrivateProfileStringW(L"General", L"ReportFile001", L"", v, 300, ini.c_str());
    EXPECT_EQ(m_report, v);
    GetPrivateProfileStringW(L"General", L"ReportFile002", L"<none>", v, 300, ini.c_str());
    EXPECT_STREQ(L"<none>", v) << "a second registration writes nothing";
    WritePrivateProfileStringW(L"General", L"ReportFile001", nullptr, ini.c_str());
    std::wstring upper = m_report;
    CharUpperW(&upper[0]);
    WritePrivateProfileStringW(L"General", L"ReportFile030", upper.c_str(), ini.c_str());
    m_log->RegisterReportFile();
    GetPrivateProfileStringW(L"General", L"ReportFile001", L"<none>", v, 300, ini.c_str());
    EXPECT_STREQ(L"<none>", v) << "listed already in other letter case";
}
