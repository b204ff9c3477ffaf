"""The robot types of a team: today's server's quota, the plan, the lists, and
what scripts/start-team.sh and scripts/real-game give each player.

    test_team_types.py
"""

import importlib.machinery
import os
import shutil
import subprocess
import sys
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(HERE, "..", "..", "scripts")
sys.path.insert(0, SCRIPTS)
import teamtypes  # noqa: E402

rg = types.ModuleType("real_game")
rg.__file__ = os.path.join(SCRIPTS, "real-game")
importlib.machinery.SourceFileLoader("real_game", os.path.join(SCRIPTS, "real-game")).exec_module(rg)


class Quota(unittest.TestCase):
    def test_the_server_refuses_the_player_that_breaks_it(self):
        cases = [
            # types in joining order, the player refused (None: all take)
            ([0] * 7, None),
            ([0] * 8, 8),                              # an eighth of one type
            ([3] * 11, 8),
            ([0] * 7 + [2, 2], None),                  # 7 + 2: the most two types may have
            ([0] * 7 + [2, 2, 2], 10),                 # 7 + 3
            ([1, 1, 1, 1, 1, 0, 0, 0, 0, 0], 10),      # 5 + 5
            ([0] * 7 + [2, 2] + [4, 4], None),
            ([4, 4, 2, 2] + [0] * 7, None),            # the order does not matter here
            ([0] * 6 + [1] * 3 + [2] * 2, None),       # 6 + 3
            ([0] * 6 + [1] * 4, 10),                   # 6 + 4
        ]
        for listed, refused in cases:
            with self.subTest(types=listed):
                why = teamtypes.refusal(listed)
                self.assertEqual(why[0] if why else None, refused, why)

    def test_every_team_of_the_plan_is_taken(self):
        for n in range(1, 12):
            with self.subTest(players=n):
                self.assertIsNone(teamtypes.refusal(teamtypes.plan(n)))
        full = teamtypes.plan(11)
        self.assertEqual(len(set(full)), 3)
        # The goalkeeper, the back four and numbers 2 and 3 on the standard robot.
        self.assertEqual([n for n, t in enumerate(full, 1) if t == 0], [1, 2, 3, 5, 6, 10, 11])

    def test_lists(self):
        self.assertEqual(teamtypes.parse_list("0,4, 2"), [0, 4, 2])
        for bad in ("", "5", "0,,1", "a", "00", "-1", "0;1"):
            with self.subTest(text=bad):
                with self.assertRaises(teamtypes.Refused):
                    teamtypes.parse_list(bad)
        with self.assertRaises(teamtypes.Refused):
            teamtypes.plan(3, listed=[0, 0])
        with self.assertRaises(teamtypes.Refused):
            teamtypes.plan(12)
        # The classic server has no quota; a longer list gives its first entries.
        self.assertEqual(teamtypes.plan(11, today=False, listed=[3] * 11), [3] * 11)
        self.assertEqual(teamtypes.plan(2, listed=[1, 2, 3]), [1, 2])
        self.assertEqual(teamtypes.plan(11, today=False), [0] * 11)


FAKE_AGENT = "#!/bin/sh\necho \"$@\"\n"


class Launch(unittest.TestCase):
    """The options each player gets, from a stand-in program that prints them."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.fake = os.path.join(self.dir.name, "fake-agent")
        with open(self.fake, "w") as f:
            f.write(FAKE_AGENT)
        os.chmod(self.fake, 0o755)
        self.logs = os.path.join(self.dir.name, "logs")

    def tearDown(self):
        self.dir.cleanup()

    def start_team(self, *args):
        shutil.rmtree(self.logs, ignore_errors=True)
        cmd = [os.path.join(SCRIPTS, "start-team.sh"), "--team=T", "--host=127.0.0.231",
               "--binary=%s" % self.fake, "--logs=%s" % self.logs] + list(args)
        p = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
        options = []
        for i in range(1, 12):
            path = os.path.join(self.logs, "T-%d.log" % i)
            if not os.path.exists(path):
                break
            with open(path) as f:
                options.append(f.read().split())
        return p, options

    def test_start_team_gives_each_number_its_type(self):
        plan = teamtypes.plan(11)
        for args, want in ((["-n", "11"], plan), (["-n11", "--today"], plan), (["-n", "11", "--classic"], [0] * 11),
                           (["-n", "3"], [0, 0, 0]),
                           (["-n", "3", "--classic", "--types=3,3,1"], [3, 3, 1])):
            with self.subTest(args=args):
                p, options = self.start_team(*args)
                self.assertEqual(p.returncode, 0, p.stderr)
                self.assertEqual(len(options), len(want))
                for i, (got, t) in enumerate(zip(options, want), 1):
                    self.assertEqual(got[:2], ["--host=127.0.0.231", "--team=T"])
                    self.assertEqual(got[2:], [] if t == 0 else ["--type=%d" % t], "player %d" % i)

    def test_start_team_refuses_a_team_the_server_would_not_take(self):
        for args in (["-n", "11", "--types=3,3,3,3,3,3,3,3,3,3,3"], ["-n", "2", "--types=0,9"],
                     ["-n", "3", "--types=0,0"], ["-n", "12"]):
            with self.subTest(args=args):
                p, options = self.start_team(*args)
                self.assertEqual(p.returncode, 2)
                self.assertEqual(len(p.stderr.strip().splitlines()), 1, p.stderr)
                self.assertEqual(options, [])

    def test_real_game_players_get_the_plan_on_today_only(self):
        def commands(argv, today, count=11):
            a = rg.parse_args(argv + ["--binary=%s" % self.fake])
            out = []
            os.makedirs(self.logs, exist_ok=True)
            for i, t in enumerate(rg.robot_types(a, count, today), 1):
                p = rg.start_player(a, "T", i, self.logs, t)
                p.proc.wait(10)
                p.log_file.close()
                with open(p.log_path) as f:
                    out.append(f.read().split()[2:])
            return out
        plan = teamtypes.plan(11)
        want = [[] if t == 0 else ["--type=%d" % t] for t in plan]
        self.assertEqual(commands(["kickoff", "--players", "11", "--opponents", "11"], True), want)
        self.assertEqual(commands(["kickoff", "--players", "11"], False), [[]] * 11)
        self.assertEqual(commands(["getup", "back", "--agent-arg=--type=3"], True, 2), [["--type=3"]] * 2)
        self.assertEqual(commands(["kickoff", "--players", "2", "--types=0,4"], False, 2), [[], ["--type=4"]])
        # Eleven of one type: today's server would number only seven of them.
        a = rg.parse_args(["kickoff", "--players", "11", "--agent-arg=--type=3"])
        with self.assertRaises(rg.BadArguments):
            rg.robot_types(a, 11, True)
        self.assertEqual(rg.robot_types(a, 11, False), [3] * 11)

    def test_real_game_bad_type_arguments_are_status_2(self):
        for args in (["kickoff", "--agent-arg=--type=7"], ["kickoff", "--agent-arg=--types=0"],
                     ["kickoff", "--types=0,0"], ["kickoff", "--types=0,0,x"],
                     ["kickoff", "--types=0,0,0", "--agent-arg=--type=1"]):
            with self.subTest(args=args):
                with self.assertRaises(rg.BadArguments):
                    rg.parse_args(args)


if __name__ == "__main__":
    unittest.main()
