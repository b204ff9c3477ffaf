"""scripts/real-game and scripts/monitor.py without a server: monitor frames
recorded from the real one, the figures on hand-computed cases, bad arguments.

    test_real_game.py --agent BIN --host 127.0.0.x
"""

import argparse
import gzip
import importlib.machinery
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(HERE, "..", "..", "scripts")
DATA = os.path.join(HERE, "..", "data", "monitor")
sys.path.insert(0, SCRIPTS)
import monitor  # noqa: E402
import runlogs  # noqa: E402

# The tool is a script without a .py name: load it as a module by hand.
rg = types.ModuleType("real_game")
rg.__file__ = os.path.join(SCRIPTS, "real-game")
importlib.machinery.SourceFileLoader("real_game", os.path.join(SCRIPTS, "real-game")).exec_module(rg)
ARGS = None


def frames(name):
    with gzip.open(os.path.join(DATA, name + ".gz"), "rt") as f:
        return [line.rstrip("\n") for line in f if line.strip()]


class RecordedFrames(unittest.TestCase):
    """Frames of the real server around trainer moves: the poses read from
    them must be the ones the trainer set (recorded beside them)."""

    def replay(self, name):
        world = monitor.World()
        seen = []
        with open(os.path.join(DATA, name + ".json")) as f:
            marks = json.load(f)
        for payload in frames(name + ".frames"):
            self.assertTrue(world.feed(payload), "a delta that does not fit the scene")
            seen.append(world.truth())
        return world, seen, marks

    def test_poses_match_what_the_trainer_set(self):
        for name in ("classic", "today"):
            with self.subTest(config=name):
                world, seen, marks = self.replay(name)
                self.assertEqual(rg.configuration(world), name)
                self.assertGreater(len(seen), 100)
                for m in marks["placed"]:
                    row = seen[m["frame"]]
                    robot = [a for a in row["agents"] if a["team"] == m["team"] and a["unum"] == m["unum"]]
                    self.assertEqual(len(robot), 1, m)
                    a = robot[0]
                    self.assertAlmostEqual(a["pos"][0], m["x"], delta=0.05, msg=m)
                    self.assertAlmostEqual(a["pos"][1], m["y"], delta=0.05, msg=m)
                    self.assertAlmostEqual(rg.wrap(a["yaw"] - m["yaw"]), 0.0, delta=3.0, msg=m)
                    self.assertGreater(a["upz"], 0.95, m)
                    # its own head, where the camera is: 0.155 m over the torso centre
                    self.assertAlmostEqual(a["head"][2] - a["pos"][2], 0.155, delta=0.01, msg=m)
                    self.assertLess(abs(a["head"][0] - a["pos"][0]) + abs(a["head"][1] - a["pos"][1]), 0.05, m)
                for m in marks["toppled"]:
                    row = seen[m["frame"]]
                    a = [a for a in row["agents"] if a["unum"] == m["unum"]][0]
                    self.assertLess(a["upz"], 0.3, m)
                for m in marks["ball"]:
                    b = seen[m["frame"]]["ball"]
                    self.assertAlmostEqual(b[0], m["x"], delta=0.05, msg=m)
                    self.assertAlmostEqual(b[1], m["y"], delta=0.05, msg=m)

    def test_a_robot_before_its_init_has_no_team_and_number(self):
        for name in ("classic", "today"):
            with self.subTest(config=name):
                _, seen, marks = self.replay(name)
                anonymous = [r for r in seen if any(a["unum"] is None for a in r["agents"])]
                self.assertTrue(anonymous, "the recording holds a robot before its init")
                # plot-run's reader skips such a robot instead of rejecting the file
                with tempfile.NamedTemporaryFile("w", suffix=".jsonl", delete=False) as f:
                    f.write(json.dumps(anonymous[0]) + "\n")
                try:
                    rows = runlogs.read_truth(f.name)
                finally:
                    os.unlink(f.name)
                self.assertTrue(all(a[1] is not None for a in rows[0][3]))

    def test_a_delta_that_does_not_fit_asks_for_a_full_frame(self):
        payloads = frames("classic.frames")
        world = monitor.World()
        self.assertTrue(world.feed(payloads[0]))
        delta = next(p for p in payloads[1:] if "(RDS" in p)
        cut = delta.replace("(nd)", "", 1)
        self.assertNotEqual(cut, delta)
        self.assertFalse(world.feed(cut))
        self.assertFalse(world.feed(delta), "no delta applies until a full frame came")


