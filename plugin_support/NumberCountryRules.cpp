#include "plugin_support/NumberCountryRules.h"

#include "plugin_support/NumberAreaData.h"

#include <cwchar>

namespace {

// The national digits of one number; positions past its end read as no digit, so a short
// number never makes a rule read beyond it.
class Digits {
public:
    Digits(const wchar_t* canonical, const wchar_t* national)
        : m_full(canonical), m_nat(national), m_len(wcslen(national)) {}
    wchar_t d(size_t i) const { return i >= 1 && i <= m_len ? m_nat[i - 1] : L'\0'; }
    bool Is(size_t i, const wchar_t* set) const
    {
        wchar_t c = d(i);
        return c && wcschr(set, c);
    }
    bool Between(size_t i, wchar_t lo, wchar_t hi) const { return d(i) >= lo && d(i) <= hi; }
    // The two digits at i and i + 1 are one of the pairs ("16 75").
    bool Pair(size_t i, const wchar_t* pairs) const
    {
        wchar_t a = d(i), b = d(i + 1);
        if (!a || !b)
            return false;
        for (const wchar_t* p = pairs; p[0] && p[1]; p += (p[2] ? 3 : 2))
            if (p[0] == a && p[1] == b)
                return true;
        return false;
    }
    // The whole number begins with one of the prefixes (blank-separated, with '+').
    bool Begins(const wchar_t* prefixes) const
    {
        const wchar_t* p = prefixes;
        while (*p) {
            const wchar_t* end = wcschr(p, L' ');
            size_t n = end ? static_cast<size_t>(end - p) : wcslen(p);
            if (wcsncmp(m_full, p, n) == 0)
                return true;
            p += n;
            while (*p == L' ')
                ++p;
        }
        return false;
    }
    const wchar_t* National() const { return m_nat; }
    size_t Length() const { return m_len; }

private:
    const wchar_t* m_full;
    const wchar_t* m_nat;
    size_t m_len;
};

int ByPrefixRule(const AreaPrefixRule* rules, size_t count, const Digits& g)
{
    size_t best = 0;
    int n = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t len = wcslen(rules[i].prefix);
        if (len > best && wcsncmp(g.National(), rules[i].prefix, len) == 0) {
            best = len;
            n = rules[i].length;
        }
    }
    return n;
}

int Rule20(const Digits& g) { return g.Is(1, L"23") ? 1 : g.d(1) == L'7' ? 3 : 2; }

int Rule30(const Digits& g)
{
    if (g.d(1) == L'1') return 1;
    if (g.d(1) == L'2') return 3;
    if (g.Between(1, L'3', L'8')) return g.d(2) == L'1' ? 2 : 3;
    return 0;
}

int Rule31(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.Is(2, L"035") ? 2 : g.Is(2, L"1678") ? 3 : 0;
    case L'2': return g.Is(2, L"0346") ? 2 : g.Is(2, L"259") ? 3 : 0;
    case L'3': return g.Is(2, L"03568") ? 2 : g.Is(2, L"124") ? 3 : 0;
    case L'4': return g.Is(2, L"0356") ? 2 : g.Is(2, L"1789") ? 3 : 0;
    case L'5':
        if (g.Is(2, L"035")) return 2;
        if (g.Is(2, L"124679")) return 3;
        if (g.d(2) == L'8') return g.d(3) == L'5' ? 3 : 2;
        return 0;
    case L'7': return 2;
    default: return 0;
    }
}

int Rule36(const Digits& g) { return g.d(1) == L'1' ? 1 : 2; }

// Italian numbers keep their leading 0: the rule reads the digits after it, and the area
// code counts it ("06" for Rome, "011" for Turin).
int Rule39(const Digits& g)
{
    size_t at = g.d(1) == L'0' ? 2 : 1;
    if (g.Is(at, L"26")) return 2;
    return g.Is(at + 1, L"0159") ? 3 : 4;
}

int Rule40(const Digits& g) { return g.d(1) == L'1' ? 1 : g.Is(1, L"78") ? 3 : 2; }

int Rule41(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.d(2) == L'0' ? 5 : g.d(2) == L'8' ? 4 : 3;
    case L'2': case L'3': case L'4': case L'5': case L'6': case L'7': return 2;
    case L'8': return g.Is(2, L"047") ? 3 : 2;
    case L'9': return g.d(2) == L'0' ? 3 : 2;
    default: return 0;
    }
}

