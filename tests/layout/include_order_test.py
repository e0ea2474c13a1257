"""The rooms of the source tree and the includes between them.

Each product folder is a room on a floor; a file may include its own room and
rooms on lower floors only, never a room above it or beside it. A wrong
include would often still build (every folder is on the include path, and the
static libraries are linked together in the end), so this reads them."""
import os
import re
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

# From the ground up; rooms on one floor may not include each other.
FLOORS = [
    ["core"],
    ["text"],
    ["mime", "net"],
    ["settings"],
    ["http"],
    ["webmail"],
    ["session"],
    ["imap_wire"],
    ["imap_state"],
    ["pop3", "smtp", "imap"],
    ["gateway"],
    ["ui"],
    ["app", "tools"],
]
FLOOR = {room: level for level, rooms in enumerate(FLOORS) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def sources(room):
    for folder, _, names in os.walk(os.path.join(ROOT, room)):
        for name in names:
            if name.endswith((".h", ".cpp", ".rc")):
                yield os.path.join(folder, name)


def wrong_includes():
    wrong = []
    for room, level in FLOOR.items():
        for path in sources(room):
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if target == room or target not in FLOOR:
                    continue
                if FLOOR[target] >= level:
                    wrong.append(f"{os.path.relpath(path, ROOT)} includes {target}/")
    return wrong


class Layout(unittest.TestCase):
    def test_no_room_includes_a_room_above_or_beside_it(self):
        self.assertEqual([], wrong_includes())

    def test_every_product_folder_has_its_floor(self):
        # A new folder must be given its place before it can be checked.
        skip = {"tests", "bench", "fuzz", "scripts", "packaging", "cmake", "build"}
        folders = {name for name in os.listdir(ROOT)
                   if os.path.isdir(os.path.join(ROOT, name)) and not name.startswith(".")
                   and not name.startswith("build") and name not in skip}
        self.assertEqual(set(), folders - set(FLOOR))


if __name__ == "__main__":
    unittest.main()
