"""Glyptika installed into a staging folder, as a packager would: every file
where a Debian desktop looks for it, each valid for the tool that reads it.

Run one group: install_test.py GROUP, with GLYPTIKA_STAGE the DESTDIR and
GLYPTIKA_PREFIX the prefix the build was installed with.
"""
import importlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

STAGE = os.environ["GLYPTIKA_STAGE"]
ROOT = STAGE + os.environ.get("GLYPTIKA_PREFIX", "/usr")
APP_ID = "org.glyptika.Glyptika"
DESKTOP = f"share/applications/{APP_ID}.desktop"
METAINFO = f"share/metainfo/{APP_ID}.metainfo.xml"
SVG = f"share/icons/hicolor/scalable/apps/{APP_ID}.svg"
PNG = f"share/icons/hicolor/48x48/apps/{APP_ID}.png"
PROGRAMS = ["glyptika", "glyptika-cli"]


# The programs the tests run, each with the Debian package that installs it.
PROGRAMS_LIST = os.path.join(os.path.dirname(__file__), "..", "support", "external-programs")
DEBIAN_PATH = "/usr/bin:/bin:/usr/sbin:/sbin"


def package_of(name):
    with open(PROGRAMS_LIST, encoding="utf-8") as f:
        for line in f:
            fields = line.split()
            if fields and not fields[0].startswith("#") and fields[0] == name:
                return fields[1]
    raise AssertionError(f"{name} is not in tests/support/external-programs")


def not_installed(name):
    return AssertionError(f"{name} is not installed (Debian package {package_of(name)}): "
                          "run scripts/install-deps test")


def module(name):
    """A module of one of the list's Python packages ("PIL.Image" of python3:PIL), imported."""
    listed = "python3:" + name.split(".")[0]
    package_of(listed)
    try:
        return importlib.import_module(name)
    except ImportError:
        raise not_installed(listed) from None


def path(relative):
    return os.path.join(ROOT, relative)


def run(args, env=None, timeout=60):
    """Runs a staged program, or one of the list's found where Debian puts it."""
    program = args[0]
    if not program.startswith(ROOT):
        package_of(program)
        program = shutil.which(program, path=DEBIAN_PATH)
        if program is None:
            raise not_installed(args[0])
    return subprocess.run([program] + args[1:], capture_output=True, text=True, env=env,
                          timeout=timeout)


def without_display():
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def version_of(program):
    """The version a program's --version names on its first line."""
    out = run([path("bin/" + program), "--version"], env=without_display())
    match = re.match(rf"{re.escape(program)} (\S+)\n", out.stdout)
    if out.returncode != 0 or not match:
        raise AssertionError(f"{program} --version: exit {out.returncode}, said {out.stdout!r}")
    return match.group(1)


