#include "plugin_support/EditIO.h"

#include "foundation/Format.h"
#include "foundation/TextUtils.h"

CEditIO::CEditIO(HWND dialog, int controlId) : m_dialog(dialog), m_controlId(controlId) { m_text[0] = L'\0'; }

CEditIO::~CEditIO() {}

void CEditIO::Attach(HWND dialog, int controlId)
{
    m_dialog = dialog;
    m_controlId = controlId;
}

void CEditIO::ReadControl()
{
    m_text[0] = L'\0';
    if (GetDlgItemTextW(m_dialog, m_controlId, m_text, static_cast<int>(kTextSize - 1)) == 0)
        m_text[0] = L'\0';
    m_text[kTextSize - 1] = L'\0';
    Normalize();
    SetControlText();
}

void CEditIO::Normalize()
{
    ReplaceChar(m_text, L'\t', L' ');
    ReplaceChar(m_text, L'\r', L' ');
    TrimBlanks(m_text);
    TrimLeadingBlanks(m_text, kTextSize - 1);
}

void CEditIO::GetText(wchar_t* destination, size_t size)
{
    ReadControl();
    CopyText(destination, size, m_text);
}

void CEditIO::SetControlText() { SetDlgItemTextW(m_dialog, m_controlId, m_text); }