class Wire(unittest.TestCase):
    def test_frames_cut_anywhere_come_out_whole(self):
        payloads = ["(time 0)", "", "((time 1.5))(RDS 0 1)((nd))"]
        data = b"".join(monitor.frame(p) for p in payloads)
        for cut in range(len(data) + 1):
            with self.subTest(cut=cut):
                d = monitor.Deframer()
                self.assertEqual(d.feed(data[:cut]) + d.feed(data[cut:]), payloads)

    def test_trainer_commands_as_the_server_reads_them(self):
        cases = [
            (monitor.kick_off("Left"), "(kickOff Left)"),
            (monitor.play_mode("PlayOn"), "(playMode PlayOn)"),
            (monitor.ball_to(-12.5, 0.0), "(ball (pos -12.5 0 0.042))"),
            (monitor.ball_velocity(-6.0, 1.25), "(ball (vel -6 1.25 0))"),
            # the server's turn is the body frame's: facing +x is -90
            (monitor.move_robot("Left", 2, 1.0, -1.5, 0.3835, 0.0),
             "(agent (unum 2)(team Left)(move 1 -1.5 0.3835 -90))"),
            (monitor.turn_robot("Right", 1, 3.0, 0.0, 0.2, -90.0, 0.0, 0.0),
             "(agent (unum 1)(team Right)(pos 3 0 0.2)(rot -90 0 0))"),
        ]
        for got, want in cases:
            with self.subTest(want=want):
                self.assertEqual(got, want)
        self.assertEqual(monitor.frame("(playMode PlayOn)"), b"\x00\x00\x00\x11(playMode PlayOn)")


def track(*samples):
    """(t, upz) pairs as a robot's track standing at the origin in play."""
    return [(t, [0.0, 0.0, 0.3], upz, 0.0, "PlayOn") for t, upz in samples]


def series(t0, t1, value, dt=0.1):
    n = int(round((t1 - t0) / dt))
    return [(round(t0 + i * dt, 3), value(t0 + i * dt)) for i in range(n)]


def row(t, ball, pm="PlayOn", score=(0, 0), agents=()):
    return {"t": t, "pm": pm, "ball": list(ball), "score": list(score), "agents": list(agents)}


