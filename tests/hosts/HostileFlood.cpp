#include "tests/hosts/HostileFlood.h"

#include <vector>

namespace testing_support {

namespace {

std::wstring Text(int type, const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    text += L" <value keyword=\"Type\">" + std::to_wstring(type) + L"</value>\r\n";
    for (const auto& v : values)
        text += L" <value keyword=\"" + v.first + L"\">" + v.second + L"</value>\r\n";
    return text + L" <value keyword=\"Sender\">FLOOD</value>\r\n</data>\r\n";
}

}  // namespace

std::string HostileFlood(HWND host, int count)
{
    const std::vector<std::wstring> texts = {
        Text(66, {{L"LastErr", L"flood %s"}}),
        Text(4, {{L"Level", L"0"}, {L"Text", L"a foreign line"}}),
        Text(11, {{L"State", L"3"}}),
        Text(26, {{L"Level", L"4294967295"}}),
        Text(44, {{L"Event", L"OnReceived"}, {L"PartnerNumber", L"+4930123456"}, {L"MemBlock", L"4096"}}),
        Text(17, {{L"Event", L"Offering"}, {L"CallerID", L"<&>"}}),
        Text(81, {{L"Text", std::wstring(4000, L'A')}}),
        L"<no bus text",
    };
    const LPARAM blocks[] = {0, 0x12345678, 0x7FFE0000, -1, 0x10000};
    const UINT messages[] = {0x47F, 0x479, 0x485};
    const WPARAM types[] = {4, 66, 17, 44, 81};
    for (int i = 0; i < count; ++i) {
        DWORD_PTR result = 0;
        if (i % 5 == 0) {
            const std::wstring& text = texts[(i / 5) % texts.size()];
            if (!SendMessageTimeoutW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 10000,
                                     &result))
                return "the host took no text after " + std::to_string(i);
        } else {
            // Every message, type and block together within 75 posts.
            int k = (i / 5) * 4 + i % 5 - 1;
            PostMessageW(host, messages[k % 3], types[(k / 3) % 5], blocks[(k / 15) % 5]);
        }
        if (i % 64 == 63 && !SendMessageTimeoutW(host, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result))
            return "the host stopped answering after " + std::to_string(i);
    }
    return std::string();
}

}  // namespace testing_support
