"""scripts/plot-run against a short practice run with truth, and against bad input.

    test_plot_run.py --agent BIN --peer BIN --host 127.0.0.x
"""

import argparse
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PLOT = os.path.join(HERE, "..", "..", "scripts", "plot-run")
ARGS = None
CYCLE = 0.02


def plot(*args):
    return subprocess.run([PLOT] + list(args), capture_output=True, text=True, timeout=120)


def figures(stdout):
    """The tool's report: {key: rest of line}."""
    out = {}
    for line in stdout.splitlines():
        key, _, rest = line.partition(": ")
        out[key] = rest
    return out


def motion_seconds(text):
    """{motion: seconds} as printed, e.g. 'walk 12.3 s, turn 4.0 s'."""
    out = {}
    for item in text.split(", "):
        name, _, seconds = item.rpartition(" ")[0].rpartition(" ")
        out[name] = float(seconds)
    return out


def log_cycles(text, game_time=False):
    """Per complete cycle of a log: (time, play mode, trace lines); the time
    is the game state's instead of the simulation's when asked."""
    blocks = text.split("(TIME): ")[1:]
    out = []
    for block in blocks[:-1] + ([blocks[-1]] if "closed connection" in blocks[-1] else []):
        lines = block.splitlines()
        gs = next(l.split(": ") for l in lines if l.startswith("(GS): "))
        t = float(gs[1]) if game_time else float(lines[0])
        out.append((t, gs[2], [l for l in lines if not l.startswith("(")]))
    return out


TRACE = {"walk()": "walk", "turn()": "turn", "sidestep()": "sidestep", "back_walk()": "back walk",
         "handup()": "hand-up", "standup_back()": "stand-up (back)",
         "standup_forward()": "stand-up (front)"}


def expected_motions(cycles):
    seconds = {}
    for _, mode, trace in cycles:
        names = [n for n in ("gait " + t.split(" ")[1] if t.startswith("gait() ") else TRACE.get(t.split(" ")[0])
                             for t in trace) if n]
        if names:
            name = names[-1]
        elif mode == "BeforeKickOff" and "ovarel()" in trace:
            name = "placement"
        else:
            continue
        seconds[name] = seconds.get(name, 0.0) + CYCLE
    return seconds


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


