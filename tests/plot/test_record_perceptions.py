"""scripts/record-perceptions between agents and a stand-in server on loopback.

    test_record_perceptions.py --server-host 127.0.0.x --relay-host 127.0.0.y
"""

import argparse
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

RECORD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "record-perceptions")
ARGS = None
# Past a TCP segment, a line break inside, empty.
SERVER_SAYS = [b"(time (now 1.00))(HJ (n hj1) (ax 0.00))", b"(See (B (pol 1 2 3)))" * 800,
               b"(time (now 1.04))\n(HJ (n hj2) (ax 1.5))", b""]
AGENT_SAYS = [b"(scene rsg/agent/nao/nao.rsg)", b"(init (unum 0)(teamname A))", b"(he1 0.10)", b"(syn)"]


def frame(payload):
    return struct.pack(">I", len(payload)) + payload


def read_frame(sock):
    data = b""
    while len(data) < 4 or len(data) < 4 + struct.unpack(">I", data[:4])[0]:
        chunk = sock.recv(65536)
        if not chunk:
            return None
        data += chunk
    return data[4:]


def serve(listener, heard):
    """Answers each message of each agent with the next of SERVER_SAYS, 7 bytes a write."""
    for _ in range(2):
        conn, _ = listener.accept()
        with conn:
            for say in SERVER_SAYS:
                heard.append(read_frame(conn))
                data = frame(say)
                for k in range(0, len(data), 7):
                    conn.sendall(data[k:k + 7])


class Relay(unittest.TestCase):
    def test_every_byte_passes_and_each_server_message_is_a_line(self):
        listener = socket.create_server((ARGS.server_host, 3100))
        heard = []
        threading.Thread(target=serve, args=(listener, heard), daemon=True).start()
        with tempfile.TemporaryDirectory() as d:
            p = subprocess.Popen([RECORD, "--listen=" + ARGS.relay_host, "--server=" + ARGS.server_host,
                                  "--out=" + d, "--agents=2", "--replies"], stderr=subprocess.PIPE, text=True)
            self.assertIn("relaying", p.stderr.readline())
            for _ in range(2):
                with socket.create_connection((ARGS.relay_host, 3100), timeout=10) as s:
                    for say in AGENT_SAYS:
                        s.sendall(frame(say)[:3])
                        s.sendall(frame(say)[3:])
                        self.assertEqual(SERVER_SAYS[AGENT_SAYS.index(say)], read_frame(s))
            err = p.communicate(timeout=20)[1]
            listener.close()
            self.assertEqual(p.returncode, 0, err)
            self.assertEqual(heard, AGENT_SAYS * 2)
            for k in (1, 2):
                with open(os.path.join(d, "perceptions-%d.txt" % k), "rb") as f:
                    self.assertEqual(f.read(), b"".join(m.replace(b"\n", b" ") + b"\n" for m in SERVER_SAYS))
                with open(os.path.join(d, "replies-%d.txt" % k), "rb") as f:
                    self.assertEqual(f.read(), b"".join(m + b"\n" for m in AGENT_SAYS))
                self.assertIn("agent %d: 4 messages recorded" % k, err)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--server-host", required=True)
    parser.add_argument("--relay-host", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
