#!/usr/bin/python3
"""Writes pbx_messages.jsonl: the messages the fake PBX sends in one login and a few calls,
one compact JSON text a line, as the plug-in receives them. The JSON reader benchmark and the
dispatcher's mutation run start from these texts.

    bench/corpus/make_corpus.py > bench/corpus/pbx_messages.jsonl
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "fake_pbx"))
import fake_pbx  # noqa: E402


def main():
    pbx = fake_pbx.Pbx("/PBX0/", "")
    c = pbx.cfg
    c["devices"] = [{"hw": "phone-1", "text": "Desk phone"},
                    {"hw": "RCC-mobile", "text": "M\u00fcller mobile \u260e"},
                    {"hw": "soft-3", "text": ""}]
    out = []
    # The login of both connections, in the plug-in's order of requests.
    requests = [
        ("user", {"mt": "CheckBuild"}),
        ("user", {"mt": "Login", "type": "user", "method": "digest", "username": "anna test"}),
        ("user", {"mt": "Login", "type": "user", "method": "digest", "username": "anna test",
                  "nonce": "00", "response": "wrong"}),
        ("user", {"mt": "AppGetLogin", "app": "orvix", "challenge": "a99ca11e"}),
        ("app", {"mt": "AppChallenge"}),
        ("app", {"mt": "AppLogin", "digest": "x"}),
        ("app", {"mt": "Devices"}),
        ("app", {"mt": "UserInitialize", "cn": "anna.test", "hw": "phone-1"}),
        ("app", {"mt": "UserCall", "user": 101, "e164": "+4930123456"}),
        ("app", {"mt": "UserClear", "call": 501}),
    ]
    for kind, msg in requests:
        for answer in pbx.answer(kind, msg, {}):
            out.append(answer)
    # A successful login answer and a session notice, as the PBX writes them.
    out.append({"mt": "LoginResult", "info": {"user": {
        "guid": c["guid"], "dn": c["dn"], "num": c["num"], "prefix": c["prefix"]},
        "session": {"usr": "0a1b2c", "pwd": "3d4e5f"}}})
    out.append({"mt": "SessionAdded", "id": "s-77", "info": {"current": True, "app": "orvix"}})
    # Calls: inbound with a conference of two legs, outbound, transferred, and long numbers.
    calls = [
        (601, "c-601", "x", "+4930123456", "Anna M\u00fcller"),
        (602, "c-601", "x", "+4930123456", "Anna M\u00fcller"),
        (603, "", "r", "00441632960123", "Reception"),
        (604, "c-604", "x", "0301234567890123456789", "\u5f20\u4f1f"),
    ]
    for call, conf, side, number, name in calls:
        peer = {"e164": number, "h323": name}
        steps = ["setup", "alert", "conn", "ct", "del"] if side == "r" else ["setup", "alert", "conn", "del"]
        for step in steps:
            msg = {"mt": "CallInfo", "api": "RCC", "src": "orvix", "call": call,
                   "msg": f"{side}-{step}" if step != "del" else "del", "conf": conf, "peer": peer}
            if step == "alert":
                msg["info"] = [{"type": "ring", "vals": [1, 2.5, None, False]}]
            out.append(msg)
    for record in out:
        print(fake_pbx.dumps(record))


if __name__ == "__main__":
    main()
