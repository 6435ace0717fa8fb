// The plug-in manager: one CPluginBase per category folder loads up to 32 libraries named
// "Plugin*.DLL" into slots, binds their exports by name, orders the slots by the plug-in load
// order rule, calls their life-cycle exports and hands bus messages to them. Everything runs
// on the host's GUI thread.
#pragma once

#include "bus/PluginContract.h"

#include <windows.h>

constexpr int kPluginSlots = 32;

// The load order used when the host has no rule of its own.
extern const wchar_t kDefaultLoadSortRule[];

// One slot: thirteen 32-bit fields. The slot is used exactly when hModule is nonzero.
struct QorPluginSlot {
    HMODULE hModule;
    DWORD dwPluginId;
    DWORD dwCanDisable;
    DWORD dwIsBeta;
    DWORD dwIsUnicode;
    PFN_DLL_PluginBusProcess pfnPluginBusProcess;
    PFN_DLL_GetPluginID pfnGetPluginID;
    PFN_DLL_PluginAfterLoad pfnPluginAfterLoad;
    PFN_DLL_IsBetaVersion pfnIsBetaVersion;
    PFN_DLL_PluginBeforeClose pfnPluginBeforeClose;
    PFN_DLL_GetPluginName pfnGetPluginName;
    PFN_DLL_GetDisableState pfnGetDisableState;
    PFN_DLL_IsUnicode pfnIsUnicode;
};

class CPluginBase {
public:
    // Without a category both texts stay empty.
    CPluginBase();
    // The category folder beside the program: "<program folder>\<category>\".
    explicit CPluginBase(const wchar_t* category);
    // Unloads nothing: the host closes its plug-ins itself.
    virtual ~CPluginBase();

    virtual void LoadAllModules();
    virtual void AfterLoad();
    virtual void BeforeClose();
    virtual void UnloadAllModules();

    // The category folder "<base>\<category>\" (the host passes its program folder).
    void SetFolder(const wchar_t* baseFolder, const wchar_t* category);
    const wchar_t* GetPath() const { return m_szPath; }
    const wchar_t* GetName() const { return m_szName; }

    void LoadModule(int slot, const wchar_t* path);
    // DLL_PluginBeforeClose (unless already called), FreeLibrary, then the whole slot cleared.
    void UnloadModule(int slot);

    // Loads one more plug-in of this folder by its bare file name ("Plugin*.DLL"; ".DLL" is
    // added when missing): 0 loaded, 1 already loaded, 2 load failed or not a plug-in name,
    // 3 no free slot.
    int Add(const wchar_t* file);
    // Closes and unloads the plug-in of that file name: 0 unloaded, 1 not found.
    int Remove(const wchar_t* file);

    // Slot by slot until a plug-in answers 0; 1 when no slot answers.
    DWORD PluginBusProcess(DWORD type, wchar_t* text);
    // One slot; 1 when it has no DLL_PluginBusProcess.
    DWORD SlotBusProcess(int slot, DWORD type, wchar_t* text);

    // Slot accessors; the index is taken modulo 32.
    const wchar_t* GetPluginName(int slot);
    HMODULE GetModule(int slot) const;
    DWORD GetPluginId(int slot) const;
    DWORD GetIsBeta(int slot) const;
    DWORD GetCanDisable(int slot) const;
    // 1 for an empty slot, 0 without the export, else the plug-in's answer.
    DWORD GetDisableState(int slot);
    const QorPluginSlot& GetSlot(int slot) const { return m_Slots[Index(slot)]; }

    static DWORD GetDisableStateOf(HMODULE module);
    static DWORD IsBetaVersionOf(HMODULE module);

    void UpdateCanDisable();
    // Orders the used slots by the place of each ID in the load order rule; IDs the rule does
    // not name come first; equal places keep their order.
    void SortModules();
    void PrintFileInfos();
    // The number after "LoadLevel" and one separator in the file's version Comments; else 0.
    static int GetLoadLevel(const wchar_t* path);
    static int ParseLoadLevel(const wchar_t* comments);

    // The rule of every category: IDs each followed by ';'. Null or empty restores the default.
    static void SetLoadSortRule(const wchar_t* rule);
    static const wchar_t* GetLoadSortRule();

protected:
    static int Index(int slot) { return ((slot % kPluginSlots) + kPluginSlots) % kPluginSlots; }
    // Upper-cases the name, adds ".DLL" when it does not end so; false when it is no bare
    // "Plugin*.DLL" name.
    static bool NormalizePluginName(wchar_t* name, size_t capacity, const wchar_t* file);
    int FindLoaded(const wchar_t* name) const;

    wchar_t m_szPath[512];
    wchar_t m_szName[512];
    QorPluginSlot m_Slots[kPluginSlots];
    // DLL_PluginBeforeClose was called since the slot was loaded.
    bool m_bClosed[kPluginSlots];
};

// The six categories of the host.
extern CPluginBase g_PluginDebug;
extern CPluginBase g_PluginExtra;
extern CPluginBase g_PluginInfo;
extern CPluginBase g_PluginSave;
extern CPluginBase g_PluginSearch;
extern CPluginBase g_PluginTelephony;
