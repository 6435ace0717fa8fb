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
        self.cfg.update(msg.get("set", {}))
        for action in msg.get("run", []):
            if not await self.run_action(ws, action):
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
        elif "call" in action:
            self.next_call += 1
            call, conf = self.next_call, f"conf-{self.next_call}"
            peer = {"e164": action["call"], "h323": "Caller"}
            for m in ("x-setup", "x-alert", "x-conn", "del"):
                await ws.send(dumps({"mt": "CallInfo", "api": "RCC", "call": call,
                                          "msg": m, "conf": conf, "peer": peer}))
        return True

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
        if mt == "Devices":
            return [{"mt": "DevicesResult", "api": "RCC", "devices": c["devices"]}]
        if mt == "UserInitialize":
            self.next_user += 1
            return [{"mt": "UserInitializeResult", "api": "RCC", "user": self.next_user}]
        if mt == "UserEnd":
            return [{"mt": "UserEndResult", "api": "RCC"}]
        if mt == "UserCall":
            self.next_call += 1
            return [{"mt": "UserCallResult", "api": "RCC", "call": self.next_call}]
        if mt in ("UserConnect", "UserClear"):
            return [{"mt": mt + "Result", "api": "RCC"}]
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
