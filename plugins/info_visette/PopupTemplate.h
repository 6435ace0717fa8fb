// The business-card page: the template "Layout\UsedStyle.html" beside the plug-in, filled
// from the call record. A placeholder is recognised only as the whole text of an element
// (">NAME<"); every edit acts on all occurrences and stays within the page capacity.
#pragma once

#include <windows.h>

#include <cstddef>

class CQorCallStruct;

// Characters of a page, terminator included.
constexpr size_t kPageCapacity = 8192;
// Template files of this many bytes or more are not read.
constexpr DWORD kTemplateMaxBytes = 8192;
// Longest value put into a placeholder, before HTML encoding.
constexpr size_t kPlaceholderValueChars = 254;
// Longest item value taken from an IdentInfo list.
constexpr size_t kIdentItemChars = 510;

enum class TemplateLoad { Ok, Missing, Empty, TooLarge, Unreadable };

// Reads the template (ANSI, CR LF read as LF) into page; page is empty unless Ok.
TemplateLoad LoadPageTemplate(const wchar_t* path, wchar_t* page, size_t capacity);

// Writes text with & < > " ' as entities; at most capacity - 1 characters, never a cut entity.
size_t EncodeHtmlText(wchar_t* dst, size_t capacity, const wchar_t* text);

void ReplacePlaceHolder(wchar_t* page, size_t capacity, const wchar_t* name, const wchar_t* value);
// Like ReplacePlaceHolder, but the value is page markup (such as "&nbsp;") and is not encoded.
void ReplacePlaceHolderMarkup(wchar_t* page, size_t capacity, const wchar_t* name, const wchar_t* markup);
void RemovePlaceHolder(wchar_t* page, size_t capacity, const wchar_t* name);
void SetOpenContactLink(wchar_t* page, size_t capacity);
// Every relative src="x" becomes src="<layoutFolder>x"; layoutFolder ends with a backslash.
void ReplaceFileReferences(wchar_t* page, size_t capacity, const wchar_t* layoutFolder);

// The IdentInfo item values ("label:value;" each): value number index (0 = the name), or
// false when there are fewer.
bool GetIdentItem(const wchar_t* identInfo, int index, wchar_t* value, size_t capacity);

struct PageTexts {
    const wchar_t* headline;       // "Incoming call"
    const wchar_t* unknownNumber;  // shown for an empty partner number
    const wchar_t* layoutFolder;   // the plug-in folder + "Layout\"
    DWORD scalePercent;
};

// Fills the template text in page (as loaded) from the record: the whole page edit.
void FillPage(wchar_t* page, size_t capacity, const CQorCallStruct& record, const wchar_t* partnerNumber,
              const PageTexts& texts);
