"""Readers shared by the tools that look at a run: an agent's standard-output
log (its status dump and trace lines, cycle by cycle) and the true world, one
JSON line per cycle, as the practice peer and scripts/real-game write it.

The true world's line:
    {"t": T, "pm": MODE, "ball": [x, y, z],
     "agents": [{"team": "Left", "unum": 1, "pos": [x, y, z], "upz": U, "yaw": A}, ...]}
in the left team's frame. A robot the server has created but that has not
joined a team yet has "team" and "unum" null: it is skipped.
"""

import json
import math
import os

class Failure(Exception):
    """A bad input: reported in one line, exit status 1."""


# ---------------------------------------------------------------- the log

# Trace lines that start a motion, first match wins; the label is what the
# timeline and the figures call it.
MOTION_LINES = (
    ("walk()", "walk"),
    ("gait() walk", "gait walk"),
    ("gait() turn", "gait turn"),
    ("turn()", "turn"),
    ("sidestep()", "sidestep"),
    ("back_walk()", "back walk"),
    ("handup()", "hand-up"),
    ("standup_back()", "stand-up (back)"),
    ("standup_forward()", "stand-up (front)"),
    ("kick_right()", "kick"),
    ("kick_left()", "kick"),
    ("ballwalk()", "ball walk"),
    ("tune_walk()", "tuned walk"),
    ("ovarel()", "rest"),
)
STANDUPS = ("stand-up (back)", "stand-up (front)")
PLACEMENT = "placement"
# Play modes in which the agent beams itself to its place (for one side or both).
PLACEMENT_MODES = ("BeforeKickOff", "Goal_Left", "Goal_Right", "KickOff_Left", "KickOff_Right")
# A stand-up that starts again this soon after the last one ended is the same
# fall: the agent thought itself up for a moment, the robot never was.
SAME_FALL_GAP = 1.0

TURN_DIRECTION = " direction ---------------- "
GK_LINE = "ball a ----------------------- :"


class Cycle:
    __slots__ = ("time", "pos_text", "pos", "ball_text", "ball", "zaxis", "gs_time", "mode",
                 "gs_extra", "motion", "direction", "gk_ball", "fresh_pos", "fresh_ball",
                 "heading", "ball_xy", "dt")

    def __init__(self, time):
        self.time = time
        self.pos_text = None
        self.pos = None
        self.ball_text = None
        self.ball = None
        self.zaxis = None
        self.gs_time = None
        self.mode = ""          # the play mode; empty where the agent read none
        self.gs_extra = 0
        self.motion = None
        self.direction = None   # the agent's own heading, when the log prints it
        self.gk_ball = None     # the goalkeeper prints its ball estimate
        self.fresh_pos = False
        self.fresh_ball = False
        self.heading = None
        self.ball_xy = None
        self.dt = 0.0


def number(text):
    """A finite float, or None."""
    try:
        v = float(text)
    except ValueError:
        return None
    return v if math.isfinite(v) else None


def triple(text):
    parts = text.split(": ")
    if len(parts) != 3:
        return None
    values = [number(p) for p in parts]
    return None if None in values else tuple(values)


class Log:
    def __init__(self):
        self.cycles = []
        self.closed = False
        self.goalkeeper = False
        self.dropped_last = False
        self.runs = 1