def desktop_keys():
    keys = {}
    with open(path(DESKTOP), encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                keys[key] = value
    return keys


class Files(unittest.TestCase):
    def test_each_file_is_where_debian_looks_for_it(self):
        expected = [
            ("bin/glyptika", True),
            ("bin/glyptika-cli", True),
            ("share/man/man1/glyptika.1", False),
            ("share/man/man1/glyptika-cli.1", False),
            (DESKTOP, False),
            (METAINFO, False),
            (SVG, False),
            (PNG, False),
            ("share/doc/glyptika/LICENSE", False),
            ("share/doc/glyptika/README.md", False),
            # bash-completion loads it by the command's name when Tab is first pressed
            ("share/bash-completion/completions/glyptika-cli", False),
        ]
        for relative, executable in expected:
            with self.subTest(relative):
                self.assertTrue(os.path.isfile(path(relative)), "not installed")
                self.assertEqual(os.access(path(relative), os.X_OK), executable,
                                 "executable" if not executable else "not executable")

    def test_only_the_two_programs_and_no_build_leftovers(self):
        self.assertEqual(sorted(os.listdir(path("bin"))), PROGRAMS)
        for leftover in ("include", "lib", "lib64", "libexec"):
            with self.subTest(leftover):
                self.assertFalse(os.path.exists(path(leftover)), "installed")

    def test_license_is_mit_with_the_copyright_line(self):
        with open(path("share/doc/glyptika/LICENSE"), encoding="utf-8") as f:
            text = f.read()
        self.assertIn("MIT License", text)
        self.assertIn("Copyright (c) 2026 The Glyptika developers", text)
        self.assertIn('THE SOFTWARE IS PROVIDED "AS IS"', text)

    def test_installed_programs_answer_help_and_version_without_a_display(self):
        cases = [
            ("glyptika", "--help", r"Usage: glyptika "),
            ("glyptika", "-h", r"Usage: glyptika "),
            ("glyptika", "--version", r"glyptika \d+\.\d+"),
            ("glyptika", "-V", r"glyptika \d+\.\d+"),
            ("glyptika-cli", "--help", r"Usage: glyptika-cli "),
            ("glyptika-cli", "--version", r"glyptika-cli \d+\.\d+"),
        ]
        for program, option, first in cases:
            with self.subTest(program=program, option=option):
                out = run([path("bin/" + program), option], env=without_display())
                self.assertEqual(out.returncode, 0, out.stderr)
                self.assertRegex(out.stdout, "^" + first)
                self.assertEqual(out.stderr, "")


class Desktop(unittest.TestCase):
    def test_desktop_entry_validates(self):
        out = run(["desktop-file-validate", path(DESKTOP)])
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
        self.assertEqual(out.stdout + out.stderr, "", "warnings")

    def test_desktop_entry_starts_an_installed_program_with_an_installed_icon(self):
        keys = desktop_keys()
        self.assertEqual(keys.get("Type"), "Application")
        self.assertTrue(os.access(path("bin/" + keys["Exec"].split()[0]), os.X_OK), keys["Exec"])
        self.assertEqual(keys.get("Icon"), APP_ID)
        for icon in (SVG, PNG):
            with self.subTest(icon):
                self.assertTrue(os.path.isfile(path(icon)))

    def test_metainfo_validates_alone_and_with_the_installed_tree(self):
        for args in (["validate", "--no-net", path(METAINFO)], ["validate-tree", "--no-net", ROOT]):
            with self.subTest(args[0]):
                out = run(["appstreamcli"] + args)
                self.assertEqual(out.returncode, 0, out.stdout + out.stderr)

    def test_metainfo_names_the_desktop_entry_and_the_installed_programs(self):
        component = ET.parse(path(METAINFO)).getroot()
        self.assertEqual(component.findtext("id"), APP_ID)
        self.assertEqual(component.find("launchable").get("type"), "desktop-id")
        self.assertEqual(component.findtext("launchable"), os.path.basename(DESKTOP))
        provided = sorted(b.text for b in component.findall("provides/binary"))
        self.assertEqual(provided, PROGRAMS)

    def test_newest_release_is_the_version_the_programs_report(self):
        component = ET.parse(path(METAINFO)).getroot()
        newest = component.find("releases/release").get("version")
        for program in PROGRAMS:
            with self.subTest(program):
                self.assertEqual(version_of(program), newest)


def rendered_man_page(page):
    """The page as man shows it, as plain text with ASCII hyphens."""
    env = dict(os.environ, MANWIDTH="200", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING="")
    out = run(["man", "--no-hyphenation", "--no-justification", "-l", page], env=env)
    if out.returncode != 0 or out.stderr:
        raise AssertionError(f"man -l {page}: exit {out.returncode}: {out.stderr}")
    text = re.sub(r".\x08", "", out.stdout)
    return text.replace("\u2010", "-").replace("\u2212", "-")


class ManPages(unittest.TestCase):
    # A page and what it must tell a reader: every option a user types.
    PAGES = [
        ("glyptika", "turn text into GIF and PNG images", ["--help", "--version", "glyptika-cli(1)"]),
        ("glyptika-cli", "turn text into GIF and PNG images",
         ["fonts", "render", "inspect", "--text", "--text-file", "--fill", "--font", "--style",
          "--size", "--color", "--background", "--shadow", "--align", "--width", "--recolor",
          "--transparent", "--out", "--lines", "--mask", "--html", "--indices", "--format",
          "--scale", "glyptika(1)"]),
    ]

    def test_pages_typeset_without_warnings(self):
        for name, _, _ in self.PAGES:
            with self.subTest(name):
                page = path(f"share/man/man1/{name}.1")
                out = run(["groff", "-man", "-Tutf8", "-ww", "-z", page])
                self.assertEqual((out.returncode, out.stderr), (0, ""))

    def test_whatis_finds_the_name_line(self):
        for name, summary, _ in self.PAGES:
            with self.subTest(name):
                out = run(["lexgrog", path(f"share/man/man1/{name}.1")])
                self.assertEqual(out.returncode, 0, out.stdout + out.stderr)
                self.assertIn(f'"{name} - {summary}', out.stdout)

    def test_pages_name_every_option(self):
        for name, _, mentions in self.PAGES:
            text = rendered_man_page(path(f"share/man/man1/{name}.1"))
            for word in mentions:
                with self.subTest(page=name, word=word):
                    self.assertRegex(text, r"(?<![\w-])" + re.escape(word) + r"(?![\w-])")


class Icons(unittest.TestCase):
    def test_png_is_a_48_pixel_square_with_transparency(self):
        Image = module("PIL.Image")
        with Image.open(path(PNG)) as image:
            self.assertEqual(image.format, "PNG")
            self.assertEqual(image.size, (48, 48))
            self.assertEqual(image.mode, "RGBA")
            self.assertEqual(image.getpixel((0, 0))[3], 0, "corner not transparent")

    def test_svg_is_a_square_svg_document(self):
        root = ET.parse(path(SVG)).getroot()
        self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
        _, _, width, height = (float(v) for v in root.get("viewBox").split())
        self.assertEqual(width, height)

    def test_png_shows_what_the_svg_draws(self):
        # The PNG is rendered from the SVG by scripts/render-icon: an SVG
        # edited without running it leaves the two apart.
        Image, ImageChops, ImageStat = (module("PIL." + m) for m in ("Image", "ImageChops",
                                                                       "ImageStat"))
        with tempfile.TemporaryDirectory() as tmp:
            fresh = os.path.join(tmp, "fresh.png")
            out = run(["rsvg-convert", "--width", "48", "--height", "48", "--output", fresh,
                       path(SVG)])
            self.assertEqual(out.returncode, 0, out.stderr)
            with Image.open(fresh) as a, Image.open(path(PNG)) as b:
                difference = ImageChops.difference(a.convert("RGBA"), b.convert("RGBA"))
                worst_mean = max(ImageStat.Stat(difference).mean)
        self.assertLess(worst_mean, 2.0, "rerun scripts/render-icon")


if __name__ == "__main__":
    group = sys.argv.pop(1)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
