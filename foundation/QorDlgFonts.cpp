#include "foundation/QorDlgFonts.h"

#include "foundation/Format.h"

CQorDlgFonts::CQorDlgFonts() : m_hFont(nullptr), m_hApplied(nullptr)
{
    CreateDlgFont(L"MS Shell Dlg");
}

CQorDlgFonts::~CQorDlgFonts()
{
    if (m_hApplied && m_hApplied != m_hFont)
        DeleteObject(m_hApplied);
    if (m_hFont)
        DeleteObject(m_hFont);
}

HFONT CQorDlgFonts::CreateDlgFont(const wchar_t* faceName)
{
    LOGFONTW font = {};
    font.lfHeight = -10;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    CopyText(font.lfFaceName, _countof(font.lfFaceName), faceName);
    HFONT created = CreateFontIndirectW(&font);

    // A font that never reached a window can go now; the one windows hold waits for ApplyFont.
    if (m_hFont && m_hFont != m_hApplied)
        DeleteObject(m_hFont);
    m_hFont = created;
    return created;
}

void CQorDlgFonts::ApplyFont(HWND window, const wchar_t* faceName, BOOL recreate)
{
    if (!faceName || !faceName[0])
        return;
    if (recreate)
        CreateDlgFont(faceName);

    HFONT font = m_hFont ? m_hFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (window) {
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (m_hApplied && m_hApplied != m_hFont)
        DeleteObject(m_hApplied);
    m_hApplied = m_hFont;
}