class PracticeRun(unittest.TestCase):
    """Forward number 2 walks to the ball, falls on its front at 12 s, gets up."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        cls.log = os.path.join(d, "MERLO-Skyline-2.log")
        cls.truth = os.path.join(d, "truth.jsonl")
        peer = subprocess.Popen(
            [ARGS.peer, "--host=" + ARGS.host, "--fast", "--quiet", "--time=30", "--unum=2",
             "--ball=1.2,0.5", "--fall-at=12", "--fall=front", "--vision-every=3", "--wait=20",
             "--truth=" + cls.truth], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            with open(cls.log, "w") as out:
                for _ in range(50):   # until the peer listens
                    subprocess.run([ARGS.agent, "--host=" + ARGS.host], stdout=out,
                                           stderr=subprocess.DEVNULL, timeout=120)
                    if os.path.getsize(cls.log) > 0:
                        break
            peer.wait(timeout=60)
        finally:
            if peer.poll() is None:
                peer.kill()
                peer.wait()
        with open(cls.log) as f:
            cls.text = f.read()
        with open(cls.truth) as f:
            cls.rows = [json.loads(l) for l in f if l.strip()]
        cls.png = os.path.join(d, "run.png")
        cls.result = plot(cls.log, "-o", cls.png, "--truth", cls.truth)
        cls.report = figures(cls.result.stdout)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_draws_a_small_png(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(png_size(self.png), (1200, 900))
        self.assertLess(os.path.getsize(self.png), 300_000)

    def test_names_the_robot_from_file_name_and_truth(self):
        self.assertEqual(self.report["robot"], "MERLO-Skyline #2, left side")
        self.assertEqual(self.report["field"], "classic 12 x 8 m")
        self.assertRegex(self.report["time"], r"^0\.00 to 30\.00 s, 30\.00 s, 1500 cycles$")

    def test_time_per_motion_is_what_the_trace_shows(self):
        expected = expected_motions(log_cycles(self.text))
        reported = motion_seconds(self.report["motions"])
        self.assertEqual(set(reported), set(expected))
        for name, seconds in expected.items():
            self.assertAlmostEqual(reported[name], seconds, delta=0.051, msg=name)
        self.assertIn("stand-up (front)", reported)

    def test_one_fall_in_log_and_truth(self):
        upz = [a["upz"] for r in self.rows for a in r["agents"] if a["unum"] == 2]
        drops = sum(1 for a, b in zip(upz, upz[1:]) if a >= 0.4 > b)
        self.assertEqual(drops, 1)
        self.assertEqual(self.report["falls"], "1 (truth 1)")

    def test_path_length_matches_truth(self):
        # The torso's place once a second (its sway within a step is no
        # distance walked), while it stands and the log shows neither a
        # stand-up nor a beam; the two clocks meet in game time.
        getting_up = {round(t, 3) for t, _, trace in log_cycles(self.text, game_time=True)
                      if any(l.startswith("standup") for l in trace)}
        walked = 0.0
        prev = None
        for r in self.rows[::50]:
            me = [a for a in r["agents"] if a["unum"] == 2]
            ok = me and r["t"] > 0 and me[0]["upz"] >= 0.8 and round(r["t"], 3) not in getting_up
            p = me[0]["pos"] if ok else None
            if p and prev:
                walked += math.hypot(p[0] - prev[0], p[1] - prev[1])
            prev = p
        m = re.match(r"^(\d+\.\d+) m \(truth (\d+\.\d+) m\)$", self.report["path"])
        self.assertIsNotNone(m, self.report["path"])
        estimate, truth = float(m.group(1)), float(m.group(2))
        self.assertGreater(walked, 1.0)
        self.assertAlmostEqual(truth, walked, delta=0.1 * walked + 0.1)
        self.assertAlmostEqual(estimate, walked, delta=0.15 * walked + 0.1)

    def test_time_window(self):
        out = os.path.join(self.dir.name, "window.png")
        r = plot(self.log, "-o", out, "--from", "5", "--to", "15")
        self.assertEqual(r.returncode, 0, r.stderr)
        report = figures(r.stdout)
        self.assertEqual(report["time"], "5.00 to 15.02 s, 10.02 s, 501 cycles")
        self.assertAlmostEqual(sum(motion_seconds(report["motions"]).values()), 10.02, delta=0.3)

    def test_truncated_last_cycle_is_left_out(self):
        cut = self.text[: len(self.text) // 2]
        cut = cut[: cut.rindex("(HJ): ") + 9]   # mid-line in the joint list
        path = os.path.join(self.dir.name, "cut.log")
        with open(path, "w") as f:
            f.write(cut)
        r = plot(path, "-o", os.path.join(self.dir.name, "cut.png"))
        self.assertEqual(r.returncode, 0, r.stderr)
        complete = cut.count("(TIME): ") - 1
        self.assertRegex(figures(r.stdout)["time"], r", %d cycles$" % complete)
        self.assertIn("last cycle is left out", r.stdout)


def synthetic_log(path, cycles, gs_tail="", pos=(-3.0, 1.0), mode="PlayOn",
                  trace="walk()  action_state_  == 1"):
    with open(path, "w") as f:
        for i in range(cycles):
            f.write("(TIME): %g\n(POSITION): %g: %g: 0.5\n(ZAXIS): 0: 0: 1\n(BALL): 1.5: 10: -20\n"
                    "(GS): %g: %s: %s\n(HJ): hj1: 0\n%s\n"
                    % (i * CYCLE, pos[0], pos[1] - 0.0001 * i, i * CYCLE, mode, gs_tail,
                       trace(i) if callable(trace) else trace))
        f.write("closed connection to 127.0.0.1:3100\n")


GOALKEEPER = "\n".join(["ball a ----------------------- :0"] * 3 + ["-1", "0.5", "0", "-5.5", "0", "3"])


class Identity(unittest.TestCase):
    def test_number_and_side_from_what_the_log_shows(self):
        cases = [
            ("goalkeeper's lines", (-5.0, 0.3), "PlayOn", GOALKEEPER + "\nhandup()", "#1, ? side"),
            ("kick-off place of 2", (-0.17, -0.036), "BeforeKickOff", "ovarel()", "#2, left side"),
            ("defence place of 2", (-2.45, -0.5), "BeforeKickOff", "ovarel()", "#2, right side"),
            ("goalkeeper's place, either side", (-5.5, 0.0), "BeforeKickOff", "ovarel()", "#1, ? side"),
            ("no place of ours", (1.0, 1.0), "BeforeKickOff", "ovarel()", "#?, ? side"),
            ("walking before kick-off", (-0.17, -0.036), "BeforeKickOff", "walk()", "#?, ? side"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for name, pos, mode, trace, robot in cases:
                with self.subTest(name):
                    log = os.path.join(d, "Alpha-3.log")
                    synthetic_log(log, 30, pos=pos, mode=mode, trace=trace)
                    r = plot(log, "-o", os.path.join(d, "i.png"))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(figures(r.stdout)["robot"], "Alpha " + robot)


class Field(unittest.TestCase):
    def test_field_from_game_state_line_or_positions(self):
        cases = [
            ("classic game state, small field", "", (-3.0, 1.0), "classic 12 x 8 m"),
            ("scored game state", "0: 0: left: ", (-3.0, 1.0), "today's 30 x 20 m"),
            ("classic line, 1.5 m out on the small field", "", (-7.5, 5.5), "classic 12 x 8 m"),
            ("just past that along x", "", (-7.51, 1.0), "today's 30 x 20 m"),
            ("just past that along y", "", (1.0, 5.52), "today's 30 x 20 m"),
        ]
        with tempfile.TemporaryDirectory() as d:
            for name, tail, pos, field in cases:
                with self.subTest(name):
                    log = os.path.join(d, "f.log")
                    synthetic_log(log, 40, tail, pos)
                    r = plot(log, "-o", os.path.join(d, "f.png"))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(figures(r.stdout)["field"], field)
                    self.assertEqual(figures(r.stdout)["robot"], "team ? #?, ? side")


class Runs(unittest.TestCase):
    def test_two_runs_appended_draw_the_last(self):
        with tempfile.TemporaryDirectory() as d:
            first, second, both = (os.path.join(d, n) for n in ("a.log", "b.log", "ab.log"))
            synthetic_log(first, 60)
            synthetic_log(second, 25)
            with open(both, "w") as f:
                f.write(open(first).read() + open(second).read())
            r = plot(both, "-o", os.path.join(d, "ab.png"))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(figures(r.stdout)["time"], "0.00 to 0.50 s, 0.50 s, 25 cycles")
            self.assertIn("holds 2 runs", r.stdout)


class Falls(unittest.TestCase):
    def test_a_stand_up_soon_after_the_last_is_the_same_fall(self):
        # 20 cycles getting up, `walking` cycles up, 20 getting up again.
        cases = [(49, "1"), (50, "2"), (0, "1")]
        with tempfile.TemporaryDirectory() as d:
            for walking, falls in cases:
                with self.subTest(walking=walking):
                    def trace(i):
                        up = i < 20 or 20 + walking <= i < 40 + walking
                        return "standup_back() 1" if up else "walk()  action_state_  == 1"
                    log = os.path.join(d, "falls.log")
                    synthetic_log(log, 60 + walking, trace=trace)
                    r = plot(log, "-o", os.path.join(d, "falls.png"))
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(figures(r.stdout)["falls"], falls)


class BadInput(unittest.TestCase):
    def test_each_gives_one_line_and_status_1(self):
        with tempfile.TemporaryDirectory() as d:
            def write(name, data):
                path = os.path.join(d, name)
                with open(path, "wb") as f:
                    f.write(data)
                return path

            good = os.path.join(d, "good.log")
            synthetic_log(good, 30)
            empty = write("empty.log", b"")
            other = write("peer.log", b"peer: listening on 127.0.0.1:3100\npeer: closing after 10 cycles\n")
            binary = write("bin.log", bytes(range(256)) * 40)
            first_cut = write("cut.log", b"(TIME): 0\n(POSITION): 1: 2: 0.5\n(ZAXIS): 0: 0: 1\n(GS): 0: Pla")
            junk_truth = write("junk.jsonl", b'{"t": 0.0, "pm": "PlayOn"}\n{"t": 1}\n')
            far_truth = write("far.jsonl", b"".join(
                b'{"t":%g,"pm":"PlayOn","ball":[0,0,0.04],"agents":[{"team":"Left","unum":3,'
                b'"pos":[5,3,0.35],"upz":1.0,"yaw":0}]}\n' % (i * CYCLE) for i in range(30)))
            out = os.path.join(d, "out.png")
            cases = [
                ("missing file", [os.path.join(d, "nope.log")], "cannot read"),
                ("a directory", [d], "cannot read"),
                ("empty log", [empty], "is empty"),
                ("log of something else", [other], "not an agent's log"),
                ("binary file", [binary], "not an agent's log"),
                ("only a cut-off first cycle", [first_cut], "no complete cycle"),
                ("window upside down", [good, "--from", "2", "--to", "1"], "is after"),
                ("window after the log", [good, "--from", "100"], "no cycle"),
                ("window not a number", [good, "--from", "nan"], "needs a number"),
                ("missing truth", [good, "--truth", os.path.join(d, "nope.jsonl")], "cannot read"),
                ("truth not JSON lines", [good, "--truth", junk_truth], "not a truth line"),
                ("truth of another robot", [good, "--truth", far_truth], "no robot in"),
            ]
            for name, args, message in cases:
                with self.subTest(name):
                    r = plot(*(args + ["-o", out]))
                    self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
                    self.assertEqual(len(r.stderr.splitlines()), 1, r.stderr)
                    self.assertTrue(r.stderr.startswith("plot-run: "), r.stderr)
                    self.assertIn(message, r.stderr)
                    self.assertFalse(os.path.exists(out))
            r = plot(good, "-o", os.path.join(d, "no", "such", "dir.png"))
            self.assertEqual(r.returncode, 1)
            self.assertRegex(r.stderr, r"^plot-run: cannot write .*\n$")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--agent", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--host", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
