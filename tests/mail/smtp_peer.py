# A real SMTP server for the mail client tests (aiosmtpd on 127.0.0.1).
#
# Usage: smtp_peer.py WORKDIR
# Reads WORKDIR/config.json, listens on a free port of 127.0.0.1 and writes
# the port number to WORKDIR/port. Every command outcome worth checking is
# appended to WORKDIR/events.log; every message accepted or refused at the
# end of DATA is written as WORKDIR/msg_N.eml (raw) and WORKDIR/msg_N.txt
# (what Python's email package makes of it, one "key<TAB>value" per line,
# binary values in hexadecimal, texts as Windows-1252 unless named utf8).
# Stops by itself after "lifetime" seconds.
#
# config.json keys (all optional): password (of the one account, "tim"),
# lifetime (seconds before the server stops, default 60).
import asyncio
import base64
import email
import email.header
import email.policy
import email.utils
import hashlib
import hmac
import json
import os
import sys
import time

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

workdir = sys.argv[1]
with open(os.path.join(workdir, "config.json")) as f:
    config = json.load(f)

USER = b"tim"
PASSWORD = config.get("password", "tanstaaftanstaaf").encode("latin-1")
message_count = 0


def log(line):
    with open(os.path.join(workdir, "events.log"), "a", encoding="latin-1") as f:
        f.write(line + "\n")


def hexs(data):
    # Our texts are Windows-1252: a character that was decoded under the
    # wrong label (C1 controls from "iso-8859-1") comes back as "?".
    if isinstance(data, str):
        data = data.encode("cp1252", errors="replace")
    return data.hex()


def report(content):
    """Parses a received message and describes it line by line."""
    out = []
    msg = email.message_from_bytes(content, policy=email.policy.default)
    defects = [repr(d) for d in msg.defects]
    for part in msg.walk():
        defects += [repr(d) for d in part.defects]
    out.append(("defects", str(len(defects))))
    for d in defects:
        out.append(("defect", d))
    for name in msg.keys():
        out.append(("header", name))
    out.append(("content-type", msg.get_content_type()))
    subject = msg.get("subject")
    if subject is not None:
        out.append(("subject", hexs(str(subject))))
        out.append(("subject-utf8", str(subject).encode("utf-8", errors="surrogateescape").hex()))
    for name in ("from", "to", "cc", "reply-to", "sender"):
        value = msg.get(name)
        if value is not None:
            out.append((name, hexs(str(value))))
    # Each mailbox of the address headers: the display name, its encoded
    # words decoded as RFC 2047 says (the blanks between two encoded words
    # dropped, which the newer header parser keeps), and the address.
    for key, raw in msg.raw_items():
        name = key.lower()
        if name not in ("from", "to", "cc", "reply-to", "sender"):
            continue
        unfolded = str(raw).replace("\r\n", "").replace("\n", "")
        for display, address in email.utils.getaddresses([unfolded]):
            decoded = str(email.header.make_header(email.header.decode_header(display)))
            out.append(("address", "\t".join([name, hexs(decoded), address])))
    for name in ("x-mailer", "comments"):
        value = msg.get(name)
        if value is not None:
            out.append((name, str(value)))
    for part in msg.walk():
        ctype = part.get_content_type()
        if part.is_multipart():
            out.append(("multipart", ctype))
            continue
        payload = part.get_payload(decode=True) or b""
        filename = part.get_filename()
        disposition = part.get_content_disposition()
        cte = str(part.get("content-transfer-encoding", ""))
        if filename is not None or disposition in ("attachment", "inline"):
            extra = str(part.get("content-id", "") or part.get("x-file-id", ""))
            out.append(("attachment", "\t".join([
                hexs(filename or ""), ctype, disposition or "", cte,
                hashlib.md5(payload).hexdigest().upper(), str(len(payload)), extra])))
        else:
            charset = part.get_content_charset() or ""
            out.append(("text", "\t".join([ctype, charset, cte, payload.hex()])))
    return out


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login == USER and auth_data.password == PASSWORD
    log(f"AUTH {mechanism} {auth_data.login.decode('latin-1')} {'OK' if ok else 'FAIL'}")
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


class Handler:
    async def handle_DATA(self, server, session, envelope):
        global message_count
        message_count += 1
        n = message_count
        content = envelope.original_content or envelope.content
        with open(os.path.join(workdir, f"msg_{n}.eml"), "wb") as f:
            f.write(content)
        lines = [("from", hexs(envelope.mail_from or ""))]
        lines += [("rcpt", r) for r in envelope.rcpt_tos]
        try:
            lines += report(content)
        except Exception as e:  # a message Python cannot parse at all
            lines.append(("error", repr(e)))
        tmp = os.path.join(workdir, f"msg_{n}.tmp")
        with open(tmp, "w", encoding="latin-1") as f:
            for key, value in lines:
                f.write(f"{key}\t{value}\n")
        os.replace(tmp, os.path.join(workdir, f"msg_{n}.txt"))
        return "250 Message accepted"

    # RFC 4616, logged in full so the test can see the three fields.
    async def auth_PLAIN(self, server, args):
        if len(args) < 2:
            blob = await server.challenge_auth("")
            if blob is None or not isinstance(blob, bytes):
                return AuthResult(success=False)
        else:
            try:
                blob = base64.b64decode(args[1].encode(), validate=True)
            except Exception:
                await server.push("501 5.5.2 Can't decode base64")
                return AuthResult(success=False, handled=True)
        fields = blob.split(b"\x00")
        if len(fields) != 3:
            log(f"PLAIN-FIELDS {len(fields)}")
            await server.push("501 5.5.2 Can't split auth value")
            return AuthResult(success=False, handled=True)
        log(f"PLAIN-AUTHZID {fields[0].hex()}")
        return authenticate(server, None, None, "PLAIN", LoginPassword(fields[1], fields[2]))

    # RFC 2195.
    async def auth_CRAM__MD5(self, server, args):
        challenge = f"<{os.getpid()}.{time.time_ns()}@test.local>".encode()
        blob = await server.challenge_auth(challenge)
        if not isinstance(blob, bytes):
            return AuthResult(success=False)
        user, _, digest = blob.partition(b" ")
        expected = hmac.new(PASSWORD, challenge, hashlib.md5).hexdigest().encode()
        ok = user == USER and hmac.compare_digest(digest, expected)
        log(f"AUTH CRAM-MD5 {user.decode('latin-1')} {'OK' if ok else 'FAIL'}")
        return AuthResult(success=ok, handled=False, auth_data=user)


def main():
    handler = Handler()
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    def factory():
        return SMTP(handler, hostname="test.local", auth_require_tls=False,
                    authenticator=authenticate,
                    data_size_limit=64 * 1024 * 1024, loop=loop)

    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    port = server.sockets[0].getsockname()[1]
    tmp = os.path.join(workdir, "port.tmp")
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, os.path.join(workdir, "port"))
    loop.call_later(float(config.get("lifetime", 60)), loop.stop)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