def read_log(path):
    try:
        size = os.path.getsize(path)
        f = open(path, "r", encoding="utf-8", errors="replace")
    except OSError as e:
        raise Failure("cannot read %s: %s" % (path, e.strerror or e))
    if size == 0:
        f.close()
        raise Failure("%s is empty" % path)

    log = Log()
    cycles = log.cycles
    cur = None
    gk_count = 0      # lines of the goalkeeper's block seen in a row
    gk_left = 0       # bare numbers still to come in it
    gk_numbers = []
    with f:
        for line in f:
            line = line.rstrip("\r\n")
            if line[:1] == "(":
                if line.startswith("(HJ)") or line.startswith("(FRP)") or line.startswith("(GYR)"):
                    continue
                if line.startswith("(TIME): "):
                    t = number(line[8:])
                    cur = Cycle(t) if t is not None else None
                    if cur is not None:
                        cycles.append(cur)
                    gk_left = 0
                    log.closed = False
                elif cur is None:
                    continue
                elif line.startswith("(POSITION): "):
                    cur.pos_text = line
                    cur.pos = triple(line[12:])
                elif line.startswith("(BALL): "):
                    cur.ball_text = line
                    cur.ball = triple(line[8:])
                elif line.startswith("(ZAXIS): "):
                    cur.zaxis = triple(line[9:])
                elif line.startswith("(GS): "):
                    parts = line[6:].split(": ")
                    cur.gs_time = number(parts[0])
                    if len(parts) > 1 and parts[1]:
                        cur.mode = parts[1]
                    cur.gs_extra = len([p for p in parts[2:] if p.strip()])
                elif line.startswith("(DIRECTION): "):
                    cur.direction = number(line[13:])
                continue
            if cur is None:
                continue
            if gk_left:
                v = number(line)
                if v is None:
                    gk_left = 0
                else:
                    gk_numbers.append(v)
                    gk_left -= 1
                    if gk_left == 0:
                        # ball x, y, z, own x, y, heading
                        cur.gk_ball = (gk_numbers[0], gk_numbers[1])
                        cur.direction = gk_numbers[5]
                    continue
            if line.startswith(GK_LINE):
                log.goalkeeper = True
                gk_count += 1
                # The third of its three lines is followed by six numbers.
                if gk_count == 3:
                    gk_count = 0
                    gk_left = 6
                    gk_numbers = []
                continue
            gk_count = 0
            if line.startswith(TURN_DIRECTION):
                cur.direction = number(line[len(TURN_DIRECTION):])
                continue
            if line.startswith("closed connection to "):
                log.closed = True
                cur = None
                continue
            for prefix, label in MOTION_LINES:
                if line.startswith(prefix):
                    cur.motion = label
                    break

    # A cycle is complete once the next one (or the closing line) follows it:
    # the last one of a log that was cut off may lack its trace lines.
    if cycles and not log.closed:
        cycles.pop()
        log.dropped_last = True
    cycles = [c for c in cycles if c.pos is not None]
    # Logs appended to one another: the clock starts again. The last run is drawn.
    starts = [i for i in range(1, len(cycles)) if cycles[i].time < cycles[i - 1].time - 0.5]
    log.runs = len(starts) + 1
    log.cycles = cycles[starts[-1]:] if starts else cycles
    if not log.cycles:
        if cycles or log.dropped_last:
            raise Failure("%s holds no complete cycle" % path)
        raise Failure("%s is not an agent's log (no status dump in it)" % path)
    return log


def mark_fresh(cycles):
    """Without vision a cycle repeats an older estimate (the previous cycle's,
    or the one of ten cycles back that the status slot last held): only a
    changed line is news."""
    for i, c in enumerate(cycles):
        back = [cycles[i - k] for k in (1, 10) if i - k >= 0]
        c.fresh_pos = all(b.pos_text != c.pos_text for b in back)
        c.fresh_ball = (c.ball is not None and c.ball[0] > 0.0
                        and all(b.ball_text != c.ball_text for b in back))