class Figures(unittest.TestCase):
    def test_falls_and_getting_up(self):
        cases = [
            ("standing", series(0, 5, lambda t: 1.0), []),
            ("a dip between the thresholds", series(0, 5, lambda t: 0.6 if 1 < t < 2 else 1.0), []),
            ("down at 1, up from 3", series(0, 5, lambda t: 0.1 if 1 <= t < 3 else 1.0), [(1.0, 2.0)]),
            ("never up again", series(0, 5, lambda t: 0.1 if t >= 1 else 1.0), [(1.0, None)]),
            ("up too briefly, then up at 4", series(0, 6, lambda t: 0.9 if 2 <= t < 2.3 or t >= 4 else
                                                      0.1 if t >= 1 else 1.0), [(1.0, 3.0)]),
        ]
        for name, samples, want in cases:
            with self.subTest(name):
                got = rg.falls(track(*samples))
                self.assertEqual(len(got), len(want))
                for (t, d), (wt, wd) in zip(got, want):
                    self.assertAlmostEqual(t, wt, places=6)
                    if wd is None:
                        self.assertIsNone(d)
                    else:
                        self.assertAlmostEqual(d, wd, places=6)

    def test_ball_progress_and_goals(self):
        rows = [row(0.0, (0.0, 0.0), pm="BeforeKickOff"), row(0.0, (0.5, 0.0), pm="BeforeKickOff")]
        rows += [row(0.02 * i, (0.01 * i, 0.0)) for i in range(1, 101)]           # +0.99 m
        rows += [row(2.1, (-3.0, 1.0))]                                            # the trainer's move
        rows += [row(2.1 + 0.02 * i, (-3.0 + 0.01 * i, 1.0)) for i in range(1, 51)]  # +0.5 m
        rows += [row(3.2, (-2.5, 1.0), pm="Goal_Left", score=(1, 0))]
        for side, want in (("Left", 1.49), ("Right", -1.49)):
            with self.subTest(side):
                progress, pieces = rg.ball_progress(rows, side)
                self.assertAlmostEqual(progress, want, places=6)
                self.assertEqual(pieces, 2)
        self.assertEqual(rg.goals(rows, "Left"), [3.2])
        self.assertEqual(rg.goals(rows, "Right"), [])
        self.assertEqual(rg.goals(rows, "Left", start=4.0), [])
        self.assertAlmostEqual(rg.play_seconds(rows), 3.2 - 0.02, places=6)

    def cycle(self, t, pos, motion, fresh=True):
        c = runlogs.Cycle(t)
        c.gs_time, c.pos, c.motion, c.fresh_pos, c.mode = t, pos, motion, fresh, "PlayOn"
        return c

    def test_walk_speed_and_turn_rate(self):
        cycles, tr = [], []
        for i in range(251):                       # 3 s walking at 0.25 m/s, then 2 s turning at 10 deg/s
            t = round(0.02 * i, 2)
            walking = t < 3.0
            x = 0.25 * min(t, 3.0)
            yaw = 0.0 if walking else 10.0 * (t - 3.0)
            cycles.append(self.cycle(t, (x, 0.0, 0.5), "walk" if walking else "turn"))
            tr.append((t, [x, 0.0, 0.35], 1.0, yaw, "PlayOn"))
        walk = rg.motion_rates(cycles, tr, ("walk",))
        turn = rg.motion_rates(cycles, tr, ("turn",))
        self.assertAlmostEqual(walk["speed"], 0.25, delta=0.01)
        self.assertAlmostEqual(turn["turn_rate"], 10.0, delta=0.5)
        self.assertAlmostEqual(turn["speed"], 0.0, places=6)
        self.assertEqual((walk["pieces"], turn["pieces"]), (1, 1))
        self.assertIsNone(rg.motion_rates(cycles[:40], tr, ("walk",)), "under a second is no figure")

    def test_ball_out_of_view(self):
        # Seen every third cycle but in the gaps; a fall ends a gap uncounted.
        for gaps, fall_at, want in ((((1.0, 1.05),), None, (0, 0, None)),      # the camera's own rhythm
                                    (((1.0, 4.5),), None, (1, 0, 3.5)),
                                    (((1.0, 2.0), (3.0, 4.5)), None, (2, 2, 1.56)),
                                    (((1.0, 3.0),), 2.0, (0, 0, None)),
                                    (((1.0, 9.0),), None, (1, 0, 4.0))):      # still out at the end
            with self.subTest(gaps=gaps, fall_at=fall_at):
                cycles, tr = [], []
                for i in range(251):
                    t = round(0.02 * i, 2)
                    c = self.cycle(t, (0.0, 0.0, 0.5), "gait walk")
                    c.fresh_ball = i % 3 == 0 and not any(a < t < b for a, b in gaps)
                    cycles.append(c)
                    tr.append((t, [0.0, 0.0, 0.35], 0.2 if fall_at == t else 1.0, 0.0, "PlayOn"))
                v = rg.ball_out_of_view(cycles, tr)
                self.assertEqual((v["left_view"], v["back_within_3s"]), want[:2])
                self.assertAlmostEqual(v["longest"] or 0.0, want[2] or 0.0, delta=0.07)

    def test_pace_of_play(self):
        for clock, want in ((((100.0, 5.0), (110.0, 7.5)), 0.25), (((100.0, 5.0), (100.5, 5.5)), None),
                            (None, None)):
            with self.subTest(clock=clock):
                self.assertEqual(rg.pace(clock), want)

    def test_localisation_takes_the_camera_and_the_side(self):
        for side, flip in (("Left", 1.0), ("Right", -1.0)):
            with self.subTest(side):
                tr = [(1.0, [1.0, 2.0, 0.35], 1.0, 90.0, "PlayOn"),      # camera at (1, 2.045)
                      (1.02, [1.0, 2.0, 0.35], 1.0, 90.0, "PlayOn"),
                      (1.04, [1.0, 2.0, 0.1], 0.2, 90.0, "PlayOn")]      # lying: left out
                cycles = [self.cycle(1.0, (flip * 1.0, flip * 2.065, 0.5), "walk"),
                          self.cycle(1.02, (flip * 1.03, flip * 2.045, 0.5), "walk", fresh=False),
                          self.cycle(1.04, (flip * 9.0, flip * 9.0, 0.5), "walk")]
                seen, unseen = rg.localisation(cycles, tr, side)
                self.assertEqual(len(seen), 1)
                self.assertEqual(len(unseen), 1)
                self.assertAlmostEqual(seen[0], 0.02, places=6)
                self.assertAlmostEqual(unseen[0], 0.03, places=6)
                # where the truth has the head, the camera is its centre
                heads = [(t, [1.0, 2.065, 0.5], 1.0, 0.0, "PlayOn") for t in (1.0, 1.02)]
                seen, _ = rg.localisation(cycles, tr, side, heads)
                self.assertAlmostEqual(seen[0], 0.0, places=6)

    def test_truth_between_two_frames_is_interpolated(self):
        # today's monitor shows a frame every 40 ms, the agent hears every 20 ms
        tr = [(1.0, [0.0, 0.0, 0.35], 1.0, 0.0, "PlayOn"), (1.04, [0.04, 0.0, 0.35], 1.0, 10.0, "PlayOn"),
              (1.3, [0.3, 0.0, 0.35], 1.0, 10.0, "PlayOn")]
        at = rg.TrackAt(tr)
        pos, upz, yaw, pm = at(1.02)
        self.assertAlmostEqual(pos[0], 0.02, places=9)
        self.assertAlmostEqual(yaw, 5.0, places=9)
        self.assertIsNone(at(1.2), "no guess across a gap of frames")
        self.assertIsNone(at(0.5))

    def test_a_spot_off_the_field(self):
        for spot, field, off in (((7.0, 0.0), (6.0, 4.0), True), ((7.0, 0.0), (15.0, 10.0), False),
                                 ((0.0, -4.5), (6.0, 4.0), True), ((6.0, 4.0), (6.0, 4.0), False)):
            with self.subTest(spot=spot, field=field):
                if off:
                    self.assertRaises(rg.BadArguments, rg.check_spot, spot, field)
                else:
                    rg.check_spot(spot, field)

    def test_keeper_saves_and_open_goal(self):
        field = (6.0, 4.0, 0.7)
        gk = {"team": "Left", "unum": 1, "upz": 1.0, "yaw": 0.0}

        def at(t, ball, keeper=(-5.5, 0.0)):
            return row(t, ball, agents=[dict(gk, pos=[keeper[0], keeper[1], 0.35])])
        rows = [at(0.0, (-3.0, 0.0)), at(0.5, (-5.4, 0.1)), at(1.0, (-4.5, 1.0)),     # met: saved
                at(2.0, (-3.0, 1.2)), at(2.5, (-6.2, 0.3), keeper=(-5.5, -0.5)),    # in: a goal
                at(4.0, (-6.2, 0.3)), at(4.04, (-6.2, 0.3)),    # the last goal's ball, not yet moved
                at(4.08, (-3.0, -1.2)), at(4.5, (-4.0, -2.0))]                       # short, wide
        shots = [{"t": 0.0, "end": 1.5, "from": (-3.0, 0.0)}, {"t": 2.0, "end": 3.0, "from": (-3.0, 1.2)},
                 {"t": 4.0, "end": 5.0, "from": (-3.0, -1.2)}]
        k = rg.keeper_figures(shots, rows, "Left", 1, field)
        self.assertEqual((k["would_go_in"], k["saved"], k["goals"], k["short_or_wide"]), (2, 1, 1, 1))
        self.assertAlmostEqual(k["save_share"], 0.5)
        away = [(0.1 * i, [-5.5 if not 10 <= i < 40 else -3.0, 0.0, 0.35], 1.0, 0.0, "PlayOn")
                for i in range(60)]
        self.assertAlmostEqual(rg.goal_open(away, "Left", field), 2.9, places=6)
        self.assertAlmostEqual(rg.goal_open([(t, [-p[0], 0, 0.35], u, y, m) for t, p, u, y, m in away],
                                            "Right", field), 2.9, places=6)


