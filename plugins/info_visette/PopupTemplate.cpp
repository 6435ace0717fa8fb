#include "plugins/info_visette/PopupTemplate.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "plugin_support/CallStruct.h"

#include <cwchar>
#include <vector>

TemplateLoad LoadPageTemplate(const wchar_t* path, wchar_t* page, size_t capacity)
{
    if (capacity)
        page[0] = L'\0';
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return TemplateLoad::Missing;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return TemplateLoad::Unreadable;
    }
    if (size.QuadPart <= 0 || size.QuadPart >= kTemplateMaxBytes) {
        CloseHandle(file);
        return size.QuadPart <= 0 ? TemplateLoad::Empty : TemplateLoad::TooLarge;
    }
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart) + 1, '\0');
    DWORD read = 0;
    BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        return TemplateLoad::Unreadable;
    // Text mode: CR LF becomes LF.
    size_t out = 0;
    for (DWORD i = 0; i < read; ++i) {
        if (bytes[i] == '\r' && i + 1 < read && bytes[i + 1] == '\n')
            continue;
        bytes[out++] = bytes[i];
    }
    bytes[out] = '\0';
    if (out == 0 || capacity == 0)
        return TemplateLoad::Empty;
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(out), page, static_cast<int>(capacity - 1));
    if (n <= 0) {
        page[0] = L'\0';
        return TemplateLoad::Unreadable;
    }
    page[n] = L'\0';
    return TemplateLoad::Ok;
}

size_t EncodeHtmlText(wchar_t* dst, size_t capacity, const wchar_t* text)
{
    if (!dst || capacity == 0)
        return 0;
    size_t at = 0;
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        const wchar_t* entity = nullptr;
        switch (*p) {
        case L'&': entity = L"&amp;"; break;
        case L'<': entity = L"&lt;"; break;
        case L'>': entity = L"&gt;"; break;
        case L'"': entity = L"&quot;"; break;
        case L'\'': entity = L"&#39;"; break;
        default: break;
        }
        size_t need = entity ? wcslen(entity) : 1;
        if (at + need > capacity - 1)
            break;
        if (entity) {
            wmemcpy(dst + at, entity, need);
        } else {
            dst[at] = *p;
        }
        at += need;
    }
    dst[at] = L'\0';
    return at;
}

namespace {

void ReplaceWrapped(wchar_t* page, size_t capacity, const wchar_t* name, const wchar_t* markup)
{
    wchar_t search[kPlaceholderValueChars + 3];
    wchar_t replacement[kPlaceholderValueChars * 6 + 3];
    FormatW(search, _countof(search), L">%s<", name);
    FormatW(replacement, _countof(replacement), L">%s<", markup);
    ReplaceAll(page, capacity, search, replacement);
}

}  // namespace

void ReplacePlaceHolder(wchar_t* page, size_t capacity, const wchar_t* name, const wchar_t* value)
{
    // The value is cut before encoding so that an entity is never cut in half.
    wchar_t cut[kPlaceholderValueChars + 1];
    CopyText(cut, _countof(cut), value ? value : L"");
    wchar_t encoded[kPlaceholderValueChars * 6 + 1];
    EncodeHtmlText(encoded, _countof(encoded), cut);
    ReplaceWrapped(page, capacity, name, encoded);
}

void ReplacePlaceHolderMarkup(wchar_t* page, size_t capacity, const wchar_t* name, const wchar_t* markup)
{
    ReplaceWrapped(page, capacity, name, markup);
}

void RemovePlaceHolder(wchar_t* page, size_t capacity, const wchar_t* name)
{
    wchar_t search[kPlaceholderValueChars + 3];
    FormatW(search, _countof(search), L">%s<", name);
    wchar_t* found = wcsstr(page, search);
    if (!found)
        return;
    wchar_t* open = nullptr;
    for (wchar_t* p = found; p >= page && found - p <= 200; --p) {
        if (*p == L'<') {
            open = p;
            break;
        }
    }
    if (!open)
        return;
    wchar_t* closing = wcsstr(found + 1, L"</");
    if (!closing)
        return;
    wchar_t* end = wcschr(closing, L'>');
    if (!end)
        return;
    ++end;
    wmemmove(open, end, wcslen(end) + 1);
    (void)capacity;
}

