"""scripts/replay-perceptions serves a perceptions file to the real agent; the
real server's messages to a robot lying on its side (tests/data/getup,
recorded while an earlier build waited there for ever) through it.

    test_replay_perceptions.py --agent BIN --host 127.0.0.x
"""

import argparse
import gzip
import itertools
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPLAY = os.path.join(HERE, "..", "..", "scripts", "replay-perceptions")
ARGS = None
SWING_PUSH = {"left": ("standup_forward() 23", "standup_forward() 24"),
              "right": ("standup_forward() 21", "standup_forward() 22")}


def message(now):
    return ("(time (now %.2f))(GS (unum 2) (team left) (t 0.00) (pm BeforeKickOff))"
            "(GYR (n torso) (rt 0.00 0.00 0.00))(HJ (n hj1) (ax 0.00))(HJ (n hj2) (ax 0.00))"
            "(See (F1L (pol 7.21 33.69 -3.97)) (F2L (pol 7.21 -33.69 -3.97)) (F1R (pol 12.65 18.43 -2.26))"
            " (F2R (pol 12.65 -18.43 -2.26)) (B (pol 5.02 0.00 -5.71)))" % now)


class Replay(unittest.TestCase):
    def test_agent_gets_every_line_one_per_reply(self):
        times = [4.10 + 0.02 * i for i in range(7)]
        with tempfile.TemporaryDirectory() as d:
            perceptions = os.path.join(d, "perceptions.txt")
            with open(perceptions, "w") as f:
                f.write("".join(message(t) + "\n" for t in times))
            replies = os.path.join(d, "replies.txt")
            server = subprocess.Popen([REPLAY, perceptions, "--host=" + ARGS.host, "--replies=" + replies,
                                       "--wait=20"], stderr=subprocess.PIPE, text=True)
            try:
                self.assertIn("listening on", server.stderr.readline())
                agent = subprocess.run([ARGS.agent, "--host=" + ARGS.host, "--team=Alpha"],
                                       capture_output=True, text=True, timeout=60)
                rest = server.communicate(timeout=30)[1]
            finally:
                if server.poll() is None:
                    server.kill()
                    server.wait()
            self.assertEqual(server.returncode, 0, rest)
            self.assertIn("sent 7 of 7 messages", rest)
            self.assertEqual(agent.returncode, 0, agent.stderr)
            dumped = [float(l[8:]) for l in agent.stdout.splitlines() if l.startswith("(TIME): ")]
            self.assertEqual(len(dumped), len(times))
            for got, want in zip(dumped, times):
                self.assertAlmostEqual(got, want, places=6)
            self.assertTrue(agent.stdout.endswith("closed connection to %s:3100\n" % ARGS.host))
            with open(replies) as f:
                sent = f.read().splitlines()
            # The scene, then one reply per perception.
            self.assertEqual(len(sent), 1 + len(times))
            self.assertEqual(sent[0], "(scene rsg/agent/nao/nao.rsg)")
            self.assertTrue(sent[1].startswith("(init (unum 0)(teamname Alpha))"), sent[1])

    def test_off_a_side_every_stand_up_phase_moves_on_within_10_s(self):
        for config, side in itertools.product(("classic", "today"), ("left", "right")):
            with self.subTest(config=config, side=side):
                path = os.path.join(HERE, "..", "data", "getup", "%s-%s.txt.gz" % (config, side))
                server = subprocess.Popen([REPLAY, path, "--host=" + ARGS.host], stderr=subprocess.PIPE, text=True)
                server.stderr.readline()
                agent = subprocess.run([ARGS.agent, "--host=" + ARGS.host], capture_output=True, text=True,
                                       timeout=120)
                rest = server.communicate(timeout=30)[1]
                self.assertEqual((server.returncode, agent.returncode), (0, 0), rest)
                cycles = []  # the stand-up trace of each cycle
                for line in agent.stdout.splitlines():
                    if line.startswith("(TIME): "):
                        cycles.append("")
                    elif line.startswith("standup_") and cycles:
                        cycles[-1] = line
                fell = next(k for k, m in enumerate(cycles) if m)
                runs = [(m, len(list(g))) for m, g in itertools.groupby(cycles[fell:])]
                self.assertEqual(runs[0][0], "standup_forward() 0")
                self.assertTrue(all(m for m, _ in runs))
                self.assertLessEqual(max(n for _, n in runs), 500, runs)
                # Swing and push of this side come round again and again, the other side's never.
                phases = [m for m, _ in runs]
                for p in SWING_PUSH[side]:
                    self.assertGreater(phases.count(p), 2)
                self.assertFalse(set(phases) & set(SWING_PUSH["left" if side == "right" else "right"]))

    def test_bad_files_give_one_line(self):
        with tempfile.TemporaryDirectory() as d:
            long_line = os.path.join(d, "long.txt")
            with open(long_line, "w") as f:
                f.write(message(1.0) + "\n" + "x" * 16381 + "\n")
            empty = os.path.join(d, "empty.txt")
            open(empty, "w").close()
            whole = gzip.compress(((message(1.0) + "\n") * 50).encode())
            cut = os.path.join(d, "cut.txt.gz")
            with open(cut, "wb") as f:
                f.write(whole[:len(whole) // 2])
            cases = [("missing", os.path.join(d, "nope.txt"), "cannot read"),
                     ("empty", empty, "holds no perceptions"),
                     ("line over the agent's limit", long_line, ":2: a payload of 16381 bytes"),
                     ("compressed file cut off", cut, "cannot read")]
            for name, path, text in cases:
                with self.subTest(name):
                    r = subprocess.run([REPLAY, path, "--host=" + ARGS.host], capture_output=True,
                                       text=True, timeout=30)
                    self.assertEqual(r.returncode, 1)
                    self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                    self.assertIn(text, r.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--agent", required=True)
    parser.add_argument("--host", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
