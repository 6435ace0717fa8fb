// The dialling location of the telephony plug-in: own country and area code, outside-line
// access prefixes, national and international prefixes.
//
// Filled at start-up from the Windows telephony location settings, then overridden one value
// at a time by the prefixes the PBX reports. Number canonicalisation and the display format
// read it through GetPredialNumbers(); it also turns a canonical number back into a string
// that can be dialled. The plug-in keeps exactly one object.
#pragma once

#include <windows.h>

#include "foundation/RegTool.h"

// Where Windows keeps its dialling locations (under HKEY_LOCAL_MACHINE).
extern const wchar_t kTelephonyLocationsKey[];

class CPredialNumbers : public CRegTool {
public:
    // Reads the current location from root\locationsKey (the real key by default).
    explicit CPredialNumbers(HKEY root = HKEY_LOCAL_MACHINE, const wchar_t* locationsKey = kTelephonyLocationsKey);
    ~CPredialNumbers() override;
    CPredialNumbers(const CPredialNumbers&) = delete;
    CPredialNumbers& operator=(const CPredialNumbers&) = delete;

    BOOL ReadCurrentLocation();
    BOOL LoadSubLocation(DWORD n);
    BOOL CheckLocationCountries();
    BOOL IsLocationComplete();

    void SetTestParameters(DWORD country, const wchar_t* area, const wchar_t* outsideAccess,
                           const wchar_t* longDistanceAccess, const wchar_t* longDistanceCarrier,
                           const wchar_t* internationalCarrier);
    void SetCountryCode(const wchar_t* text);
    void SetAreaCode(const wchar_t* text);
    void SetInternationalPrefix(const wchar_t* text);
    void SetNationalPrefix(const wchar_t* text);
    void SetOutsideLinePrefix(const wchar_t* text);
    void GeneratePredials();

    DWORD GetCurrentLocation() const { return m_currentLocation; }
    const wchar_t* GetAreaCode() const { return m_areaCode; }
    const wchar_t* GetCountryCode() const { return m_countryCode; }
    DWORD GetCountryNumber() const;
    DWORD GetCountryCodeLength() const { return m_countryCodeLength; }
    const wchar_t* GetInternationalPrefix() const { return m_internationalPrefix; }
    const wchar_t* GetNationalPrefix() const { return m_nationalPrefix; }
    const wchar_t* GetOutsideAccess() const { return m_outsideAccess; }
    const wchar_t* GetLongDistanceAccess() const { return m_longDistanceAccess; }
    const wchar_t* GetLongDistanceCarrierCode() const { return m_longDistanceCarrierCode; }
    const wchar_t* GetInternationalCarrierCode() const { return m_internationalCarrierCode; }

    // In-place edits of a caller's 32-character buffer (at most 30 characters kept).
    void StripToneAccess(wchar_t* text) const;
    void RemoveDialPrefix(wchar_t* text) const;
    void RemoveNationalPrefixes(wchar_t* text) const;
    BOOL InsertCountryBlank(wchar_t* text) const;
    static void KeepDigits(wchar_t* text);
    static void CleanDialString(wchar_t* text);
    // Turns a number into the string to dial. FALSE (and the number unchanged) when the
    // dial string would not fit the buffer.
    BOOL GetDialString(wchar_t* text) const;
    // The dial string of a canonical number, in a buffer of this module (per thread).
    const wchar_t* BuildDialString(const wchar_t* text) const;

private:
    void SetCountry(DWORD code);
    void StoreAreaCode(const wchar_t* text);
    // Opens the key of location n as this object's open key.
    bool OpenLocation(DWORD n);
    void ReadText(const wchar_t* name, wchar_t* field);

    HKEY m_root;
    wchar_t m_locationsKey[260];
    DWORD m_currentLocation;
    wchar_t m_countryCode[32];
    DWORD m_countryCodeLength;
    wchar_t m_areaCode[32];
    wchar_t m_outsideAccess[32];
    wchar_t m_longDistanceAccess[32];
    wchar_t m_nationalPrefix[32];
    wchar_t m_internationalPrefix[32];
    wchar_t m_longDistanceCarrierCode[32];
    wchar_t m_internationalCarrierCode[32];
};

// The module's one dialling location (the last one constructed), or null.
CPredialNumbers* GetPredialNumbers();
// The own country number (the dialling code, 49 for Germany), shared with the formatting.
DWORD GetCountryNumber();
// The countries whose numbers need no area code for the location to be complete.
BOOL IsCountryWithoutAreaCode(DWORD code);