void SetOpenContactLink(wchar_t* page, size_t capacity)
{
    ReplaceAll(page, capacity, L"<a href=\"opencontact0\"", L"<!--a href=\"opencontact0\"");
    ReplaceAll(page, capacity, L"chevron.png\"></a>", L"chevron.png\"></a-->");
}

void ReplaceFileReferences(wchar_t* page, size_t capacity, const wchar_t* layoutFolder)
{
    const size_t folderLen = wcslen(layoutFolder);
    size_t from = 0;
    for (;;) {
        wchar_t* src = wcsstr(page + from, L"src=");
        if (!src)
            return;
        size_t at = static_cast<size_t>(src - page);
        from = at + 4;
        wchar_t* open = wcschr(src + 4, L'"');
        if (!open)
            return;
        wchar_t* close = wcschr(open + 1, L'"');
        if (!close)
            return;
        size_t valueLen = static_cast<size_t>(close - open - 1);
        if (valueLen == 0 || valueLen > 511)
            continue;
        wchar_t value[512];
        CopyTextN(value, _countof(value), open + 1, valueLen);
        if (folderLen && wcsstr(value, layoutFolder))
            continue;
        wchar_t oldRef[520];
        wchar_t newRef[1100];
        FormatW(oldRef, _countof(oldRef), L"src=\"%s\"", value);
        FormatW(newRef, _countof(newRef), L"src=\"%s%s\"", layoutFolder, value);
        ReplaceAll(page, capacity, oldRef, newRef);
    }
}

bool GetIdentItem(const wchar_t* identInfo, int index, wchar_t* value, size_t capacity)
{
    if (capacity)
        value[0] = L'\0';
    int n = 0;
    for (const wchar_t* p = identInfo ? wcschr(identInfo, L':') : nullptr; p; p = wcschr(p + 1, L':')) {
        if (n++ != index)
            continue;
        const wchar_t* start = p + 1;
        const wchar_t* end = wcschr(start, L';');
        size_t len = end ? static_cast<size_t>(end - start) : wcslen(start);
        if (len > kIdentItemChars)
            len = kIdentItemChars;
        CopyTextN(value, capacity, start, len);
        return true;
    }
    return false;
}

void FillPage(wchar_t* page, size_t capacity, const CQorCallStruct& record, const wchar_t* partnerNumber,
              const PageTexts& texts)
{
    ReplacePlaceHolder(page, capacity, L"BUSINESSCARD_PARAM_HEADLINE", texts.headline);
    ReplacePlaceHolder(page, capacity, L"BUSINESSCARD_PARAM_NUMBER",
                       partnerNumber && *partnerNumber ? partnerNumber : texts.unknownNumber);
    if (record.GetNumberOfResults() > 0) {
        const QorResultRecord* first = &record.Results[0];
        wchar_t item[kIdentItemChars + 1];
        for (int i = 0; first && GetIdentItem(first->IdentInfo, i, item, _countof(item)); ++i) {
            wchar_t name[64];
            if (i == 0)
                CopyText(name, _countof(name), L"BUSINESSCARD_PARAM_NAME");
            else
                FormatW(name, _countof(name), L"BUSINESSCARD_PARAM_DETAIL%d", i);
            ReplacePlaceHolder(page, capacity, name, item);
        }
        if (first && first->OpenContact == 0)
            SetOpenContactLink(page, capacity);
    } else {
        SetOpenContactLink(page, capacity);
    }
    ReplacePlaceHolderMarkup(page, capacity, L"BUSINESSCARD_PARAM_NAME", L"&nbsp;");
    ReplacePlaceHolderMarkup(page, capacity, L"BUSINESSCARD_PARAM_DETAIL1", L"&nbsp;");
    ReplacePlaceHolderMarkup(page, capacity, L"BUSINESSCARD_PARAM_DETAIL2", L"&nbsp;");
    for (int i = 8; i >= 2; --i) {
        wchar_t name[64];
        FormatW(name, _countof(name), L"BUSINESSCARD_PARAM_DETAIL%d", i);
        RemovePlaceHolder(page, capacity, name);
    }
    ReplaceFileReferences(page, capacity, texts.layoutFolder ? texts.layoutFolder : L"");
    wchar_t percent[16];
    FormatW(percent, _countof(percent), L"%u%%", static_cast<unsigned>(texts.scalePercent));
    ReplaceAll(page, capacity, L"BUSINESSCARD_SCALE_SIZE", percent);
    wchar_t* end = wcsstr(page, L"</html>");
    if (end)
        end[7] = L'\0';
}