int Rule43(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return 1;
    case L'2': return 4;
    case L'3': return g.Pair(2, L"16 75") ? 3 : 4;
    case L'4': return g.Pair(2, L"63") ? 3 : 4;
    case L'5': return g.d(2) == L'0' ? 2 : g.Pair(2, L"12") ? 3 : 4;
    case L'6': return g.Is(2, L"01") || g.d(3) == L'0' || g.Pair(2, L"32") ? 3 : 4;
    case L'7': return g.d(2) == L'0' ? 2 : g.Pair(2, L"32 51") ? 3 : 4;
    case L'8': return g.Pair(2, L"00 10 20 51 61") ? 3 : g.d(2) == L'9' ? 2 : 4;
    case L'9': return 3;
    default: return 0;
    }
}

int Rule46(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': case L'2': return g.Is(2, L"0136") ? 2 : 3;
    case L'3': return g.Is(2, L"1356") ? 2 : 3;
    case L'4': return g.Is(2, L"0246") ? 2 : 3;
    case L'5': return g.d(2) == L'4' ? 2 : 3;
    case L'6': return g.Is(2, L"03") ? 2 : 3;
    case L'7': return g.d(2) == L'3' ? 2 : 3;
    case L'8': return 1;
    case L'9': return 3;
    default: return 0;
    }
}

int Rule48(const Digits& g)
{
    // Polish numbers have nine digits. A longer one is shown whole, without an area code,
    // rather than losing its first digits.
    if (g.Length() > 9)
        return 0;
    switch (g.d(1)) {
    case L'1':
        if (g.Is(2, L"0257")) return 2;
        if (g.Pair(2, L"46 65 87") || (g.d(2) == L'9' && (g.d(3) == L'2' || g.Between(3, L'4', L'8')))) return 3;
        if (g.Is(2, L"4689")) return 2;
        return 3;
    case L'2':
        if (g.d(2) == L'1' || g.Pair(2, L"38 55 56")) return 3;
        if (g.Between(2, L'2', L'5') || g.d(2) == L'9') return 2;
        return 1;
    case L'3':
        if (g.Is(2, L"78") || g.Pair(2, L"35")) return 3;
        if (g.Is(2, L"0234569")) return 2;
        return 0;
    case L'4':
        if (g.d(2) == L'9' || g.Pair(2, L"35 51 57 72 78")) return 3;
        if (g.Is(2, L"01234578")) return 2;
        return 0;
    case L'5': return g.Pair(2, L"06 11 31 32 36 53 55") ? 3 : 2;
    case L'6':
        if (g.Pair(2, L"36 41 46 47 57 66 67 68")) return 3;
        if (g.Between(2, L'1', L'9')) return 2;
        return 0;
    case L'7': return g.Pair(2, L"25 94 97") ? 3 : 2;
    case L'8': return g.Pair(2, L"00 31 36 37 78") ? 3 : 2;
    case L'9': return g.Pair(2, L"23 28 31 32 36") || g.d(2) == L'6' ? 3 : 2;
    default: return 0;
    }
}

int Rule54(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return 2;
    case L'2':
        switch (g.d(2)) {
        case L'2':
            if (g.Is(3, L"13")) return 3;
            if (g.d(3) == L'0') return g.d(4) == L'2' ? 4 : 3;
            return 4;
        case L'3': return g.d(3) == L'7' ? 3 : 4;
        case L'6':
            if (g.d(3) == L'1') return 3;
            if (g.d(3) == L'4') return g.Between(4, L'6', L'8') ? 4 : 3;
            return 4;
        case L'9':
            if (g.Is(3, L"19")) return 3;
            if (g.d(3) == L'7') return g.d(4) == L'2' ? 4 : 3;
            return 4;
        default: return 4;
        }
    case L'3':
        switch (g.d(2)) {
        case L'4':
            if (g.Is(3, L"12")) return 3;
            if (g.d(3) == L'3') return g.Between(4, L'5', L'8') ? 4 : 3;
            if (g.d(3) == L'5') return g.Is(4, L"4568") ? 4 : 3;
            return 4;
        case L'5':
            if (g.d(3) == L'1') return 3;
            if (g.d(3) == L'3') return g.Between(4, L'2', L'5') ? 4 : 3;
            if (g.d(3) == L'8') return g.Between(4, L'2', L'6') ? 4 : 3;
            return 4;
        case L'8':
            if (g.d(3) == L'1') return 3;
            if (g.d(3) == L'5') return g.Between(4, L'4', L'8') ? 4 : 3;
            if (g.d(3) == L'7') return g.Between(4, L'5', L'8') ? 4 : 3;
            if (g.d(3) == L'8') return g.Between(4, L'4', L'7') ? 4 : 3;
            return 4;
        default: return 4;
        }
    case L'8': case L'9': return 3;
    default: return 0;
    }
}

