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
      {"drop":true} (ends the TCP connection without a close frame, as a PBX that goes away)
      {"away":3.0} (drops every connection and accepts none for that many seconds)
      {"forget_sessions":true} (the stored sessions the PBX handed out are no longer known)
      {"padded":{...},"size":8191} (the message with a "pad" member that makes it that many
          bytes of UTF-8)

The login is modelled as the PBX's AppWebsocket protocol does it: every request is checked for
the connection it came on and its members (violations are logged under "violations"), a
response login needs a challenge issued on that same connection (a fresh one per "Login"), a
wrong digest or an unknown session is refused with a LoginResult without user. The
application login's digest is the public protocol's, SHA-256 over
app:domain:sip:guid:dn:info:challenge:password (no info part without an info object) with the
app object's password ("app_password"), which the plug-in never sees: the PBX computes it for
"AppGetLoginResult" and checks "AppLogin" against the members as they arrive, so a domain,
SIP name, display name or info object changed on the way fails the login. "info" and
"info_size" shape the info object (None: none). A user login
hands out a stored session: "session" in "LoginResult" ("usr" and "pwd" RC4-enciphered with
keys made from SESSION_KEY_PATTERNS, the client nonce and the password), then "SessionAdded"
and "UpdateOwnPresence". "two_factor" {"mode":"confirm"|"refuse"|"timeout","delay":s} sends
"Authorize" first and the result only after the delay. "drop_on" lists requests that end the
connection instead of an answer, each entry once: an "mt" value, or an object
{"mt":"Login","path":"user","type":"session","response":true,"skip":1,"close":1000} that
matches only requests on that connection, of that login type, with or without "response",
lets "skip" matching requests pass first, and ends with that close frame instead of a TCP
abort.
"drop_after_monitor" (seconds) drops every application connection that long after its
UserInitializeResult: a PBX (or proxy) that takes the login and loses the connection soon after,
again and again. "refuse_initialize" refuses that many UserInitialize requests first.
"session_nonce" enciphers the stored sessions it hands out with that nonce instead of the
login's own (as a session issued to a client with another nonce).
Results echo the request's "src" (the AppWebsocket protocol's src mechanism), unless
"echo_src" is false (a peer that does not). "interleave" and "trail" map a request's "mt" (or
"*" for every request) to messages sent before and after its answers: the events a real PBX
sends between a request and its result; a member "src":"$src" in one becomes the request's src
(an indication of a subscription carries it), and "user":"$user" the RCC user handle given
last. A request's "src" must be a text not used before on that connection (else a violation).
A control message gets no answer of its own: a test that wants to know when the steps are done
ends them with a "send".

