// Folder links for the folder walks' tests. Wine makes neither junctions nor folder links
// (CreateSymbolicLinkW answers TRUE and makes nothing), so while an object of this class
// lives, the named real folders are reported to the walks as links: a directory entry that
// carries FILE_ATTRIBUTE_REPARSE_POINT. A folder standing in for a link holds the files of
// its "target", which a walk must not reach.
#pragma once

#include "foundation/FolderTools.h"
#include "foundation/Seams.h"

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

class LinkedFolders {
public:
    explicit LinkedFolders(std::vector<std::wstring> links) : m_real(g_pfnDirectoryEntryAttributes)
    {
        s_links = std::move(links);
        s_inside = 0;
        g_pfnDirectoryEntryAttributes = Attributes;
    }
    ~LinkedFolders()
    {
        g_pfnDirectoryEntryAttributes = m_real;
        s_links.clear();
    }
    LinkedFolders(const LinkedFolders&) = delete;
    LinkedFolders& operator=(const LinkedFolders&) = delete;

    // How often a walk asked about an entry below one of the links (it went inside).
    static int EntriesSeenInside() { return s_inside; }

private:
    static DWORD Attributes(const wchar_t* path, const WIN32_FIND_DATAW* found)
    {
        for (const std::wstring& link : s_links) {
            if (_wcsicmp(link.c_str(), path) == 0)
                return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            if (_wcsnicmp(link.c_str(), path, link.size()) == 0 && path[link.size()] == L'\\')
                ++s_inside;
        }
        return FoundEntryAttributes(path, found);
    }

    inline static std::vector<std::wstring> s_links;
    inline static int s_inside = 0;
    DWORD (*m_real)(const wchar_t*, const WIN32_FIND_DATAW*);
};