int Rule56(const Digits& g) { return g.Is(1, L"29") ? 1 : 2; }
int Rule60(const Digits& g) { return g.d(1) == L'1' ? 2 : g.d(1) == L'8' ? (g.d(2) == L'0' ? 3 : 2) : 1; }

int Rule62(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.d(2) == L'3' ? 2 : 3;
    case L'2': case L'3': case L'7': return 2;
    case L'4': case L'5': case L'6': case L'9': return 1;
    case L'8':
        if (g.d(2) == L'1') return g.Is(3, L"126") ? 4 : 3;
        if (g.Is(2, L"27")) return 3;
        if (g.Is(2, L"3568")) return 2;
        return 0;
    default: return 0;
    }
}

int Rule66(const Digits& g) { return g.d(1) == L'1' ? 3 : g.Is(1, L"29") ? 1 : 2; }

int Rule81(const Digits& g)
{
    switch (g.d(1)) {
    case L'1':
        if (g.d(2) == L'1') return 2;
        return g.Begins(L"+811397 +811428 +811537 +811582") ? 4 : 3;
    case L'2':
        switch (g.d(2)) {
        case L'2': return g.Begins(L"+81224") ? 3 : 2;
        case L'4': return g.Begins(L"+812402") ? 4 : 3;
        case L'5': return g.Begins(L"+81257 +81258") ? 3 : 2;
        case L'8': return g.Begins(L"+812808") ? 4 : 3;
        default: return 3;
        }
    case L'3': case L'6': return 1;
    case L'4':
        switch (g.d(2)) {
        case L'3': return g.Begins(L"+81434 +81436") ? 3 : 2;
        case L'4': case L'5': return 2;
        case L'8': return g.Begins(L"+81482 +81485 +81487 +81488 +81489") ? 3 : 2;
        case L'9': return g.Begins(L"+814992 +814994 +814996") ? 4 : 3;
        default: return 3;
        }
    case L'5': return g.d(2) == L'2' ? 2 : 3;
    case L'7':
        switch (g.d(2)) {
        case L'2': return g.Begins(L"+81720 +81722 +81723 +81724 +81725 +81726 +81727 +81729") ? 3 : 2;
        case L'4': return g.Begins(L"+817443 +817454") ? 4 : 3;
        case L'5': case L'8': return 2;
        case L'6': return g.Begins(L"+81762 +81764 +81766") ? 3 : 2;
        case L'7': return g.Begins(L"+81773 +81774 +81775 +81776") ? 3 : 2;
        default: return 3;
        }
    case L'8':
        switch (g.d(2)) {
        case L'2': return g.Begins(L"+81823") ? 3 : 2;
        case L'3': return g.Begins(L"+818382") ? 4 : 3;
        case L'5': return g.Begins(L"+818512") ? 4 : 3;
        default: return 3;
        }
    case L'9':
        switch (g.d(2)) {
        case L'0': return g.d(3) == L'9' ? 4 : 3;
        case L'2': return g.Begins(L"+819203") ? 4 : 2;
        case L'3': case L'6': return 2;
        case L'4': return g.Begins(L"+819445") ? 4 : 3;
        case L'5': return g.Begins(L"+819557 +819597") ? 4 : 3;
        case L'8': return g.Begins(L"+819802") ? 4 : 2;
        case L'9': return g.Begins(L"+819972") ? 4 : 3;
        default: return 3;
        }
    default: return 0;
    }
}

int Rule82(const Digits& g) { return g.d(1) == L'2' ? 1 : 2; }
int Rule84(const Digits& g) { return g.Is(1, L"48") ? 1 : 2; }

