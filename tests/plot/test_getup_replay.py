"""The real server's messages to a robot lying on its side (tests/data/getup,
recorded with scripts/record-perceptions while an earlier build waited there
for ever), replayed through the executable: the stand-up finds the side and
moves on from every phase within 10 s, though the body never leaves it.

    test_getup_replay.py --agent BIN --host 127.0.0.x
"""

import argparse
import itertools
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPLAY = os.path.join(HERE, "..", "..", "scripts", "replay-perceptions")
ARGS = None
SWING_PUSH = {"left": ("standup_forward() 23", "standup_forward() 24"),
              "right": ("standup_forward() 21", "standup_forward() 22")}


class Replay(unittest.TestCase):
    def test_every_phase_moves_on_within_10_s(self):
        for config, side in itertools.product(("classic", "today"), ("left", "right")):
            with self.subTest(config=config, side=side):
                path = os.path.join(HERE, "..", "data", "getup", "%s-%s.txt.gz" % (config, side))
                server = subprocess.Popen([REPLAY, path, "--host=" + ARGS.host], stderr=subprocess.PIPE, text=True)
                server.stderr.readline()
                agent = subprocess.run([ARGS.agent, "--host=" + ARGS.host], capture_output=True, text=True,
                                       timeout=120)
                rest = server.communicate(timeout=30)[1]
                self.assertEqual((server.returncode, agent.returncode), (0, 0), rest)
                # The stand-up trace of each cycle.
                cycles = []
                for line in agent.stdout.splitlines():
                    if line.startswith("(TIME): "):
                        cycles.append("")
                    elif line.startswith("standup_") and cycles:
                        cycles[-1] = line
                fell = next(k for k, m in enumerate(cycles) if m)
                self.assertTrue(all(cycles[fell:]))
                runs = [(m, len(list(g))) for m, g in itertools.groupby(cycles[fell:])]
                self.assertEqual(runs[0][0], "standup_forward() 0")
                self.assertLessEqual(max(n for _, n in runs), 500, runs)
                phases = [m for m, _ in runs]
                swing, push = SWING_PUSH[side]
                # Swing and push come round again and again, the other side's never.
                self.assertGreater(phases.count(swing), 2)
                self.assertGreater(phases.count(push), 2)
                self.assertFalse(set(phases) & set(SWING_PUSH["left" if side == "right" else "right"]))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--agent", required=True)
    parser.add_argument("--host", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
