"""The simulator's monitor port: its framing, the scene graph it streams (a full
scene, then deltas), the true world read from it (ball, robots, play mode,
time, score) and the trainer's commands.

Frames both ways are a 4-byte big-endian length and an ASCII s-expression.
A server frame is (PREDICATES)(RSG 0 1)(SCENE) in full or (PREDICATES)(RDS 0 1)(SCENE)
as a delta: the same tree in the same order, carrying (SLT ...) only for the
transforms that moved. SLT is the node's local 4 x 4 matrix, column-major.
"""

import math
import re
import socket
import struct

from runlogs import number


class MonitorError(Exception):
    """The monitor stream says something this reader cannot follow."""


# ---------------------------------------------------------------- framing

def frame(payload):
    data = payload.encode("ascii")
    return struct.pack(">I", len(data)) + data


class Deframer:
    """Cuts a byte stream into payloads."""

    def __init__(self):
        self.buf = bytearray()

    def feed(self, data):
        self.buf += data
        out = []
        while len(self.buf) >= 4:
            (n,) = struct.unpack(">I", self.buf[:4])
            if len(self.buf) < 4 + n:
                break
            out.append(bytes(self.buf[4:4 + n]).decode("ascii", "replace"))
            del self.buf[:4 + n]
        return out


class Connection:
    """A monitor client. read() returns the frames that have arrived (waiting up
    to `timeout` for the first), or None once the server has closed."""

    def __init__(self, host, port, timeout=3.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.deframer = Deframer()
        self.pending = []

    def send(self, *commands):
        if commands:
            self.sock.sendall(frame("".join(commands)))

    def read(self, timeout):
        if self.pending:
            out, self.pending = self.pending, []
            return out
        self.sock.settimeout(timeout)
        try:
            data = self.sock.recv(1 << 20)
        except socket.timeout:
            return []
        if not data:
            return None
        self.sock.setblocking(False)
        try:
            while True:
                more = self.sock.recv(1 << 20)
                if not more:
                    break
                data += more
        except (BlockingIOError, socket.timeout):
            pass
        return self.deframer.feed(data)

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


# ---------------------------------------------------------------- s-expressions

_TOKEN = re.compile(r"\(|\)|[^\s()]+")


def parse_sexps(text):
    """The top-level expressions of a text as nested lists of strings."""
    stack = [[]]
    for tok in _TOKEN.findall(text):
        if tok == "(":
            stack.append([])
        elif tok == ")":
            if len(stack) == 1:
                raise MonitorError("unbalanced ')'")
            done = stack.pop()
            stack[-1].append(done)
        else:
            stack[-1].append(tok)
    if len(stack) != 1:
        raise MonitorError("unbalanced '('")
    return stack[0]


def split_top(text):
    """The text of each top-level expression (predicates, header, scene)."""
    parts = []
    depth = 0
    start = None
    for m in re.finditer(r"[()]", text):
        if m.group() == "(":
            if depth == 0:
                start = m.start()
            depth += 1
        else:
            depth -= 1
            if depth == 0 and start is not None:
                parts.append(text[start:m.end()])
            if depth < 0:
                raise MonitorError("unbalanced ')'")
    return parts


# ---------------------------------------------------------------- matrices

IDENTITY = (1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0)


def mat_mul(a, b):
    """a * b for column-major 4 x 4 matrices."""
    out = [0.0] * 16
    for c in range(4):
        b0, b1, b2, b3 = b[4 * c], b[4 * c + 1], b[4 * c + 2], b[4 * c + 3]
        for r in range(4):
            out[4 * c + r] = a[r] * b0 + a[4 + r] * b1 + a[8 + r] * b2 + a[12 + r] * b3
    return out


def floats16(text_or_list):
    vals = text_or_list.split() if isinstance(text_or_list, str) else text_or_list
    if len(vals) != 16:
        raise MonitorError("an SLT of %d values" % len(vals))
    try:
        out = [float(v) for v in vals]
    except ValueError:
        raise MonitorError("an SLT that is not numbers")
    if not all(math.isfinite(v) for v in out):
        raise MonitorError("an SLT that is not finite")
    return out


# ---------------------------------------------------------------- the scene

class Node:
    __slots__ = ("parent", "kind", "slt", "mesh", "materials")

    def __init__(self, parent, kind):
        self.parent = parent
        self.kind = kind
        self.slt = None
        self.mesh = None
        self.materials = []


BALL_MESH = "models/soccerball.obj"
# models/naobody.obj, or models/naobodyK.obj for a robot of type K
BODY_MESH = "models/naobody"
HEAD_MESH = "models/naohead"
_DELTA_NODE = re.compile(r"\(nd\b[^()]*(?:\(SLT ([^)]*)\))?")


class Robot:
    __slots__ = ("torso", "head", "team", "unum", "type")

    def __init__(self, torso, team, unum, type_):
        self.torso = torso
        self.head = None    # the head's transform: the camera sits at its centre
        self.team = team    # "Left", "Right" or None before its init
        self.unum = unum    # None before its init
        self.type = type_   # the robot type (0 the standard robot), where the scene says


class Scene:
    """The scene graph of the latest full frame, kept up to date by deltas."""

    def __init__(self):
        self.nodes = []
        self.ball = None
        self.robots = []

    def load_full(self, scene_text):
        self.nodes = []
        for item in parse_sexps(scene_text):
            self._walk(item, None)
        self._find_objects()

    def _walk(self, expr, parent):
        if isinstance(expr, list) and expr and expr[0] == "nd":
            kind = expr[1] if len(expr) > 1 and isinstance(expr[1], str) else ""
            node = Node(parent, kind)
            index = len(self.nodes)
            self.nodes.append(node)
            for sub in expr[1:]:
                if not isinstance(sub, list) or not sub:
                    continue
                head = sub[0]
                if head == "nd":
                    self._walk(sub, index)
                elif head == "SLT":
                    node.slt = floats16(sub[1:])
                elif head == "load" and len(sub) > 1:
                    node.mesh = sub[1]
                elif head in ("sMat", "resetMaterials"):
                    node.materials = [m for m in sub[1:] if isinstance(m, str)]
        elif isinstance(expr, list):
            for sub in expr:
                self._walk(sub, parent)

    def _transforms_above(self, index):
        out = []
        p = self.nodes[index].parent
        while p is not None:
            if self.nodes[p].slt is not None or self.nodes[p].kind == "TRF":
                out.append(p)
            p = self.nodes[p].parent
        return out

    def _find_objects(self):
        self.ball = None
        self.robots = []
        for i, n in enumerate(self.nodes):
            if n.mesh == BALL_MESH:
                above = self._transforms_above(i)
                if above:
                    self.ball = above[0]
            elif n.mesh is not None and n.mesh.startswith(BODY_MESH):
                above = self._transforms_above(i)
                if len(above) < 2:
                    continue
                team = unum = type_ = None
                for m in n.materials:
                    if m == "matLeft":
                        team = "Left"
                    elif m == "matRight":
                        team = "Right"
                    elif m.startswith("matNum") and m[6:].isdigit():
                        unum = int(m[6:])
                    elif m.startswith("matType") and m[7:].isdigit():
                        type_ = int(m[7:])
                if team is None or unum is None:
                    team = unum = None
                self.robots.append(Robot(above[1], team, unum, type_))
        self._find_heads()

    def _ancestors(self, index):
        out = []
        p = self.nodes[index].parent
        while p is not None:
            out.append(p)
            p = self.nodes[p].parent
        return out

    def _find_heads(self):
        """Each head goes with the robot whose torso shares an ancestor with
        it that no other robot's torso has."""
        owner = {}
        for k, r in enumerate(self.robots):
            for a in self._ancestors(r.torso):
                owner[a] = k if a not in owner else -1
        for i, n in enumerate(self.nodes):
            if n.mesh is None or not n.mesh.startswith(HEAD_MESH):
                continue
            above = self._transforms_above(i)
            if not above:
                continue
            for a in self._ancestors(i):
                k = owner.get(a)
                if k is not None and k >= 0:
                    self.robots[k].head = above[0]
                    break

    def apply_delta(self, scene_text):
        """False when the delta does not fit the tree: a full frame is needed."""
        found = _DELTA_NODE.findall(scene_text)
        if len(found) != len(self.nodes):
            return False
        for node, slt in zip(self.nodes, found):
            if slt:
                node.slt = floats16(slt)
        return True

    def world(self, index):
        chain = []
        i = index
        while i is not None:
            n = self.nodes[i]
            if n.slt is not None:
                chain.append(n.slt)
            i = n.parent
        m = IDENTITY
        for local in reversed(chain):
            m = mat_mul(m, local)
        return m


def pose_of(m):
    """Position, upright share (z of the up axis) and heading of a torso."""
    yaw = math.degrees(math.atan2(m[5], m[4]))
    return [m[12], m[13], m[14]], m[10], yaw


# ---------------------------------------------------------------- the world

class World:
    """What the monitor stream has said so far."""

    def __init__(self):
        self.scene = Scene()
        self.constants = {}
        self.play_modes = []
        self.time = 0.0
        self.play_mode = None
        self.score = [0, 0]
        self.teams = [None, None]
        self.frames = 0
        self.have_scene = False

    @property
    def field(self):
        """(half length, half width, goal half width), once the full frame said it."""
        try:
            return (float(self.constants["FieldLength"]) / 2.0,
                    float(self.constants["FieldWidth"]) / 2.0,
                    float(self.constants["GoalWidth"]) / 2.0)
        except (KeyError, ValueError):
            return None

    def _predicates(self, expr):
        for p in expr:
            if not isinstance(p, list) or not p or not isinstance(p[0], str):
                continue
            name, args = p[0], p[1:]
            if name == "play_modes":
                self.play_modes = [a for a in args if isinstance(a, str)]
            elif not args or not isinstance(args[0], str):
                continue
            elif name == "time":
                self.time = _number(args[0], self.time)
            elif name == "play_mode":
                i = int(_number(args[0], -1))
                if 0 <= i < len(self.play_modes):
                    self.play_mode = self.play_modes[i]
            elif name == "score_left":
                self.score[0] = int(_number(args[0], self.score[0]))
            elif name == "score_right":
                self.score[1] = int(_number(args[0], self.score[1]))
            elif name == "team_left":
                self.teams[0] = args[0]
            elif name == "team_right":
                self.teams[1] = args[0]
            else:
                self.constants[name] = args[0]

    def feed(self, payload):
        """Takes one server frame. Returns False when a full frame must be asked for."""
        parts = split_top(payload)
        if len(parts) < 3:
            raise MonitorError("a frame without predicates, header and scene")
        self._predicates(parse_sexps(parts[0])[0])
        header = parse_sexps(parts[1])[0]
        kind = header[0] if header and isinstance(header[0], str) else ""
        self.frames += 1
        if kind == "RSG":
            self.scene.load_full(parts[2])
            self.have_scene = True
            return True
        if kind == "RDS":
            if not self.have_scene:
                return False
            if not self.scene.apply_delta(parts[2]):
                self.have_scene = False
                return False
            return True
        raise MonitorError("a frame of kind %r" % kind)

    def robots(self):
        """[(team, unum, pos, upz, yaw)] in the field's (left team's) frame."""
        out = []
        for r in self.scene.robots:
            pos, upz, yaw = pose_of(self.scene.world(r.torso))
            out.append((r.team, r.unum, pos, upz, yaw))
        return out

    def heads(self):
        """The head centre (the camera) of each robot of robots(), or None."""
        out = []
        for r in self.scene.robots:
            m = self.scene.world(r.head) if r.head is not None else None
            out.append([m[12], m[13], m[14]] if m else None)
        return out

    def ball(self):
        if self.scene.ball is None:
            return None
        m = self.scene.world(self.scene.ball)
        return [m[12], m[13], m[14]]

    def truth(self):
        """One truth line's dict."""
        ball = self.ball() or [0.0, 0.0, 0.0]
        agents = []
        for (team, unum, pos, upz, yaw), head in zip(self.robots(), self.heads()):
            a = {"team": team, "unum": unum, "pos": [round(v, 4) for v in pos], "upz": round(upz, 4),
                 "yaw": round(yaw, 2)}
            if head is not None:
                a["head"] = [round(v, 4) for v in head]
            agents.append(a)
        return {
            "t": round(self.time, 3),
            "pm": self.play_mode,
            "ball": [round(v, 4) for v in ball],
            "score": list(self.score),
            "agents": agents,
        }


def _number(text, default):
    v = number(text)
    return default if v is None else v


# ---------------------------------------------------------------- trainer commands

def fmt(v):
    return ("%.4f" % v).rstrip("0").rstrip(".") if v != int(v) else "%d" % v


def kick_off(side):
    return "(kickOff %s)" % side


def play_mode(name):
    return "(playMode %s)" % name


def ball_to(x, y, z=0.042):
    return "(ball (pos %s %s %s))" % (fmt(x), fmt(y), fmt(z))


def ball_velocity(vx, vy, vz=0.0):
    return "(ball (vel %s %s %s))" % (fmt(vx), fmt(vy), fmt(vz))


def move_robot(team, unum, x, y, z, yaw):
    """Upright at (x, y, z) facing yaw (degrees, 0 = +x): the server's turn
    angle is the body frame's, a quarter turn off the facing."""
    return "(agent (unum %d)(team %s)(move %s %s %s %s))" % (
        unum, team, fmt(x), fmt(y), fmt(z), fmt(yaw - 90.0))


def turn_robot(team, unum, x, y, z, rx, ry, rz):
    return "(agent (unum %d)(team %s)(pos %s %s %s)(rot %s %s %s))" % (
        unum, team, fmt(x), fmt(y), fmt(z), fmt(rx), fmt(ry), fmt(rz))


REQUEST_FULL = "(reqfullstate)"