int Rule86(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.d(2) == L'0' ? 2 : 3;
    case L'2': return 2;
    case L'3': return g.Begins(L"+863811 +863812 +863814 +863829 +863851 +863869 +863891") ? 4 : 3;
    case L'4':
        return g.Begins(L"+864271 +864284 +864441 +864450 +864610 +864615 +864617 +864682 +864812") ? 4 : 3;
    case L'5':
        return g.Is(2, L"0468") ||
                       g.Begins(L"+865217 +865218 +865221 +865222 +865223 +865225 +865241 +865245")
                   ? 4 : 3;
    case L'6': return 1;
    case L'7':
        return g.Is(2, L"048") ||
                       g.Begins(L"+867202 +867225 +867234 +867254 +867265 +867275 +867291 +867617 +867618 "
                                L"+867620 +867623 +867628 +867633 +867636 +867640 +867644 +867648 +867649 "
                                L"+867650 +867651 +867666 +867669 +867683")
                   ? 4 : 3;
    case L'8': return g.Is(2, L"0248") ? 4 : 3;
    case L'9': return g.Is(2, L"024") ? 4 : 3;
    default: return 3;
    }
}

int Rule94(const Digits& g) { return g.Is(1, L"18") ? 1 : 2; }
int Rule95(const Digits& g) { return g.Is(1, L"12") ? 1 : 2; }
int Rule234(const Digits& g) { return g.Is(1, L"129") ? 1 : g.d(1) == L'8' ? (g.d(2) == L'0' ? 3 : 2) : 2; }
int Rule255(const Digits& g) { return g.Is(1, L"589") ? 1 : g.d(1) == L'7' ? (g.Is(2, L"46") ? 3 : 1) : 2; }
int Rule258(const Digits& g) { return g.Is(1, L"257") ? 2 : 1; }
int Rule260(const Digits& g) { return g.d(1) == L'1' ? 3 : g.Is(1, L"369") ? 2 : 1; }

int Rule351(const Digits& g)
{
    if (g.d(1) == L'2') return g.Is(2, L"12") ? 2 : 3;
    if (g.Is(1, L"568")) return 3;
    return g.d(1) == L'9' ? 2 : 0;
}

int Rule353(const Digits& g)
{
    if (g.Is(1, L"13")) return 1;
    if (g.Is(1, L"2678")) return 2;
    if (g.Is(1, L"459")) return g.d(2) == L'0' ? 3 : 2;
    return 0;
}

int Rule357(const Digits& g)
{
    if (g.d(1) == L'7') return g.Is(2, L"79") ? 2 : 1;
    if (g.d(1) == L'8') return 2;
    if (g.d(1) == L'9') return g.Is(2, L"079") ? 2 : 1;
    return 1;
}

int Rule358(const Digits& g) { return g.d(1) == L'1' ? 2 : 1; }

int Rule370(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.Is(2, L"01") || g.Between(2, L'6', L'9') ? 2 : 1;
    case L'2': return g.Is(2, L"08") ? 2 : 1;
    case L'3': case L'4': case L'5': case L'9': return 2;
    case L'6': return g.Is(2, L"01689") ? 2 : 1;
    case L'7': return g.Is(2, L"018") ? 2 : 1;
    default: return 0;
    }
}

int Rule371(const Digits& g) { return g.d(1) == L'2' ? 1 : 2; }
int Rule372(const Digits& g) { return g.Is(1, L"89") ? 3 : 2; }
int Rule373(const Digits& g) { return g.d(1) == L'2' ? 1 : 2; }
int Rule381(const Digits&) { return 2; }
int Rule385(const Digits& g) { return g.d(1) == L'1' ? 1 : 2; }

int Rule389(const Digits& g)
{
    if (g.d(1) == L'2') return 1;
    if (g.d(1) == L'5') return g.d(2) == L'0' ? 3 : 2;
    return g.Is(1, L"89") ? 3 : 2;
}

int Rule420(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return g.Is(2, L"79") ? 2 : 3;
    case L'2': case L'5': return g.d(2) == L'0' ? 3 : 1;
    case L'3': return g.Is(2, L"578") ? 2 : 3;
    case L'4': return g.Is(2, L"0789") ? 2 : 3;
    case L'6': return g.Between(2, L'6', L'9') ? 2 : 3;
    case L'8': return 3;
    default: return 0;
    }
}

