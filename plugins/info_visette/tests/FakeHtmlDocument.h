// A document of the test's own in place of the one the WebBrowser control gives (Wine's
// control has none): it answers as IHTMLDocument2, IHTMLDocument3 and, for the element
// "BusinessCard_1", IHTMLElement, and records what the container does with them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FakeDocumentRecord {
    long cardHeight = 0;                           // offsetHeight of "BusinessCard_1"; 0: no such element
    std::vector<std::vector<std::wstring>> writes;  // the strings of each write, in order
    std::vector<std::wstring> calls;                // "write", "close", "getElementById <id>", "offsetHeight"
    LONG references = 0;                            // held on the document and its element
};

// A new document holding one reference for the caller; the returned pointer is its IDispatch.
// It lives until the last reference is released. A call of any other method of its interfaces
// ends the program with exit code 3 and names the slot: the container used the document in a
// way the test does not know.
void* NewFakeDocument(FakeDocumentRecord* record);
