# Cross-checks the mail codecs against Python's base64 and quopri.
# Usage: codecs_check.py DIR COUNT
# For every i < COUNT, DIR holds data_i.bin (random bytes), b64_i.txt and
# qp_i.txt (our encodings). Writes py_b64_i.txt, py_mime64_i.txt, py_qp_i.txt,
# py_qpt_i.txt (Python's encodings) and py_qpdec_i.bin, py_qptdec_i.bin
# (Python's decoding of its own quoted-printable) for the other direction.
# Prints one line per mismatch and "OK" at the end when there was none.
import base64
import os
import quopri
import sys

d, count = sys.argv[1], int(sys.argv[2])
bad = 0


def rd(name):
    with open(os.path.join(d, name), "rb") as f:
        return f.read()


def wr(name, data):
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


for i in range(count):
    data = rd(f"data_{i}.bin")
    ours64 = rd(f"b64_{i}.txt")
    oursqp = rd(f"qp_{i}.txt")
    if ours64 != base64.b64encode(data):
        print(f"{i}: base64 encoding differs")
        bad += 1
    if base64.b64decode(ours64, validate=True) != data:
        print(f"{i}: base64 does not decode back")
        bad += 1
    if quopri.decodestring(oursqp) != data:
        print(f"{i}: quoted-printable does not decode back")
        bad += 1
    for line in oursqp.split(b"\r\n"):
        if len(line) > 76 or line.endswith(b" ") or line.endswith(b"\t"):
            print(f"{i}: bad quoted-printable line {line!r}")
            bad += 1
    wr(f"py_b64_{i}.txt", base64.b64encode(data))
    wr(f"py_mime64_{i}.txt", base64.encodebytes(data))
    qp = quopri.encodestring(data, quotetabs=False)
    qpt = quopri.encodestring(data, quotetabs=True)
    wr(f"py_qp_{i}.txt", qp)
    wr(f"py_qpt_{i}.txt", qpt)
    wr(f"py_qpdec_{i}.bin", quopri.decodestring(qp))
    wr(f"py_qptdec_{i}.bin", quopri.decodestring(qpt))

print("OK" if bad == 0 else f"{bad} mismatches")
