"""Robot types of a team: today's server's quota, and the options
scripts/start-team.sh and scripts/real-game give each player.

    test_team_types.py
"""

import importlib.machinery
import os
import subprocess
import sys
import tempfile
import types
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
sys.path.insert(0, SCRIPTS)
import teamtypes  # noqa: E402

rg = types.ModuleType("real_game")
rg.__file__ = os.path.join(SCRIPTS, "real-game")
importlib.machinery.SourceFileLoader("real_game", os.path.join(SCRIPTS, "real-game")).exec_module(rg)


class TeamTypes(unittest.TestCase):
    def test_the_server_refuses_the_player_that_breaks_the_quota(self):
        for listed, refused in (([0] * 7, None), ([0] * 8, 8), ([0] * 7 + [2, 2], None), ([0] * 7 + [2] * 3, 10),
                                ([1] * 5 + [0] * 5, 10), ([4, 4, 2, 2] + [0] * 7, None), (teamtypes.TODAY, None)):
            with self.subTest(types=listed):
                why = teamtypes.refusal(listed)
                self.assertEqual(why[0] if why else None, refused, why)
        self.assertEqual(len(set(teamtypes.TODAY)), 3)

    def test_each_player_gets_the_option_of_its_type(self):
        with tempfile.TemporaryDirectory() as d:
            fake = os.path.join(d, "agent")
            with open(fake, "w") as f:
                f.write('#!/bin/sh\necho "$@"\n')
            os.chmod(fake, 0o755)
            for args, want in ((["-n", "11"], teamtypes.TODAY), (["-n", "11", "--classic"], [0] * 11),
                               (["-n", "2", "--classic", "--types=3,1"], [3, 1]), (["-n", "12"], None),
                               (["-n", "11", "--types=" + ",".join(["3"] * 11)], None)):
                with self.subTest(args=args):
                    logs = os.path.join(d, "logs-%s" % "".join(args))
                    p = subprocess.run([os.path.join(SCRIPTS, "start-team.sh"), "--team=T", "--binary=" + fake,
                                        "--logs=" + logs] + args, capture_output=True, text=True, timeout=60)
                    if want is None:
                        self.assertEqual((p.returncode, len(p.stderr.splitlines())), (2, 1), p.stderr)
                        self.assertFalse(os.path.exists(logs))
                        continue
                    for i, t in enumerate(want, 1):
                        with open(os.path.join(logs, "T-%d.log" % i)) as f:
                            self.assertEqual(f.read().split()[2:], ["--type=%d" % t] if t else [], i)
            # real-game: the plan on today's server, the standard robot on the classic one.
            a = rg.parse_args(["kickoff", "--players", "11", "--opponents", "11"])
            self.assertEqual((rg.robot_types(a, 11, True), rg.robot_types(a, 11, False)),
                             (list(teamtypes.TODAY), [0] * 11))
            a = rg.parse_args(["kickoff", "--players", "11", "--agent-arg=--type=3", "--binary=" + fake])
            self.assertRaises(rg.BadArguments, rg.robot_types, a, 11, True)
            p = rg.start_player(a, "T", 1, d, rg.robot_types(a, 11, False)[0])
            p.proc.wait(10)
            p.log_file.close()
            with open(p.log_path) as f:
                self.assertEqual(f.read().split()[2:], ["--type=3"])  # once
        for bad in (["--agent-arg=--type=7"], ["--types=0,0"], ["--types=0,0,x"], ["--types=0,0,0", "--agent-arg=--type=1"]):
            self.assertRaises(rg.BadArguments, rg.parse_args, ["kickoff"] + bad)


if __name__ == "__main__":
    unittest.main()
