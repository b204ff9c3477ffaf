#!/usr/bin/python3
"""The robot type of each uniform number, and today's server's quota on them.

    scripts/teamtypes.py [--today | --classic] [--types=LIST] -n N

prints N lines, one per player in the order they join (number 1 first): its
robot type, 0 the standard robot (started without --type). Today's server as it ships allows a team at most 7 robots of
one type and at most 9 of its two most used types together, and once the
places left are no more than the types still missing, only a new type may
join; on the classic configuration the quota is lifted. A list that the
server would refuse is one line on standard error and exit status 2.
"""

import sys

TYPES = 5               # 0 the standard robot, 1-4 the others of nao_hetero.rsg
MAX_OF_ONE = 7
MAX_OF_TWO = 9
MIN_TYPES = 3
TEAM = 11

# Today's plan, by number. The motions were made on the standard robot, so
# as many as the quota allows play on it: the goalkeeper, the back four and
# numbers 2 and 3 (so a team of three plays as it always has). The other four
# take the two types built like it: type 2 (the same body, a faster ankle
# pitch and a slower ankle roll) for midfielders 4 and 9, type 4 (the same
# body with a toe joint, held flat) for wingers 7 and 8. Types 1 and 3 have
# longer legs and arms, which the motions' angles were not made for.
TODAY = (0, 0, 0, 2, 0, 0, 4, 4, 2, 0, 0)


class Refused(Exception):
    """A team the server would not take; the text says which player and why."""


def parse_list(text):
    """'0,0,2,...' -> [0, 0, 2, ...]; a bad entry raises Refused."""
    out = []
    for item in text.split(","):
        item = item.strip()
        if len(item) != 1 or not "0" <= item <= str(TYPES - 1):
            raise Refused("robot types are 0 to %d, not %r" % (TYPES - 1, item))
        out.append(int(item))
    return out


def refusal(types):
    """Why today's server would refuse a player of this team, joining in this
    order: None, or (index from 1, reason). The server's own checks."""
    count = [0] * TYPES
    for i, t in enumerate(types, 1):
        robots = sum(count)
        kinds = sum(1 for c in count if c)
        two = max(count[t] + 1 + (count[j] if j != t else 0) for j in range(TYPES))
        if count[t] == MAX_OF_ONE:
            return i, "an eighth robot of type %d (at most %d of one type)" % (t, MAX_OF_ONE)
        if two > MAX_OF_TWO:
            return i, "more than %d robots of the two most used types" % MAX_OF_TWO
        if TEAM - robots <= MIN_TYPES - kinds and count[t]:
            return i, "type %d again while the team still needs %d types" % (t, MIN_TYPES)
        count[t] += 1
    return None


def plan(n, today=True, listed=None):
    """Types of players 1..n: the list given, else today's plan or (classic)
    the standard robot. Raises Refused for a list too short or one today's
    server would refuse."""
    if not 1 <= n <= TEAM:
        raise Refused("a team has 1 to %d players, not %d" % (TEAM, n))
    if listed is not None:
        if len(listed) < n:
            raise Refused("%d types for %d players" % (len(listed), n))
        types = list(listed[:n])
    else:
        types = list(TODAY[:n]) if today else [0] * n
    why = refusal(types) if today else None
    if why:
        raise Refused("today's server would refuse player %d: %s" % why)
    return types


def agent_options(t):
    """The agent's options for a robot type: the standard robot is nao.rsg,
    which on this server is type 0 of nao_hetero.rsg, so it needs none."""
    return [] if t == 0 else ["--type=%d" % t]


def main(argv):
    today, listed, n = True, None, None
    args = list(argv)
    try:
        while args:
            a = args.pop(0)
            if a == "--today":
                today = True
            elif a == "--classic":
                today = False
            elif a.startswith("--types="):
                listed = parse_list(a[len("--types="):])
            elif a == "-n" and args:
                n = int(args.pop(0))
            elif a.startswith("-n") and len(a) > 2:
                n = int(a[2:])
            else:
                raise Refused("unknown argument %r" % a)
        if n is None:
            raise Refused("-n N is needed")
        for t in plan(n, today, listed):
            print(t)
    except ValueError:
        print("teamtypes: -n wants a number", file=sys.stderr)
        return 2
    except Refused as e:
        print("teamtypes: %s" % e, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
