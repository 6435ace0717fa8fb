// The settings store of one module (the host or a plug-in): values by section and key, kept
// in HKCU "SOFTWARE\Orvix\<program>\<module>" when "SOFTWARE\Orvix\<program>" exists at
// Init, else in INI files (the per-user INI in the data folder's "CFG", then the module's
// own INI; an empty section means the program INI, section <module>).
//
// Text results are buffers per thread, valid until the next call of the same function.
#pragma once

#include "foundation/RegTool.h"
#include "foundation/SettingsEncoding.h"

#include <cstdarg>

class CRegIniAccess : public CRegTool {
public:
    CRegIniAccess();

    void Init(BOOL createFolder);

    const wchar_t* ReadString(const wchar_t* section, const wchar_t* key, BOOL unescape);
    // The stored text without unescaping; the default when missing. A "#UNI#" text is decoded:
    // the writers use that form for every text their escapes cannot carry, so its hex digits
    // are never what a reader wants.
    const wchar_t* ReadStringDefault(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText);
    const wchar_t* ReadProfileString(int profile, const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultText);
    DWORD ReadDword(const wchar_t* section, const wchar_t* key);

    // Writes return 1 when the value was stored where reads will find it, else 0.
    int WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* text);
    int WriteInt(const wchar_t* section, const wchar_t* key, int value);
    int WriteFormatted(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...);
    int WriteQuotedString(const wchar_t* section, const wchar_t* key, const wchar_t* text);
    int WriteProfileInt(int profile, const wchar_t* section, const wchar_t* key, int value);
    int WriteProfileFormatted(int profile, const wchar_t* section, const wchar_t* key, const wchar_t* format, ...);
    int WriteDword(const wchar_t* section, const wchar_t* key, DWORD value);
    // The *Default writes store a value only where it is missing; an existing value of any
    // length stays. 1 when the value is there afterwards, else 0.
    int WriteStringDefault(const wchar_t* section, const wchar_t* key, const wchar_t* text);
    int WriteIntDefault(const wchar_t* section, const wchar_t* key, int value);
    int WriteFormattedDefault(const wchar_t* section, const wchar_t* key, const wchar_t* format, ...);
    int WriteDwordDefault(const wchar_t* section, const wchar_t* key, DWORD value);

    // 1 and the value when the key exists in that file, else 0 and the default (null = "").
    int ReadIniValue(const wchar_t* section, const wchar_t* key, wchar_t* dst, DWORD capacity, const wchar_t* file,
                     const wchar_t* defaultText);
    BOOL DeleteIniFile();
    void UseProgramIniFile();
    void UseProgramIniAsUserIni();
    static int HasWideChars(const wchar_t* text) { return ::HasWideChars(text); }

    BOOL IsRegistryMode() const { return m_bRegistry; }
    const wchar_t* GetIniFile() const { return m_szIniFile; }
    const wchar_t* GetProgramIniFile() const { return m_szProgramIniFile; }
    const wchar_t* GetUserIniFile() const { return m_szUserIniFile; }
    const wchar_t* GetStoreUserName() const { return m_szUserName; }
    const wchar_t* GetModuleName() const { return m_szModuleName; }
    const wchar_t* GetRegKey() const { return m_szRegKey; }

protected:
    wchar_t m_szIniFile[512];
    wchar_t m_szProgramIniFile[512];
    wchar_t m_szProgramName[512];
    wchar_t m_szModuleName[512];
    wchar_t m_szRegKey[512];
    wchar_t m_szTmp[512];
    wchar_t m_szTemp[512];
    wchar_t m_szAppData[512];
    wchar_t m_szUserName[512];
    wchar_t m_szUserIniFile[512];
    BOOL m_bRegistry;
    BOOL m_bCreateFolder;

private:
    void SectionKeyPath(wchar_t* dst, size_t capacity, const wchar_t* section) const;
    bool HasUser() const { return m_szUserName[0] != L'\0'; }
    // Reads the raw text by the store's order; 1 when found.
    int ReadRaw(const wchar_t* section, const wchar_t* key, wchar_t* dst, DWORD capacity, const wchar_t* defaultText);
    int StoreText(const wchar_t* section, const wchar_t* key, const wchar_t* stored, bool onlyWhenMissing);
    int StoreDword(const wchar_t* section, const wchar_t* key, DWORD value, bool onlyWhenMissing);
    int WriteFormattedV(const wchar_t* section, const wchar_t* key, const wchar_t* format, va_list args,
                        bool onlyWhenMissing);
};