Received messages are appended to the --log file as JSON lines, with "path", "conn" (the
connection's number) and, for the digest checks, "verified"; the line of a closed connection
has the close frame's "code" (1006 when none came). Every CallInfo the PBX sends is logged
too, once it is sent: {"sent":{"path":..,"conn":..,"peer":true when it went to the plug-in's
latest connection of that kind,"msg":{..}}}. Exits after --timeout seconds at the latest.
"""

import argparse
import asyncio
import copy
import hashlib
import json
import os
import secrets
import sys
import time
from http import HTTPStatus

import websockets

CLIENT = "innovaphoneAppClient"

# The keys of the stored session object's two parts: the client nonce and the user's password
# fill the two places. The plug-in keeps the same two texts in one place (StoredSession.cpp).
SESSION_KEY_PATTERNS = {"usr": "innovaphoneAppClient:usr:%s:%s",
                        "pwd": "innovaphoneAppClient:pwd:%s:%s"}

# Which connection each request belongs to (CheckBuild is answered on both).
USER_ONLY = {"LoginInfo", "Login", "Logout", "AppGetLogin"}
APP_ONLY = {"AppChallenge", "AppLogin", "Devices", "UserInitialize", "UserEnd", "UserCall",
            "UserConnect", "UserClear"}
RCC_REQUESTS = {"Devices", "UserInitialize", "UserEnd", "UserCall", "UserConnect", "UserClear"}
# The members each request must carry (beyond "mt"), by kind of request.
MEMBERS = {
    "Login-start": {"type", "userAgent"},
    "Login-response": {"type", "method", "username", "nonce", "response", "userAgent"},
    "AppGetLogin": {"src", "app", "challenge"},
    "AppLogin": {"app", "domain", "sip", "guid", "dn", "pbxObj", "digest"},
    "Devices": {"api"},
    "UserInitialize": {"api", "cn"},
    "UserEnd": {"api", "cn", "user"},
    "UserCall": {"api", "user", "cn", "e164", "h323"},
    "UserConnect": {"api", "call"},
    "UserClear": {"api", "call", "vause"},
}

DEFAULTS = {
    "user": "Anna Test",
    "password": "geheim",
    "domain": "example.test",
    "challenge": None,        # None: a fresh random challenge for every "Login"
    "app_challenge": None,    # None: a fresh random challenge for every "AppChallenge"
    "build": "1300",
    "guid": "{0D1E2F30-4151-6273-8495-A6B7C8D9EAFB}",
    "dn": "Anna Test",
    "num": "221",
    "cn": "anna.test",
    "sip": None,               # the SIP name in "AppGetLoginResult"; None: the same as "cn"
    "info": True,              # the "info" object of "AppGetLoginResult": True the usual one,
                               # an object that object, None none at all
    "info_size": 0,            # > 0: the info object padded to about that many characters
    "app_password": "orvix-app-secret",   # the app object's shared secret (the plug-in never sees it)
    "prefix": {"country": "49", "area": "30", "intl": "000", "ntl": "00", "subs": "0"},
    "devices": [{"hw": "phone-1", "text": "Desk phone"}],
    "answer_delay": 0.0,       # seconds before each answer ("answer slowly")
    "silent": [],              # "mt" values that get no answer at all
    "refuse_login": False,     # refuse every login whatever the digest
    "two_factor": None,        # {"mode": "confirm"|"refuse"|"timeout", "delay": seconds}
    "session_object": True,    # a user login hands out a stored session
    "drop_on": [],             # requests that drop the connection (see the docstring)
    "drop_after_monitor": None,  # seconds after each UserInitializeResult: the connection drops
    "refuse_initialize": 0,    # this many UserInitialize requests are refused first
    "session_nonce": None,     # enciphers handed-out sessions with this nonce, not the login's
    "echo_src": True,          # results carry the request's "src"
    "interleave": {},          # request mt (or "*") -> events sent before its answers
    "trail": {},               # request mt (or "*") -> events sent after its answers
}

# The messages that answer a request (and so echo its src); events do not.
def is_result(value):
    return isinstance(value, dict) and (str(value.get("mt", "")).endswith("Result")
                                        or value.get("mt") in ("Authenticate", "Authorize"))


def rc4(key, data):
    """RC4 (the stream cipher), written out here so that the plug-in's use of OpenSSL is
    checked against an independent model."""
    box = list(range(256))
    j = 0
    for i in range(256):
        j = (j + box[i] + key[i % len(key)]) & 0xFF
        box[i], box[j] = box[j], box[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) & 0xFF
        j = (j + box[i]) & 0xFF
        box[i], box[j] = box[j], box[i]
        out.append(byte ^ box[(box[i] + box[j]) & 0xFF])
    return bytes(out)


def session_part(part, text, nonce, password):
    """One part of the stored session object: the text enciphered, as upper-case hex."""
    key = ansi(SESSION_KEY_PATTERNS[part] % (nonce, password))
    return rc4(key, ansi(text)).hex().upper()


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


def app_digest(app, domain, sip, guid, dn, info, challenge, password):
    """The AppWebsocket login digest: SHA-256 over app:domain:sip:guid:dn:info:challenge:password
    (info the object's compact JSON text), without the info part when there is no object."""
    parts = [app, domain, sip, guid, dn] + ([info] if info is not None else []) + [challenge, password]
    return hashlib.sha256(":".join(parts).encode("utf-8")).hexdigest()


def info_text(value):
    """The info object as the digest takes it: its compact JSON text."""
    return None if value is None else dumps(value)


class Conn:
    """What the PBX knows about one websocket."""
    def __init__(self, kind, ws, number):
        self.kind = kind
        self.ws = ws
        self.id = number
        self.challenge = ""       # of the last "Login" start on this connection
        self.login_type = ""
        self.app_challenge = ""   # of the last "AppChallenge" on this connection
        self.user = False         # a user (or session) login succeeded here
        self.sources = set()      # the "src" values of this connection's requests


class Pbx:
    def __init__(self, base, log_path):
        self.base = base
        self.log_path = log_path
        self.cfg = copy.deepcopy(DEFAULTS)
        self.next_user = 100
        self.next_call = 500
        self.app_digest = ""
        self.app_logins = {}      # application challenge -> the info text the PBX gave, or None
        # RCC: user handle -> device hw; call id -> {"conf", "user", "state", "peer"}
        self.rcc_users = {}
        self.calls = {}
        # The plug-in's latest connection (Conn) of each kind (a control connection sends only
        # FakePbx messages and never becomes one).
        self.peers = {}
        self.app_challenges = set()
        self.sessions = {}        # deciphered user part -> (session id, deciphered password part)
        self.conns = set()
        self.next_conn = 0
        self.away_until = 0.0

    def log(self, record):
        if self.log_path:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(record, ensure_ascii=False) + "\n")

    async def send(self, conn, value):
        """Sends one JSON value on the connection; a CallInfo is logged once it is sent."""
        await conn.ws.send(dumps(value, ensure_ascii=False))
        if isinstance(value, dict) and value.get("mt") == "CallInfo":
            self.log({"sent": {"path": conn.kind, "conn": conn.id,
                               "peer": self.peers.get(conn.kind) is conn, "msg": value}})

    def drop_entry(self, conn, msg):
        """The "drop_on" entry that this request matches and uses up, or None."""
        for entry in self.cfg["drop_on"]:
            if isinstance(entry, dict):
                if entry.get("mt") != msg.get("mt") \
                        or entry.get("path", conn.kind) != conn.kind \
                        or entry.get("type", msg.get("type")) != msg.get("type") \
                        or entry.get("response", "response" in msg) != ("response" in msg):
                    continue
                if entry.get("skip", 0) > 0:
                    entry["skip"] -= 1
                    continue
            elif entry != msg.get("mt"):
                continue
            self.cfg["drop_on"].remove(entry)   # once per entry
            return entry
        return None

    async def process_request(self, path, headers):
        """An away PBX takes no connection at all (the listener is closed meanwhile); this
        catches an upgrade that raced the close."""
        if time.monotonic() < self.away_until:
            return HTTPStatus.SERVICE_UNAVAILABLE, [], b""
        return None

    async def handler(self, ws):
        path = ws.path
        if path == self.base + "APPCLIENT/websocket":
            kind = "user"
        elif path == self.base + "APPS/websocket":
            kind = "app"
        else:
            await ws.close(1008, "unknown path")
            return
        self.next_conn += 1
        conn = Conn(kind, ws, self.next_conn)
        self.conns.add(conn)
        self.log({"path": kind, "conn": conn.id, "event": "open"})
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
                record = {"path": kind, "conn": conn.id, "msg": msg}
                if msg.get("mt") != "FakePbx":
                    self.peers[kind] = conn
                if msg.get("mt") == "FakePbx":
                    self.log(record)
                    if not await self.control(conn, msg):
                        return
                    continue
                entry = self.drop_entry(conn, msg)
                if entry is not None:
                    record["dropped"] = True
                    self.log(record)
                    if isinstance(entry, dict) and "close" in entry:
                        await ws.close(entry["close"])
                    else:
                        ws.transport.abort()
                    return
                answers = self.answer(conn, msg, record)
                self.log(record)
                if msg.get("mt") in self.cfg["silent"]:
                    continue
                src = msg.get("src") if isinstance(msg.get("src"), str) else None
                if src is not None and self.cfg["echo_src"]:
                    answers = [dict(a, src=src) if is_result(a) else a for a in answers]
                answers = self.events("interleave", msg, src) + answers \
                    + self.events("trail", msg, src)
                for a in answers:
                    if isinstance(a, (int, float)):
                        await asyncio.sleep(a)   # a pause between two answers
                        continue
                    if self.cfg["answer_delay"]:
                        await asyncio.sleep(self.cfg["answer_delay"])
                    await self.send(conn, a)
                if msg.get("mt") == "UserInitialize" and self.cfg["drop_after_monitor"] is not None:
                    asyncio.get_running_loop().create_task(
                        self.drop_later(conn, float(self.cfg["drop_after_monitor"])))
        except websockets.ConnectionClosed:
            pass
        finally:
            self.conns.discard(conn)
            if self.peers.get(kind) is conn:
                del self.peers[kind]
        self.log({"path": kind, "conn": conn.id, "event": "closed", "code": ws.close_code})

    def events(self, kind, msg, src):
        """The events configured to go before ("interleave") or after ("trail") the answers."""
        table = self.cfg[kind]
        out = []
        for key in ("*", msg.get("mt")):
            for event in table.get(key, []):
                event = copy.deepcopy(event)
                if event.get("src") == "$src":
                    if src is None:
                        del event["src"]
                    else:
                        event["src"] = src
                if event.get("user") == "$user":
                    event["user"] = next(reversed(self.rcc_users), 0)
                out.append(event)
        return out

    async def control(self, conn, msg):
        if msg.get("reset"):
            self.cfg = copy.deepcopy(DEFAULTS)
            self.rcc_users.clear()
            self.calls.clear()
            self.sessions.clear()
            self.app_logins.clear()
        self.cfg.update(msg.get("set", {}))
        for action in msg.get("run", []):
            target = conn
            if "to" in action:
                target = self.peers.get(action["to"])
                if target is None:
                    self.log({"control": "no connection", "to": action["to"]})
                    continue
            if not await self.run_action(target, action) and target is conn:
                return False
        return True

    async def run_action(self, conn, action):
        """One scripted step; False when it closed the socket."""
        ws = conn.ws
        if "send" in action:
            await self.send(conn, action["send"])
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
        elif "drop" in action:
            ws.transport.abort()
            return False
        elif "away" in action:
            asyncio.get_running_loop().create_task(self.go_away(action["away"]))
            return False
        elif "forget_sessions" in action:
            self.sessions.clear()
        elif "nested" in action:
            n = action["nested"]
            await ws.send("[" * n + "]" * n)
        elif "padded" in action:
            value = dict(action["padded"], pad="")
            short = len(dumps(value).encode("utf-8"))
            value["pad"] = "p" * max(0, action["size"] - short)
            await ws.send(dumps(value))
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
                    await self.send(conn, self.call_info(call, m))
        elif "call" in action:
            self.next_call += 1
            call, conf = self.next_call, f"conf-{self.next_call}"
            peer = {"e164": action["call"], "h323": "Caller"}
            for m in ("x-setup", "x-alert", "x-conn", "del"):
                await self.send(conn, {"mt": "CallInfo", "api": "RCC", "call": call,
                                       "msg": m, "conf": conf, "peer": peer})
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

    def answer_rcc(self, conn, msg, record):
        """RCC requests; None when msg is none of them."""
        c, mt = self.cfg, msg.get("mt")
        rcc = conn.kind == "app" and msg.get("api") == "RCC"
        if mt in RCC_REQUESTS and not conn.user:
            self.violation(record, f"{mt} before the application login")
        if mt == "Devices":
            record["verified"] = rcc
            return [{"mt": "DevicesResult", "api": "RCC", "devices": c["devices"]}]
        if mt == "UserInitialize":
            hws = [d.get("hw", "") for d in c["devices"]]
            ok = rcc and msg.get("cn") == c["cn"] and msg.get("hw", hws[0] if hws else "") in hws
            if ok and c["refuse_initialize"] > 0:
                c["refuse_initialize"] -= 1
                record["refused"] = True
                ok = False
            record["verified"] = ok
            if not ok:
                return [{"mt": "UserInitializeResult", "api": "RCC", "error": 1}]
            self.next_user += 1
            self.rcc_users[self.next_user] = msg.get("hw", "")
            return [{"mt": "UserInitializeResult", "api": "RCC", "user": self.next_user}]
        if mt == "UserEnd":
            ok = rcc and msg.get("cn") == c["cn"] and msg.get("user") in self.rcc_users
            record["verified"] = ok
            if msg.get("user") not in self.rcc_users:
                self.violation(record, "UserEnd for a user handle the PBX did not give")
            if ok:
                del self.rcc_users[msg["user"]]
            return [{"mt": "UserEndResult", "api": "RCC"}]
        if mt == "UserCall":
            record["hw"] = self.rcc_users.get(msg.get("user"))
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

    async def drop_later(self, conn, seconds):
        """Ends the connection without a close frame after the time."""
        await asyncio.sleep(seconds)
        if conn in self.conns:
            self.log({"path": conn.kind, "conn": conn.id, "event": "drop_after_monitor"})
            conn.ws.transport.abort()

    async def go_away(self, seconds):
        """Closes the listener and every connection, and listens again after the time."""
        self.away_until = time.monotonic() + seconds
        self.log({"event": "away", "seconds": seconds})
        self.server.server.close()
        for c in list(self.conns):
            c.ws.transport.abort()
        await asyncio.sleep(seconds)
        self.server = await self.serve(self.port)
        self.log({"event": "back"})

    async def serve(self, port):
        return await websockets.serve(self.handler, "127.0.0.1", port, compression=None,
                                      ping_interval=None, max_size=None, reuse_address=True,
                                      process_request=self.process_request)

    @staticmethod
    def violation(record, text):
        record.setdefault("violations", []).append(text)

    def check(self, conn, msg, record):
        """Records every way the request differs from what the PBX takes."""
        mt = msg.get("mt")
        if mt in USER_ONLY and conn.kind != "user":
            self.violation(record, f"{mt} on the {conn.kind} connection")
        if mt in APP_ONLY and conn.kind != "app":
            self.violation(record, f"{mt} on the {conn.kind} connection")
        key = mt
        if mt == "Login":
            key = "Login-response" if "response" in msg else "Login-start"
        for member in sorted(MEMBERS.get(key, ())):
            if member not in msg:
                self.violation(record, f"{mt} without {member}")
        if mt in RCC_REQUESTS and msg.get("api") != "RCC":
            self.violation(record, f"{mt} with api {msg.get('api')!r}")
        if "src" in msg:
            src = msg["src"]
            if not isinstance(src, str) or not src:
                self.violation(record, f"{mt} with src {src!r}")
            elif src in conn.sources:
                self.violation(record, f"{mt} with the src {src!r} of an earlier request")
            else:
                conn.sources.add(src)

    def user_login_answers(self, conn, msg, record):
        c = self.cfg
        nonce = msg.get("nonce", "")
        conn.user = True
        result = {"mt": "LoginResult", "info": {"user": {
            "guid": c["guid"], "dn": c["dn"], "num": c["num"], "prefix": c["prefix"]}}}
        answers = [result]
        if c["session_nonce"] is not None:
            nonce = c["session_nonce"]
        if c["session_object"] and msg.get("type") == "user":
            usr = "sess-" + secrets.token_hex(6)
            pwd = secrets.token_hex(12)
            sid = secrets.token_hex(8)
            self.sessions[usr] = (sid, pwd)
            record["session"] = {"id": sid, "usr": usr, "pwd": pwd}
            result["info"]["session"] = {
                "usr": session_part("usr", usr, nonce, c["password"]),
                "pwd": session_part("pwd", pwd, nonce, c["password"])}
            answers.append({"mt": "SessionAdded", "id": sid,
                            "info": {"current": True, "userAgent": msg.get("userAgent", "")}})
        answers.append({"mt": "UpdateOwnPresence", "presence": [{"c": "", "status": "open"}]})
        return answers

    def login(self, conn, msg, record):
        c = self.cfg
        if "response" not in msg:
            conn.challenge = c["challenge"] or secrets.token_hex(8)
            conn.login_type = msg.get("type", "user")
            if conn.login_type not in ("user", "session"):
                self.violation(record, f"Login of type {conn.login_type!r}")
            return [{"mt": "Authenticate", "type": conn.login_type, "method": "digest",
                     "domain": c["domain"], "challenge": conn.challenge}]
        refused = [{"mt": "LoginResult", "error": 1, "errorText": "Login refused"}]
        challenge, conn.challenge = conn.challenge, ""
        if not challenge:
            self.violation(record, "response login before its challenge")
            record["verified"] = False
            return refused
        if msg.get("type") != conn.login_type:
            self.violation(record, "response login of another type than its challenge")
        if msg.get("method") != "digest":
            self.violation(record, f"method {msg.get('method')!r}")
        nonce = msg.get("nonce", "")
        if msg.get("type") == "session":
            known = self.sessions.get(msg.get("username", ""))
            ok = bool(known) and msg.get("response") == session_digest(
                c["domain"], known[0], known[1], nonce, challenge)
        else:
            want = user_digest(c["domain"], c["user"], c["password"], nonce, challenge)
            ok = msg.get("username") == c["user"].lower() and msg.get("response") == want
        ok = ok and not c["refuse_login"]
        record["verified"] = ok
        if not ok:
            return refused
        tf = c["two_factor"]
        if tf and msg.get("type") == "user":
            answers = [{"mt": "Authorize", "type": "user", "userAgent": msg.get("userAgent", "")},
                       float(tf.get("delay", 1.0))]
            if tf.get("mode") == "confirm":
                return answers + self.user_login_answers(conn, msg, record)
            return answers + [{"mt": "LoginResult", "error": 2, "errorText":
                               "Authorization " + ("refused" if tf.get("mode") == "refuse" else "timed out")}]
        return self.user_login_answers(conn, msg, record)

    def login_info(self):
        """The info object of "AppGetLoginResult", or None."""
        c = self.cfg
        if c["info"] is None or c["info"] is False:
            return None
        info = {"appobj": "orvix", "cn": c["cn"], "unique": True} if c["info"] is True \
            else copy.deepcopy(c["info"])
        if c["info_size"] > 0:
            info["filler"] = ""
            info["filler"] = "f" * max(0, c["info_size"] - len(dumps(info)))
        return info

    def answer(self, conn, msg, record):
        """The PBX's answers to one request (empty: none); a number is a pause."""
        c, mt = self.cfg, msg.get("mt")
        self.check(conn, msg, record)
        if mt == "CheckBuild":
            return [{"mt": "CheckBuildResult", "build": c["build"]}]
        if mt == "LoginInfo":
            return [{"mt": "LoginInfoResult"}]
        if mt == "Logout":
            conn.user = False
            return [{"mt": "LogoutResult"}]
        if mt == "Login":
            return self.login(conn, msg, record)
        if mt == "AppGetLogin":
            if not conn.user:
                self.violation(record, "AppGetLogin before the user login")
            if msg.get("challenge") not in self.app_challenges:
                self.violation(record, "AppGetLogin for a challenge the PBX did not issue")
            info = self.login_info()
            sip = c["cn"] if c["sip"] is None else c["sip"]
            self.app_logins[msg.get("challenge")] = info_text(info)
            self.app_digest = app_digest(msg.get("app", ""), c["domain"], sip, c["guid"], c["dn"],
                                         info_text(info), msg.get("challenge", ""), c["app_password"])
            result = {"mt": "AppGetLoginResult", "app": msg.get("app", ""), "domain": c["domain"],
                      "sip": sip, "guid": c["guid"], "dn": c["dn"], "pbxObj": "orvix",
                      "digest": self.app_digest}
            if info is not None:
                result["info"] = info
            return [result]
        if mt == "AppChallenge":
            conn.app_challenge = c["app_challenge"] or secrets.token_hex(4)
            self.app_challenges.add(conn.app_challenge)
            return [{"mt": "AppChallengeResult", "challenge": conn.app_challenge}]
        if mt == "AppLogin":
            if not conn.app_challenge:
                self.violation(record, "AppLogin before its challenge")
            # Every member the digest covers is taken as it came: a value changed on the way
            # (cut, unescaped, re-encoded, an info object added or lost) fails the check.
            given = self.app_logins.get(conn.app_challenge, None)
            if "info" in msg and given is None:
                self.violation(record, "AppLogin with an info object the PBX did not give")
            if "info" not in msg and given is not None:
                self.violation(record, "AppLogin without the info object the PBX gave")
            if "info" in msg and not isinstance(msg["info"], dict):
                self.violation(record, "AppLogin with an info that is no object")
            texts = [msg.get(k, "") for k in ("app", "domain", "sip", "guid", "dn")]
            if not all(isinstance(t, str) for t in texts):
                self.violation(record, "AppLogin with a member that is no string")
                texts = [str(t) for t in texts]
            want = app_digest(*texts, info_text(msg["info"]) if "info" in msg else None,
                              conn.app_challenge, c["app_password"])
            ok = bool(conn.app_challenge) and msg.get("digest") == want \
                and not c["refuse_login"]
            conn.app_challenge = ""
            conn.user = ok
            record["verified"] = ok
            return [{"mt": "AppLoginResult", "ok": ok}]
        rcc = self.answer_rcc(conn, msg, record)
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
    pbx.server = await pbx.serve(0)
    pbx.port = pbx.server.sockets[0].getsockname()[1]
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(f"{pbx.port}\n")
    os.replace(tmp, args.port_file)
    try:
        await asyncio.wait_for(asyncio.Future(), args.timeout)
    except asyncio.TimeoutError:
        print("fake_pbx: time limit reached", file=sys.stderr)
    pbx.server.close()


if __name__ == "__main__":
    asyncio.run(main())
