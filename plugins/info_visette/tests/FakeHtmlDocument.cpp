// Built on the C view of the COM interfaces (CINTERFACE): the vtables are plain structures
// of named slots, so only the slots the container uses need a body of their own.
#define CINTERFACE
#include <windows.h>
#include <mshtml.h>

#include "plugins/info_visette/tests/FakeHtmlDocument.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

struct FakeDocument {
    IHTMLDocument2 doc2;
    IHTMLDocument3 doc3;
    IHTMLElement card;
    LONG references;
    FakeDocumentRecord* record;
};

// The object that holds an interface: each interface is a member at a fixed offset.
template <typename Interface>
FakeDocument* OwnerAt(Interface* p, size_t offset)
{
    return reinterpret_cast<FakeDocument*>(reinterpret_cast<char*>(p) - offset);
}
FakeDocument* Owner(IHTMLDocument2* p) { return OwnerAt(p, offsetof(FakeDocument, doc2)); }
FakeDocument* Owner(IHTMLDocument3* p) { return OwnerAt(p, offsetof(FakeDocument, doc3)); }
FakeDocument* Owner(IHTMLElement* p) { return OwnerAt(p, offsetof(FakeDocument, card)); }

// An unexpected call cannot return: the stack layout of the slot's own arguments is unknown
// here (stdcall on i686), so the program ends at once.
template <int Interface, size_t Slot>
void Unexpected()
{
    static const char* const names[] = {"IHTMLDocument2", "IHTMLDocument3", "IHTMLElement"};
    std::fprintf(stderr, "the container called slot %u of the test's %s, which it does not answer\n",
                 static_cast<unsigned>(Slot), names[Interface]);
    std::fflush(stderr);
    ExitProcess(3);
}

template <int Interface, typename Vtbl, size_t... Slot>
void FillUnexpected(Vtbl* vtbl, std::index_sequence<Slot...>)
{
    void* slots[] = {reinterpret_cast<void*>(&Unexpected<Interface, Slot>)...};
    static_assert(sizeof(slots) == sizeof(Vtbl), "a vtable is a row of pointers");
    std::memcpy(vtbl, slots, sizeof(slots));
}

template <int Interface, typename Vtbl>
void FillUnexpected(Vtbl* vtbl)
{
    FillUnexpected<Interface>(vtbl, std::make_index_sequence<sizeof(Vtbl) / sizeof(void*)>{});
}

ULONG AddRefOf(FakeDocument* d)
{
    d->record->references = ++d->references;
    return static_cast<ULONG>(d->references);
}

ULONG ReleaseOf(FakeDocument* d)
{
    LONG left = --d->references;
    d->record->references = left;
    if (left == 0)
        delete d;
    return static_cast<ULONG>(left);
}

HRESULT QueryDocument(FakeDocument* d, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IHTMLDocument2))
        *object = &d->doc2;
    else if (IsEqualIID(riid, IID_IHTMLDocument3))
        *object = &d->doc3;
    else
        return E_NOINTERFACE;
    AddRefOf(d);
    return S_OK;
}

template <typename Interface>
HRESULT STDMETHODCALLTYPE DocQueryInterface(Interface* This, REFIID riid, void** object)
{
    return QueryDocument(Owner(This), riid, object);
}
template <typename Interface>
ULONG STDMETHODCALLTYPE DocAddRef(Interface* This)
{
    return AddRefOf(Owner(This));
}
template <typename Interface>
ULONG STDMETHODCALLTYPE DocRelease(Interface* This)
{
    return ReleaseOf(Owner(This));
}

HRESULT STDMETHODCALLTYPE Doc2Write(IHTMLDocument2* This, SAFEARRAY* strings)
{
    FakeDocumentRecord* record = Owner(This)->record;
    record->calls.push_back(L"write");
    std::vector<std::wstring> items;
    LONG low = 0, high = -1;
    VARIANT* item = nullptr;
    if (!strings || SafeArrayGetDim(strings) != 1 || FAILED(SafeArrayGetLBound(strings, 1, &low)) ||
        FAILED(SafeArrayGetUBound(strings, 1, &high)) ||
        FAILED(SafeArrayAccessData(strings, reinterpret_cast<void**>(&item)))) {
        record->writes.push_back(items);
        return E_INVALIDARG;
    }
    for (LONG i = 0; i <= high - low; ++i)
        items.push_back(item[i].vt == VT_BSTR ? std::wstring(item[i].bstrVal, SysStringLen(item[i].bstrVal))
                                              : L"<not a string>");
    SafeArrayUnaccessData(strings);
    record->writes.push_back(items);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Doc2Close(IHTMLDocument2* This)
{
    Owner(This)->record->calls.push_back(L"close");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Doc3GetElementById(IHTMLDocument3* This, BSTR id, IHTMLElement** element)
{
    FakeDocument* d = Owner(This);
    d->record->calls.push_back(L"getElementById " + std::wstring(id ? id : L""));
    if (!element)
        return E_POINTER;
    *element = nullptr;
    // Not found is no error: the element is simply null.
    if (d->record->cardHeight > 0 && id && wcscmp(id, L"BusinessCard_1") == 0) {
        *element = &d->card;
        AddRefOf(d);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CardQueryInterface(IHTMLElement* This, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, IID_IHTMLElement))
        return E_NOINTERFACE;
    *object = This;
    AddRefOf(Owner(This));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CardOffsetHeight(IHTMLElement* This, long* height)
{
    FakeDocumentRecord* record = Owner(This)->record;
    record->calls.push_back(L"offsetHeight");
    if (!height)
        return E_POINTER;
    *height = record->cardHeight;
    return S_OK;
}

struct Vtables {
    IHTMLDocument2Vtbl doc2;
    IHTMLDocument3Vtbl doc3;
    IHTMLElementVtbl card;
    Vtables()
    {
        FillUnexpected<0>(&doc2);
        FillUnexpected<1>(&doc3);
        FillUnexpected<2>(&card);
        doc2.QueryInterface = DocQueryInterface<IHTMLDocument2>;
        doc2.AddRef = DocAddRef<IHTMLDocument2>;
        doc2.Release = DocRelease<IHTMLDocument2>;
        doc2.write = Doc2Write;
        doc2.close = Doc2Close;
        doc3.QueryInterface = DocQueryInterface<IHTMLDocument3>;
        doc3.AddRef = DocAddRef<IHTMLDocument3>;
        doc3.Release = DocRelease<IHTMLDocument3>;
        doc3.getElementById = Doc3GetElementById;
        card.QueryInterface = CardQueryInterface;
        card.AddRef = DocAddRef<IHTMLElement>;
        card.Release = DocRelease<IHTMLElement>;
        card.get_offsetHeight = CardOffsetHeight;
    }
};

}  // namespace

void* NewFakeDocument(FakeDocumentRecord* record)
{
    static Vtables vtables;
    FakeDocument* d = new FakeDocument{};
    d->doc2.lpVtbl = &vtables.doc2;
    d->doc3.lpVtbl = &vtables.doc3;
    d->card.lpVtbl = &vtables.card;
    d->record = record;
    AddRefOf(d);
    return &d->doc2;
}
