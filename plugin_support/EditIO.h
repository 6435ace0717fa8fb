// A text buffer bound to one edit control of a dialog: reads the control's text cleaned of
// tabs, carriage returns and surrounding blanks, and shows the cleaned text in the control.
#pragma once

#include <windows.h>

#include <cstddef>

class CEditIO {
public:
    CEditIO(HWND dialog, int controlId);
    virtual ~CEditIO();

    // Binds the object to another control; the text stays until the next read.
    void Attach(HWND dialog, int controlId);
    // Reads at most 2,046 characters, cleans them and writes the cleaned text back.
    void ReadControl();
    // Tabs and carriage returns become blanks; leading and trailing blanks go.
    void Normalize();
    // Reads the control, then copies at most size - 1 characters and a terminator.
    void GetText(wchar_t* destination, size_t size);
    void SetControlText();

    const wchar_t* Text() const { return m_text; }

private:
    static constexpr size_t kTextSize = 2048;
    wchar_t m_text[kTextSize];
    HWND m_dialog;
    int m_controlId;
};
