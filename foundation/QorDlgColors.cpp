#include "foundation/QorDlgColors.h"

namespace {

// COLORREF values (0x00BBGGRR) of colours 1..13 per scheme; scheme 0 leaves 1-4 unset so the
// dialog's colour handlers hand back no brush and Windows draws its own look.
const COLORREF kSchemes[4][13] = {
    {0, 0, 0, 0, 0xFFFFFF, 0xFF0000, 0x000000, 0x7F7F7F, 0xFFFFD2, 0xFFFFF5, 0xFFFFE6, 0x0000FF, 0x000000},
    {0x3F3F3F, 0xFFFFFF, 0xDEDEDE, 0xC07F7F, 0x3F3F3F, 0xC0C0FF, 0xE6FFFF, 0x7F7F7F, 0x3F3F3F, 0x505050,
     0x646464, 0x00C0C0, 0xE6FFFF},
    {0xE6E6E6, 0x7F7F7F, 0xDEFFFF, 0xC0C0C0, 0xF0F0F0, 0xFF3F3F, 0x3F3F3F, 0x7F7F7F, 0xF0F0F0, 0xF5F5F5,
     0xFAFAFA, 0x0000FF, 0x3F3F3F},
    {0xFF7F7F, 0x7FFF7F, 0xDEFFDE, 0xC0C07F, 0xFFDEDE, 0xFF0000, 0x503F3F, 0x7F7F7F, 0xFFDEDE, 0xFFF5F5,
     0xFFE6E6, 0x0000FF, 0x553F3F},
};

// The colours that the three brushes are made of.
const int kBrushColors[3] = {0, 2, 3};

}  // namespace

CQorDlgColors::CQorDlgColors() : m_Colors(), m_hBrushes() {}

CQorDlgColors::~CQorDlgColors()
{
    DeleteBrushes();
}

void CQorDlgColors::DeleteBrushes()
{
    for (COLORREF& colour : m_Colors)
        colour = 0;
    for (HBRUSH& brush : m_hBrushes) {
        if (brush)
            DeleteObject(brush);
        brush = nullptr;
    }
}

void CQorDlgColors::SetScheme(int scheme)
{
    DeleteBrushes();
    if (scheme < 0 || scheme > 3)
        return;

    HDC screen = GetDC(nullptr);
    for (int i = 0; i < 13; ++i) {
        COLORREF colour = kSchemes[scheme][i];
        m_Colors[i] = screen ? GetNearestColor(screen, colour) : colour;
    }
    if (screen)
        ReleaseDC(nullptr, screen);

    if (scheme == 0)
        return;
    for (int i = 0; i < 3; ++i) {
        LOGBRUSH brush = {BS_SOLID, m_Colors[kBrushColors[i]], 0};
        m_hBrushes[i] = CreateBrushIndirect(&brush);
    }
}

COLORREF CQorDlgColors::GetColor(int number) const
{
    return number >= 1 && number <= 13 ? m_Colors[number - 1] : 0;
}
