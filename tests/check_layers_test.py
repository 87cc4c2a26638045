"""The layer check against a table and sources of its own, in a scratch folder."""
import importlib.machinery
import importlib.util
import pathlib
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "check-layers"
loader = importlib.machinery.SourceFileLoader("check_layers", str(SCRIPT))
layers = importlib.util.module_from_spec(importlib.util.spec_from_loader("check_layers", loader))
loader.exec_module(layers)

TABLE = """# Layers
| folder | may include | Qt |
|---|---|---|
| `platform/` | - | no |
| `core/` | platform | no |
| `sim/` | core | no |
| `sim/relay/` | sim | no |
| `app/` | core, sim/relay | yes |
| `tests/` | every folder | yes |

Text after the table.
"""


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = pathlib.Path(self.folder.name)
        self.rows = layers.read_table(TABLE)

    def tearDown(self):
        self.folder.cleanup()

    def problems(self, name, text):
        path = self.root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        return layers.check(self.root, [name], self.rows)

    def test_reads_each_row_and_every_folder(self):
        self.assertEqual(self.rows["platform"], (set(), False))
        self.assertEqual(self.rows["app"], ({"core", "sim/relay"}, True))
        self.assertEqual(self.rows["tests"], (None, True))
        self.assertNotIn("Text after the table.", self.rows)

    def test_each_include_against_the_table(self):
        cases = [
            ("core/A.cpp", '#include "platform/Clock.h"\n', 0),
            ("core/A.cpp", '#include "core/B.h"\n', 0),  # its own folder
            ("core/A.cpp", '#include "sim/Vehicle.h"\n', 1),  # upwards
            ("platform/A.cpp", '#include "core/B.h"\n', 1),
            ("core/A.cpp", "#include <QTimer>\n", 1),
            ("core/A.cpp", "#include <QtCore/QTimer>\n", 1),
            ("core/A.cpp", "#include <QtWidgets>\n", 1),  # a whole module
            ("core/A.cpp", "#include <QtCore>\n", 1),
            ("app/A.cpp", "#include <QtWidgets>\n", 0),
            ("core/A.cpp", "#include <vector>\n#include <gtest/gtest.h>\n", 0),
            ("app/A.cpp", "#include <QTimer>\n", 0),
            ("app/A.cpp", '#include "sim/relay/Server.h"\n', 0),  # the subfolder's own row
            ("app/A.cpp", '#include "sim/Vehicle.h"\n', 1),  # not the parent folder
            ("newlib/A.cpp", '#include "core/B.h"\n', 1),  # a folder without a row
            ("examples/A.cpp", '#include "app/B.h"\n', 0),  # shipped examples are not layers
            ("sim/relay/A.cpp", '#include "sim/Vehicle.h"\n', 0),
            ("sim/relay/A.cpp", '#include "core/B.h"\n', 1),
            ("tests/core/A.cpp", '#include "app/X.h"\n#include <QTimer>\n', 0),
        ]
        for name, text, count in cases:
            with self.subTest(name=name, text=text):
                self.assertEqual(len(self.problems(name, text)), count)

    def test_a_problem_names_file_line_and_include(self):
        found = self.problems("core/A.cpp", '// a\n  #  include "sim/Vehicle.h"\n')
        self.assertEqual(len(found), 1)
        self.assertTrue(found[0].startswith("core/A.cpp:2: core/ may not include sim/"), found[0])

    def test_a_broken_table_is_refused(self):
        for text in ["no table here",
                     "| folder | may include | Qt |\n|---|---|---|\n| `core/` | nowhere | no |\n",
                     "| folder | may include | Qt |\n|---|---|---|\n| `core/` | - | maybe |\n"]:
            with self.subTest(text=text), self.assertRaises(ValueError):
                layers.read_table(text)

    def test_the_projects_own_sources_follow_the_projects_table(self):
        root = SCRIPT.parent.parent
        rows = layers.read_table((root / "docs" / "architecture.md").read_text())
        files = [str(p.relative_to(root)) for p in root.glob("*/**/*") if p.suffix in (".h", ".cpp")
                 and not p.relative_to(root).parts[0].startswith("build")]
        self.assertEqual(layers.check(root, files, rows), [])


if __name__ == "__main__":
    sys.exit(unittest.main())
