#include "foundation/DataFolder.h"

#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/SystemAccount.h"
#include "foundation/VersionTool.h"

#include <shlobj.h>

namespace {

bool HasUser()
{
    wchar_t user[128] = L"";
    DWORD n = _countof(user);
    if (!GetUserNameW(user, &n) || !user[0])
        return false;
    if (IsSystemAccount())
        return false;
    const wchar_t* program = GetProgramName();
    return lstrcmpiW(program, L"QORCONFIG") != 0 && lstrcmpiW(program, L"KVXCONFIG") != 0;
}

}  // namespace

const wchar_t* GetDataFolder(const wchar_t* subFolder)
{
    thread_local wchar_t t_folder[512];
    if (!subFolder)
        subFolder = L"";
    wchar_t appData[MAX_PATH] = L"";
    if (HasUser()) {
        for (int attempt = 0; attempt < 2 && !appData[0]; ++attempt)
            if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData)))
                appData[0] = L'\0';
    }
    // Without a user, or when the shell names no application-data folder (which would give a
    // path at the drive's root), the data lives beside the program.
    if (!appData[0]) {
        CopyText(t_folder, _countof(t_folder), GetModuleFolder());
        AppendPathSeparator(t_folder, _countof(t_folder));
        AppendText(t_folder, _countof(t_folder), subFolder);
        return t_folder;
    }
    FormatW(t_folder, _countof(t_folder), L"%s\\Orvix\\", appData);
    CVersionTool version(static_cast<HMODULE>(nullptr));
    AppendPathElement(t_folder, _countof(t_folder), version.GetProductName());
    AppendPathElement(t_folder, _countof(t_folder), version.GetFileDescription());
    AppendText(t_folder, _countof(t_folder), subFolder);
    return t_folder;
}
