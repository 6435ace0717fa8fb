// The test's own line to the fake PBX (tests/fake_pbx/fake_pbx.py): a websocket of its own
// that carries only the fake PBX's control messages, and the PBX's message log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

class PbxControl {
public:
    // Port and log from the environment that scripts/with-fake-pbx sets (FAKE_PBX_PORT,
    // FAKE_PBX_LOG); ok() is false without them.
    PbxControl();
    ~PbxControl();
    PbxControl(const PbxControl&) = delete;
    PbxControl& operator=(const PbxControl&) = delete;

    bool ok() const { return m_port != 0; }
    int port() const { return m_port; }
    // "ws://127.0.0.1:<port>": the PBX's address as the telephony plug-in is given it (the
    // plug-in adds the PBX's own path).
    std::wstring BaseUrl() const;

    // Sends one JSON text (UTF-16, sent as UTF-8) on the control socket, which it opens on
    // first use; false when the PBX cannot be reached.
    bool Send(const std::wstring& json);

    // The JSON lines of the PBX's message log, as written so far.
    std::vector<std::wstring> LogLines() const;

private:
    bool Open();
    void Close();

    int m_port = 0;
    std::wstring m_log;
    void* m_session = nullptr;
    void* m_connect = nullptr;
    void* m_socket = nullptr;
};

// A JSON string literal of a text (quotes included).
std::wstring JsonString(const std::wstring& text);

}  // namespace e2e