def set_durations(cycles):
    steps = sorted(b.time - a.time for a, b in zip(cycles, cycles[1:]) if b.time > a.time)
    typical = steps[len(steps) // 2] if steps else 0.02
    for a, b in zip(cycles, cycles[1:]):
        d = b.time - a.time
        a.dt = d if 0.0 < d <= 5 * typical else typical
    if cycles:
        cycles[-1].dt = typical


def activity(c):
    """What the robot did in the cycle, as the timeline shows it."""
    if c.mode in PLACEMENT_MODES and c.motion in (None, "rest"):
        return PLACEMENT
    return c.motion or "none"



def upright(c):
    return c.zaxis is None or c.zaxis[2] > 0.8


class Field:
    def __init__(self, name, half_length, half_width, goal_half_width, goal_depth, circle):
        self.name = name
        self.half_length = half_length
        self.half_width = half_width
        self.goal_half_width = goal_half_width
        self.goal_depth = goal_depth
        self.circle = circle


CLASSIC = Field("classic 12 x 8 m", 6.0, 4.0, 0.7, 0.4, 1.0)
TODAY = Field("today's 30 x 20 m", 15.0, 10.0, 1.05, 0.6, 2.0)



def read_truth_lines(path):
    """The truth file's lines as dicts, checked: numbers finite, robots that
    have not joined a team yet left out. A last line cut off while it was
    written is dropped."""
    try:
        f = open(path, "r", encoding="utf-8", errors="replace")
    except OSError as e:
        raise Failure("cannot read %s: %s" % (path, e.strerror or e))
    with f:
        try:
            lines = [(n, l) for n, l in enumerate(f.read().splitlines(), 1) if l.strip()]
        except OSError as e:
            raise Failure("cannot read %s: %s" % (path, e.strerror or e))
    if not lines:
        raise Failure("%s is empty" % path)
    out = []
    for i, (line_number, line) in enumerate(lines):
        try:
            d = json.loads(line)
            d["t"] = float(d["t"])
            d["ball"] = [float(v) for v in d["ball"][:3]]
            if len(d["ball"]) < 2:
                raise ValueError("no ball")
            agents = []
            for a in d["agents"]:
                if a.get("team") is None or a.get("unum") is None:
                    continue
                agents.append({"team": str(a["team"]), "unum": int(a["unum"]),
                               "pos": [float(v) for v in a["pos"][:3]],
                               "upz": float(a["upz"]), "yaw": float(a["yaw"])})
                if len(agents[-1]["pos"]) < 2:
                    raise ValueError("no position")
            d["agents"] = agents
            values = [d["t"]] + d["ball"] + [v for a in agents
                                             for v in a["pos"] + [a["upz"], a["yaw"]]]
            if not all(math.isfinite(v) for v in values):
                raise ValueError("not a number")
        except (ValueError, KeyError, TypeError, IndexError, AttributeError):
            if i == len(lines) - 1 and out:
                break  # cut off while it was written
            raise Failure("%s:%d: not a truth line (JSON with t, pm, ball, agents)" % (path, line_number))
        out.append(d)
    return out


def read_truth(path):
    """(t, play mode, ball x y, [(team, unum, x, y, upz, yaw)]) per line."""
    rows = []
    for d in read_truth_lines(path):
        agents = [(a["team"], a["unum"], a["pos"][0], a["pos"][1], a["upz"], a["yaw"])
                  for a in d["agents"]]
        rows.append((d["t"], d.get("pm"), d["ball"][:2], agents))
    return rows


def motion_times(cycles):
    totals = {}
    for c in cycles:
        a = activity(c)
        totals[a] = totals.get(a, 0.0) + c.dt
    return totals


def fall_times(cycles):
    starts = []
    last_end = None
    prev_up = False
    for c in cycles:
        up = c.motion in STANDUPS
        if up and not prev_up and (last_end is None or c.time - last_end >= SAME_FALL_GAP - 1e-6):
            starts.append(c.time)
        if up:
            last_end = c.time + c.dt
        prev_up = up
    return starts


def truth_falls(truth):
    """A fall is the torso going below 0.4 upright after it stood (0.8)."""
    starts = []
    standing = True
    for t, upz in zip(truth.times, truth.upz):
        if standing and upz < 0.4:
            starts.append(t)
            standing = False
        elif not standing and upz > 0.8:
            standing = True
    return starts