int Rule421(const Digits& g) { return g.d(1) == L'2' ? 1 : 2; }
int Rule672(const Digits& g) { return g.d(1) == L'1' ? 2 : 1; }

int Rule886(const Digits& g)
{
    switch (g.d(1)) {
    case L'1': return 3;
    case L'2': case L'7': return 1;
    case L'3': case L'4': return g.Between(2, L'5', L'9') ? 2 : 1;
    case L'5': return g.Is(2, L"569") ? 2 : 1;
    case L'6': return g.Is(2, L"069") ? 2 : 1;
    case L'8': return g.Is(2, L"89") ? 2 : 1;
    case L'9': return 2;
    default: return 0;
    }
}

int Rule961(const Digits&) { return 1; }
int Rule962(const Digits& g) { return g.d(1) == L'7' ? 2 : 1; }
int Rule964(const Digits& g) { return g.d(1) == L'1' ? 1 : 2; }

int Rule971(const Digits& g)
{
    if (g.Is(1, L"2369")) return 1;
    if (g.d(1) == L'4') return g.d(2) == L'9' ? 2 : 1;
    if (g.Is(1, L"58")) return 2;
    if (g.d(1) == L'7') return g.Is(2, L"07") ? 2 : 1;
    return 0;
}

int Rule972(const Digits& g)
{
    if (g.Is(1, L"236789")) return g.Is(2, L"456") ? 2 : 1;
    if (g.d(1) == L'4') return 1;
    return g.d(1) == L'5' ? 2 : 0;
}

int Rule976(const Digits& g) { return g.d(1) == L'1' ? 1 : 2; }
int Rule977(const Digits& g) { return g.d(1) == L'1' ? (g.Is(2, L"019") ? 2 : 1) : 2; }
int Rule993(const Digits& g) { return g.Pair(1, L"12") ? 2 : 3; }
int Rule994(const Digits& g) { return g.Is(1, L"12") ? (g.d(2) == L'2' ? 2 : 3) : g.d(1) == L'5' ? 2 : 3; }
int Rule995(const Digits& g) { return g.d(1) == L'3' ? (g.Is(2, L"24") ? 2 : 3) : 3; }
int Rule996(const Digits& g) { return g.d(1) == L'3' ? (g.Begins(L"+996312") ? 3 : 4) : g.d(1) == L'5' ? 3 : 4; }

int Rule49(const Digits& g) { return ByPrefixRule(g_areaPrefixes49, g_areaPrefixCount49, g); }
int Rule63(const Digits& g) { return ByPrefixRule(g_areaPrefixes63, g_areaPrefixCount63, g); }

const struct {
    unsigned code;
    int (*rule)(const Digits&);
} kRules[] = {
    {20, Rule20}, {30, Rule30}, {31, Rule31}, {36, Rule36}, {39, Rule39}, {40, Rule40}, {41, Rule41},
    {43, Rule43}, {46, Rule46}, {48, Rule48}, {49, Rule49}, {51, Rule36}, {54, Rule54}, {56, Rule56},
    {60, Rule60}, {62, Rule62}, {63, Rule63}, {66, Rule66}, {81, Rule81}, {82, Rule82}, {84, Rule84},
    {86, Rule86}, {94, Rule94}, {95, Rule95}, {234, Rule234}, {255, Rule255}, {258, Rule258},
    {260, Rule260}, {351, Rule351}, {353, Rule353}, {357, Rule357}, {358, Rule358}, {370, Rule370},
    {371, Rule371}, {372, Rule372}, {373, Rule373}, {381, Rule381}, {385, Rule385}, {389, Rule389},
    {420, Rule420}, {421, Rule421}, {672, Rule672}, {886, Rule886}, {961, Rule961}, {962, Rule962},
    {964, Rule964}, {971, Rule971}, {972, Rule972}, {976, Rule976}, {977, Rule977}, {993, Rule993},
    {994, Rule994}, {995, Rule995}, {996, Rule996},
};

}  // namespace

int CountryAreaLength(unsigned code, const wchar_t* canonical, const wchar_t* national)
{
    for (const auto& r : kRules)
        if (r.code == code)
            return r.rule(Digits(canonical, national));
    return -1;
}
