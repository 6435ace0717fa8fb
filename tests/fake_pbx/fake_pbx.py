#!/usr/bin/python3
"""A small stand-in for the PBX's two websockets, for the telephony plug-in's tests.

Serves ws://127.0.0.1:<free port><base>APPCLIENT/websocket (the user connection) and
<base>APPS/websocket (the application connection), answers the login, RCC and call-control
requests, and checks the login digests with its own hashlib model.

Tests steer it over the same sockets with {"mt":"FakePbx", ...} messages:
  {"mt":"FakePbx","set":{"password":"x","answer_delay":2.5,"silent":["Login"]}}
      changes the behaviour for later requests on every connection; "reset":true restores it
  {"mt":"FakePbx","run":[action, ...]}
      runs actions on this connection (see run_action), for example
      {"send":{...}}  {"raw":"text"}  {"fragments":["a","b"]}  {"binary":"00ff"}
      {"sleep":0.5}  {"close":1000}  {"nested":100000}  {"huge":100000}
      {"deaf":true} (reads nothing more from the socket, so a close gets no answer)
      {"call":"+4930123456"} (an incoming call: setup, alert, connect, clear)
      {"ring":"+4930123456","legs":2} (an incoming call left ringing on that many forked legs
          of one conference; answered or cleared through UserConnect / UserClear)
      {"to":"app", ...} runs the action on the plug-in's latest connection of that kind
          instead of the control connection
A control message gets no answer of its own (the plug-in takes any message as the answer to its
last request): a test that wants to know when the steps are done ends them with a "send".

Received messages are appended to the --log file as JSON lines, with "path" and, for the
digest checks, "verified"; the line of a closed connection has the close frame's "code" (1006
when none came). Exits after --timeout seconds at the latest.
"""

import argparse
import asyncio
import copy
import hashlib
import json
import os
import sys

import websockets

CLIENT = "innovaphoneAppClient"

DEFAULTS = {
    "user": "Anna Test",
    "password": "geheim",
    "domain": "example.test",
    "challenge": "c0ffee0123456789",
    "app_challenge": "a99ca11e",
    "session": "",            # a stored session id the PBX accepts ("" = none)
    "build": "1300",
    "guid": "{0D1E2F30-4151-6273-8495-A6B7C8D9EAFB}",
    "dn": "Anna Test",
    "num": "221",
    "cn": "anna.test",
    "prefix": {"country": "49", "area": "30", "intl": "000", "ntl": "00", "subs": "0"},
    "devices": [{"hw": "phone-1", "text": "Desk phone"}],
    "answer_delay": 0.0,       # seconds before each answer ("answer slowly")
    "silent": [],              # "mt" values that get no answer at all
    "refuse_login": False,     # refuse every login whatever the digest
}


def dumps(value, **_):
    """Compact JSON, as the PBX writes it."""
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


def ansi(text):
    """The plug-in's ANSI code page (1252 under Wine)."""
    return text.encode("cp1252", errors="replace")


def user_digest(domain, user, password, nonce, challenge):
    data = b":".join([CLIENT.encode(), b"user", ansi(domain), user.lower().encode("utf-8"),
                      ansi(password), ansi(nonce), ansi(challenge)])
    return hashlib.sha256(data).hexdigest()


def session_digest(domain, session, password, nonce, challenge):
    data = b":".join([CLIENT.encode(), b"session", ansi(domain), ansi(session),
                      ansi(password), ansi(nonce), ansi(challenge)])
    return hashlib.sha256(data).hexdigest()


def app_digest(app, challenge, guid):
    return hashlib.sha256(f"{app}:{challenge}:{guid}".encode()).hexdigest()