def listener(host, port, send_nothing=True):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((host, port))
    s.listen(4)
    held = []

    def serve():
        while True:
            try:
                c, _ = s.accept()
            except OSError:
                return
            held.append(c)
    threading.Thread(target=serve, daemon=True).start()
    return s, held


class Arguments(unittest.TestCase):
    def tool(self, *args, host=None):
        cmd = [os.path.join(SCRIPTS, "real-game")] + list(args)
        cmd += ["--binary=%s" % ARGS.agent, "--host=%s" % (host or ARGS.host)]
        with tempfile.TemporaryDirectory() as d:
            p = subprocess.run(cmd + ["--out=%s" % d], capture_output=True, text=True, timeout=60)
        return p

    def test_bad_arguments_are_one_line_and_status_2(self):
        for args in (["nosuch"], ["getup", "up"], ["getup"], ["dribble", "16", "0"], ["dribble", "x", "1"],
                     ["dribble", "1"], ["kickoff", "--repeat", "0"], ["kickoff", "--seconds", "nan"],
                     ["kickoff", "--players", "12"], ["walk", "--players", "1"], ["kickoff", "--what"]):
            with self.subTest(args=args):
                p = self.tool(*args)
                self.assertEqual(p.returncode, 2, p.stderr)
                self.assertEqual(len(p.stderr.strip().splitlines()), 1, p.stderr)
                self.assertEqual(p.stdout, "")

    def test_no_server_and_a_silent_monitor_say_which(self):
        base = ARGS.host.rsplit(".", 1)
        silent = "%s.%d" % (base[0], int(base[1]) + 1)
        agents, _ = listener(silent, 3100)
        mon, _ = listener(silent, 3200)
        try:
            for host, words in ((ARGS.host, "no server at"), (silent, "monitor port")):
                with self.subTest(host=host):
                    p = self.tool("kickoff", host=host)
                    self.assertEqual(p.returncode, 1, p.stderr)
                    lines = p.stderr.strip().splitlines()
                    self.assertEqual(len(lines), 1, p.stderr)
                    self.assertIn(words, lines[0])
        finally:
            agents.close()
            mon.close()


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--agent", required=True)
    parser.add_argument("--host", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == "__main__":
    main()
