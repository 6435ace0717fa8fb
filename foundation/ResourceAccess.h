// Language resources: every user-visible text is looked up by a numeric ID in the language
// library "RESOURCE.DLL" (Resource\<code>\ below the program folder), with a default text at
// each call site. Each module (host, plug-ins) owns one instance; the host loads the library,
// the plug-ins find it already in the process and read from it.
#pragma once

#include <windows.h>
#include <oleauto.h>

class CResourceAccess {
public:
    CResourceAccess();
    // Leaves the library loaded: the module's end is not the place to unload what others use.
    virtual ~CResourceAccess();

    // Chooses the base folder and the language and loads the library.
    void Init();
    // Init's steps: the candidate language identifiers, then the library for them.
    void CollectLanguageIds();
    void LoadByLanguageIds();

    // Loads <base>\Resource\<code>\RESOURCE.DLL unless a library is in use already.
    // Returns 1 when it loaded one now.
    int LoadResourceDll(const wchar_t* code);

    // The string, or the default (null gives "") when it is missing or empty. Valid until
    // this instance's next lookup.
    const wchar_t* GetString(UINT id, const wchar_t* defaultText);
    // The string into buf (TRUE), or FALSE when the library lacks it. For other threads: it
    // writes no member, finds the library as GetString does and holds it while it reads.
    BOOL LoadStringCopy(UINT id, wchar_t* buf, size_t capacity) const;
    // The same as a new BSTR; the caller frees it with SysFreeString.
    BSTR GetStringAsBSTR(UINT id, const wchar_t* defaultText);
    BOOL SetItemText(HWND dialog, int itemId, UINT id, const wchar_t* defaultText);
    BOOL SetWndText(HWND window, UINT id, const wchar_t* defaultText);
    // Items 0-49 are positions, larger numbers command IDs; the item's ID becomes 'item'.
    BOOL SetMenuText(HMENU menu, UINT item, UINT id, const wchar_t* defaultText);
    // The string with every '#' made a NUL: a file-dialog filter list, always ending in two
    // NULs. "" without a library. Per thread, valid until the next call.
    const wchar_t* GetFilterString(UINT id);
    // A message box of the two strings; a missing string takes its default. IDCANCEL
    // without a box when a text is still empty.
    int ShowMessage(HWND owner, UINT captionId, UINT textId, UINT type,
                    const wchar_t* defaultCaption = nullptr, const wchar_t* defaultText = nullptr);
    // Gives back the reference this instance took; the library stays when others hold it.
    void FreeResourceDll();
    // 1 when the library of that language (display name, any letter case) is in use after.
    int SwitchLanguage(const wchar_t* displayName);

    HMODULE m_hResource;
    wchar_t m_szPath[260];       // the base folder (with a trailing separator)
    wchar_t m_szString[1024];
    wchar_t m_szRaw[1024];
    int m_bIsUnicode;
    int m_bPreloaded;            // a "RESOURCE.DLL" was in the process before Init
    DWORD m_dwLangIds[10];
    // The library this instance loaded itself: the only one it ever frees, so a plug-in's
    // switch or free never takes away the host's library.
    HMODULE m_hOwned;
    wchar_t m_szLibrary[260];    // full path of the library this instance loaded or found

private:
    void RefreshHandle();
    void UseLibrary(HMODULE library, int owned, const wchar_t* path);
};

// "DE" for a German, "EN" for an English language identifier (its low 8 bits), else null.
const wchar_t* GetLanguageCodeOfId(DWORD languageId);
// The folder code of a language display name ("Deutsch" -> "De"); unknown names give "En".
const wchar_t* GetLanguageFolderCode(const wchar_t* displayName);
// Reads up to maxIds hexadecimal identifiers from the multi-string of
// GetUserPreferredUILanguages (length in characters, terminators included); returns the count.
int ParsePreferredLanguageIds(const wchar_t* multi, ULONG length, DWORD* ids, int maxIds);
// The folder below which "Resource" is looked for, for a module at modulePath: the folder that
// holds PluginExtra for a plug-in there, the installed program's folder for the installer,
// else the program folder. Always ends with a separator.
void MakeResourceBaseFolder(const wchar_t* modulePath, const wchar_t* programFolder,
                            const wchar_t* programFilesFolder, wchar_t* base, size_t capacity);
