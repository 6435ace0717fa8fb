// The fake PBX's message log (tests/fake_pbx/fake_pbx.py --log, handed to the program as
// FAKE_PBX_LOG by scripts/with-fake-pbx), read line by line: the requests it received, the
// connections it opened and closed, the CallInfo messages it sent, the requests it dropped.
#pragma once

#include <string>
#include <vector>

namespace reliability {

struct PbxLine {
    enum Kind { Other, Request, Control, Open, Closed, Sent, Away, Back, NoConnection };
    Kind kind = Other;
    std::string path;   // "user" or "app"
    int conn = 0;       // the PBX's number of the connection
    // A request (its "mt", "type", and whether it carries "response"), a sent CallInfo
    // ("msg" in callMsg, "call" in call) or a closed connection's close code.
    std::string mt, type, callMsg;
    bool response = false;
    bool dropped = false;  // a request that ended the connection ("drop_on")
    bool peer = false;     // a CallInfo sent to the plug-in's latest connection of its kind
    long long call = 0;
    int code = 0;
    std::vector<std::string> violations;
    std::string raw;  // the line as written
};

// Every line of the log so far (an empty list when there is none or it cannot be read).
std::vector<PbxLine> ReadPbxLog();

}  // namespace reliability