class Pbx:
    def __init__(self, base, log_path):
        self.base = base
        self.log_path = log_path
        self.cfg = copy.deepcopy(DEFAULTS)
        self.next_user = 100
        self.next_call = 500
        self.app_digest = ""
        # RCC: user handle -> device hw; call id -> {"conf", "user", "state", "peer"}
        self.rcc_users = {}
        self.calls = {}
        # The plug-in's latest connection of each kind (a control connection sends only
        # FakePbx messages and never becomes one).
        self.peers = {}

    def log(self, record):
        if self.log_path:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(record, ensure_ascii=False) + "\n")

    async def handler(self, ws):
        path = ws.path
        if path == self.base + "APPCLIENT/websocket":
            kind = "user"
        elif path == self.base + "APPS/websocket":
            kind = "app"
        else:
            await ws.close(1008, "unknown path")
            return
        self.log({"path": kind, "event": "open"})
        try:
            async for message in ws:
                if isinstance(message, bytes):
                    self.log({"path": kind, "binary": message.hex()})
                    continue
                try:
                    msg = json.loads(message)
                except ValueError:
                    self.log({"path": kind, "bad": message[:200]})
                    continue
                if not isinstance(msg, dict):
                    continue
                record = {"path": kind, "msg": msg}
                if msg.get("mt") != "FakePbx":
                    self.peers[kind] = ws
                answers = self.answer(kind, msg, record)
                self.log(record)
                if msg.get("mt") == "FakePbx":
                    if not await self.control(ws, msg):
                        return
                    continue
                if msg.get("mt") in self.cfg["silent"]:
                    continue
                for a in answers:
                    if self.cfg["answer_delay"]:
                        await asyncio.sleep(self.cfg["answer_delay"])
                    await ws.send(dumps(a, ensure_ascii=False))
        except websockets.ConnectionClosed:
            pass
        self.log({"path": kind, "event": "closed", "code": ws.close_code})

    async def control(self, ws, msg):
        if msg.get("reset"):
            self.cfg = copy.deepcopy(DEFAULTS)
            self.rcc_users.clear()
            self.calls.clear()
        self.cfg.update(msg.get("set", {}))
        for action in msg.get("run", []):
            target = ws
            if "to" in action:
                target = self.peers.get(action["to"])
                if target is None:
                    self.log({"control": "no connection", "to": action["to"]})
                    continue
            if not await self.run_action(target, action) and target is ws:
                return False
        return True

    async def run_action(self, ws, action):
        """One scripted step; False when it closed the socket."""
        if "send" in action:
            await ws.send(dumps(action["send"], ensure_ascii=False))
        elif "raw" in action:
            await ws.send(action["raw"])
        elif "fragments" in action:
            await ws.send(iter(action["fragments"]))
        elif "binary" in action:
            await ws.send(bytes.fromhex(action["binary"]))
        elif "sleep" in action:
            await asyncio.sleep(action["sleep"])
        elif "deaf" in action:
            # Reads nothing more from this socket: a PBX that never answers the close.
            ws.transport.pause_reading()
        elif "close" in action:
            await ws.close(action["close"])
            return False
        elif "nested" in action:
            n = action["nested"]
            await ws.send("[" * n + "]" * n)
        elif "huge" in action:
            await ws.send(dumps({"mt": "CallInfo", "x": "h" * action["huge"]}))
        elif "ring" in action:
            conf = f"conf-{self.next_call + 1}"
            user = next(reversed(self.rcc_users), 0)
            peer = {"e164": action["ring"], "h323": "Caller"}
            legs = []
            for _ in range(action.get("legs", 1)):
                self.next_call += 1
                legs.append(self.next_call)
                self.calls[self.next_call] = {"conf": conf, "user": user, "state": "ringing",
                                              "peer": peer, "inbound": True}
            for m in ("x-setup", "x-alert"):
                for call in legs:
                    await ws.send(dumps(self.call_info(call, m)))
        elif "call" in action:
            self.next_call += 1
            call, conf = self.next_call, f"conf-{self.next_call}"
            peer = {"e164": action["call"], "h323": "Caller"}
            for m in ("x-setup", "x-alert", "x-conn", "del"):
                await ws.send(dumps({"mt": "CallInfo", "api": "RCC", "call": call,
                                          "msg": m, "conf": conf, "peer": peer}))
        return True

    def call_info(self, call, m):
        """A CallInfo event of a known call."""
        c = self.calls[call]
        return {"mt": "CallInfo", "api": "RCC", "user": c["user"], "call": call, "msg": m,
                "conf": c["conf"], "peer": c["peer"]}

    def clear_legs(self, conf, keep=None):
        """CallInfo "del" for every leg of the conference except keep; the legs go."""
        out = []
        for call in [k for k, v in self.calls.items() if v["conf"] == conf and k != keep]:
            out.append(self.call_info(call, "del"))
            del self.calls[call]
        return out

    def answer_rcc(self, kind, msg, record):
        """RCC requests; None when msg is none of them."""
        c, mt = self.cfg, msg.get("mt")
        rcc = kind == "app" and msg.get("api") == "RCC"
        if mt == "Devices":
            record["verified"] = rcc
            return [{"mt": "DevicesResult", "api": "RCC", "devices": c["devices"]}]
        if mt == "UserInitialize":
            hws = [d.get("hw", "") for d in c["devices"]]
            ok = rcc and msg.get("cn") == c["cn"] and msg.get("hw", hws[0] if hws else "") in hws
            record["verified"] = ok
            if not ok:
                return [{"mt": "UserInitializeResult", "api": "RCC", "error": 1}]
            self.next_user += 1
            self.rcc_users[self.next_user] = msg.get("hw", "")
            return [{"mt": "UserInitializeResult", "api": "RCC", "user": self.next_user}]
        if mt == "UserEnd":
            ok = rcc and msg.get("cn") == c["cn"] and msg.get("user") in self.rcc_users
            record["verified"] = ok
            if ok:
                del self.rcc_users[msg["user"]]
            return [{"mt": "UserEndResult", "api": "RCC"}]
        if mt == "UserCall":
            number = msg.get("e164", "")
            ok = rcc and msg.get("user") in self.rcc_users and bool(number) \
                and msg.get("cn") == number and msg.get("h323") == number
            record["verified"] = ok
            if not ok:
                return [{"mt": "UserCallResult", "api": "RCC", "error": 1}]
            self.next_call += 1
            call = self.next_call
            self.calls[call] = {"conf": f"conf-{call}", "user": msg["user"], "state": "ringing",
                                "peer": {"e164": number}, "inbound": False}
            return [{"mt": "UserCallResult", "api": "RCC", "call": call},
                    self.call_info(call, "r-setup"), self.call_info(call, "r-alert")]
        if mt == "UserConnect":
            call = self.calls.get(msg.get("call"))
            ok = rcc and call is not None
            record["verified"] = ok
            out = [{"mt": "UserConnectResult", "api": "RCC"}]
            if ok and call["state"] == "ringing":
                call["state"] = "connected"
                out.append(self.call_info(msg["call"], "x-conn" if call["inbound"] else "r-conn"))
                # The other forked legs stop ringing.
                out += self.clear_legs(call["conf"], keep=msg["call"])
            return out
        if mt == "UserClear":
            call = self.calls.get(msg.get("call"))
            ok = rcc and call is not None and "vause" in msg
            record["verified"] = ok
            out = [{"mt": "UserClearResult", "api": "RCC"}]
            if ok:
                out += self.clear_legs(call["conf"])
            return out
        return None

    def answer(self, kind, msg, record):
        """The PBX's answers to one request (empty: none)."""
        c, mt = self.cfg, msg.get("mt")
        if mt == "CheckBuild":
            return [{"mt": "CheckBuildResult", "build": c["build"]}]
        if mt == "LoginInfo":
            return [{"mt": "LoginInfoResult"}]
        if mt == "Logout":
            return [{"mt": "LogoutResult"}]
        if mt == "Login":
            if "response" not in msg:
                return [{"mt": "Authenticate", "type": msg.get("type", "user"),
                         "method": "digest", "domain": c["domain"],
                         "challenge": c["challenge"]}]
            if msg.get("type") == "session":
                want = session_digest(c["domain"], c["session"], c["password"],
                                      msg.get("nonce", ""), c["challenge"])
                ok = bool(c["session"])
            else:
                want = user_digest(c["domain"], c["user"], c["password"],
                                   msg.get("nonce", ""), c["challenge"])
                ok = msg.get("username") == c["user"].lower()
            ok = ok and msg.get("response") == want and not c["refuse_login"]
            record["verified"] = ok
            if not ok:
                return [{"mt": "LoginResult", "error": 1, "errorText": "Login refused"}]
            return [{"mt": "LoginResult", "info": {"user": {
                "guid": c["guid"], "dn": c["dn"], "num": c["num"], "prefix": c["prefix"]}}}]
        if mt == "AppGetLogin":
            self.app_digest = app_digest(msg.get("app", ""), msg.get("challenge", ""), c["guid"])
            return [{"mt": "AppGetLoginResult", "app": msg.get("app", ""), "domain": c["domain"],
                     "sip": c["cn"], "guid": c["guid"], "dn": c["dn"], "pbxObj": "orvix",
                     "digest": self.app_digest,
                     "info": {"appobj": "orvix", "cn": c["cn"], "unique": True}}]
        if mt == "AppChallenge":
            return [{"mt": "AppChallengeResult", "challenge": c["app_challenge"]}]
        if mt == "AppLogin":
            ok = bool(self.app_digest) and msg.get("digest") == self.app_digest \
                and not c["refuse_login"]
            record["verified"] = ok
            return [{"mt": "AppLoginResult", "ok": ok}]
        rcc = self.answer_rcc(kind, msg, record)
        if rcc is not None:
            return rcc
        return []


async def main():
    p = argparse.ArgumentParser()
    p.add_argument("--base", default="/PBX0/")
    p.add_argument("--port-file", required=True)
    p.add_argument("--log", default="")
    p.add_argument("--timeout", type=float, default=240)
    args = p.parse_args()
    pbx = Pbx(args.base, args.log)
    async with websockets.serve(pbx.handler, "127.0.0.1", 0, compression=None,
                                ping_interval=None, max_size=None) as server:
        port = server.sockets[0].getsockname()[1]
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, args.port_file)
        try:
            await asyncio.wait_for(asyncio.Future(), args.timeout)
        except asyncio.TimeoutError:
            print("fake_pbx: time limit reached", file=sys.stderr)


if __name__ == "__main__":
    asyncio.run(main())
