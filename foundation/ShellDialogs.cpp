#include "foundation/ShellDialogs.h"

#include <commdlg.h>

#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/Seams.h"

namespace {

const size_t kPath = 512;

// The start folder's item list, between BrowseForFolder and its callback.
LPITEMIDLIST g_browseStart = nullptr;

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(window, BFFM_SETSELECTIONW, FALSE, data);
    return 0;
}

void FreeItemList(LPITEMIDLIST list)
{
    if (list)
        CoTaskMemFree(list);
}

// Drive and folder of a path, for the dialogs' initial folder.
void FolderOfPath(wchar_t* folder, size_t size, const wchar_t* path)
{
    CopyText(folder, size, path);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (slash)
        slash[1] = L'\0';
    else
        folder[0] = L'\0';
}

int RunFileDialog(HWND owner, const wchar_t* title, wchar_t* path, const wchar_t* filter, DWORD flags, bool save)
{
    wchar_t folder[kPath] = L"";
    FolderOfPath(folder, kPath, path);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = kPath - 1;
    dialog.lpstrInitialDir = folder[0] ? folder : nullptr;
    dialog.lpstrTitle = save ? title : nullptr;
    dialog.Flags = flags;
    return (save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)) ? 1 : 0;
}

}  // namespace

UINT GetBrowseForFolderFlags(BOOL newStyle)
{
    // File-system folders only; asking for computers as well would grey OK for every folder.
    return BIF_RETURNONLYFSDIRS | (newStyle ? BIF_USENEWUI : 0);
}

int GetFolderItemList(const wchar_t* path, LPITEMIDLIST* itemList)
{
    *itemList = nullptr;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return 0;
    wchar_t name[kPath] = L"";
    CopyText(name, kPath, path);
    HRESULT result = desktop->ParseDisplayName(nullptr, nullptr, name, nullptr, itemList, nullptr);
    desktop->Release();
    if (FAILED(result)) {
        *itemList = nullptr;
        return 0;
    }
    return 1;
}

int BrowseForFolder(HWND owner, const wchar_t* title, wchar_t* path, BOOL newStyle)
{
    g_browseStart = nullptr;
    if (path[0]) {
        AppendPathSeparator(path, kPath);
        GetFolderItemList(path, &g_browseStart);
    }
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = path;
    info.lpszTitle = title;
    info.ulFlags = GetBrowseForFolderFlags(newStyle);
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(g_browseStart);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    int done = 0;
    if (chosen) {
        done = SHGetPathFromIDListW(chosen, path) ? 1 : 0;
        FreeItemList(chosen);
    }
    FreeItemList(g_browseStart);
    g_browseStart = nullptr;
    return done;
}

int OpenFileDialog(HWND owner, const wchar_t* title, wchar_t* path, const wchar_t* filter)
{
    return RunFileDialog(owner, title, path, filter, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, false);
}

int SaveFileDialog(HWND owner, const wchar_t* title, wchar_t* path, const wchar_t* filter)
{
    return RunFileDialog(owner, title, path, filter, OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, true);
}

BOOL TrackPopupMenuAtCursor(HWND owner, HMENU menu)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetForegroundWindow(owner);
    BOOL result = g_pfnTrackPopupMenuEx(menu, TPM_RIGHTBUTTON, cursor.x + 10, cursor.y, owner, nullptr);
    // Without a message after the menu, a click elsewhere does not close the next one.
    PostMessageW(owner, WM_NULL, 0, 0);
    return result;
}

UINT TrackPopupMenuAtCursorReturnCmd(HWND owner, HMENU menu)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetForegroundWindow(owner);
    UINT command = static_cast<UINT>(
        g_pfnTrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x + 10, cursor.y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    return command;
}

const wchar_t* GetShellExecuteErrorText(INT_PTR result)
{
    static thread_local wchar_t t_text[256];
    const wchar_t* text = L"Unknown Error";
    if (result > 32) {
        text = L"No Error";
    } else {
        switch (result) {
        case 0: text = L"Out of memory"; break;
        case 2: text = L"The specified file was not found"; break;
        case 3: text = L"The specified path was not found."; break;
        case 5: text = L"The operating system denied access to the specified file."; break;
        case 8: text = L"There was not enough memory to complete the operation."; break;
        case 11: text = L"The .exe file is invalid (non-Win32 .exe or error in .exe image)."; break;
        case 26: text = L"A sharing violation occurred."; break;
        case 27: text = L"The file name association is incomplete or invalid."; break;
        case 28: text = L"The DDE transaction could not be completed because the request timed out."; break;
        case 29: text = L"The DDE transaction failed."; break;
        case 30:
            text = L"The DDE transaction could not be completed because other DDE transactions were being processed.";
            break;
        case 31:
            text = L"There is no application associated with the given file name extension. This error will also "
                   L"be returned if you attempt to print a file that is not printable.";
            break;
        case 32: text = L"The specified DLL was not found"; break;
        default: break;
        }
    }
    CopyText(t_text, _countof(t_text), text);
    return t_text;
}
