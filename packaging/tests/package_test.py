#!/usr/bin/python3
"""The three Debian packages as an administrator gets them: built with CPack
from this build, then read with dpkg-deb, judged by lintian, unpacked and
run, their man pages rendered, their unit scored by systemd-analyze."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BIN = os.environ.get("QUILLON_BIN_DIR", "build/bin")
BUILD = os.path.dirname(os.path.abspath(BIN))
PACKAGES = ("quillon", "heraldo", "vigimon")
# A message as the modem lists it: "你好" from 8613912345678.
PDU = "0891683108200105F0040D91683119325476F8000842217080200300044F60597D"
DOC = ("usr/share/doc/{0}/copyright", "usr/share/doc/{0}/changelog.gz")
FILES = {
    "quillon": {"usr/lib/quillon/Quillon", "usr/lib/quillon/quillonctl", "usr/sbin/Quillon", "usr/bin/quillonctl",
                "lib/systemd/system/quillon.service", "lib/udev/rules.d/70-quillon.rules", "etc/default/quillon",
                "usr/share/bash-completion/completions/quillonctl", "usr/share/man/man8/Quillon.8.gz",
                "usr/share/man/man1/quillonctl.1.gz", "usr/share/quillon/prometheus/alerts.yml",
                "usr/share/quillon/prometheus/alerts.test.yml", "usr/share/quillon/prometheus/prometheus.yml"},
    "heraldo": {"usr/lib/heraldo/Heraldo", "usr/lib/heraldo/liblame_enc.so", "usr/lib/heraldo/OneSecond.mp3",
                "usr/lib/heraldo/voices.catalogue", "usr/bin/Heraldo", "usr/share/heraldo/SMS.ini",
                "usr/share/heraldo/SMServer.ini", "usr/share/applications/heraldo.desktop",
                "usr/share/icons/hicolor/scalable/apps/heraldo.svg", "usr/share/man/man1/Heraldo.1.gz",
                "usr/share/lintian/overrides/heraldo"},
    "vigimon": {"usr/lib/vigimon/Vigimon", "usr/bin/Vigimon", "usr/share/vigimon/Vigimon.ini",
                "usr/share/applications/vigimon.desktop", "etc/xdg/autostart/vigimon.desktop",
                "usr/share/icons/hicolor/scalable/apps/vigimon.svg", "usr/share/man/man1/Vigimon.1.gz"},
}
# Libraries each package must depend on, as only dpkg-shlibdeps would find
# them all, and what is named by hand.
DEPENDS = {
    "quillon": ("libace-", "libstdc++6", "libc6", "adduser", "libsystemd0", "libprometheus-cpp-pull"),
    "heraldo": ("libace-", "libqt6widgets6", "libespeak-ng1", "libmp3lame0", "libmpg123-0", "fonts-noto-cjk"),
    "vigimon": ("libace-", "libqt6widgets6", "libgsf-1-114", "fonts-noto-cjk"),
}


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=kwargs.pop("timeout", 120), **kwargs)


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read(), re.M).group(1)


class Packages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="package_test.")
        out = os.path.join(cls.dir, "packages")
        made = run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out, cwd=BUILD, timeout=600)
        if made.returncode != 0:
            raise AssertionError("cpack failed:\n" + made.stdout + made.stderr)
        cls.version = project_version()
        arch = run("dpkg", "--print-architecture").stdout.strip()
        cls.debs = {name: os.path.join(out, "%s_%s_%s.deb" % (name, cls.version, arch)) for name in PACKAGES}
        # All three unpacked into one tree, as installed together.
        cls.root = os.path.join(cls.dir, "root")
        for deb in cls.debs.values():
            subprocess.run(["dpkg-deb", "-x", deb, cls.root], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def path(self, relative):
        return os.path.join(self.root, relative)

    def test_each_package_holds_its_files_and_nothing_else(self):
        for name, deb in self.debs.items():
            listing = run("dpkg-deb", "-c", deb).stdout.splitlines()
            files = {line.split()[5][2:] for line in listing if not line.startswith("d")}
            self.assertEqual(files, FILES[name] | {f.format(name) for f in DOC}, name)
            for line in listing:
                self.assertEqual(line.split()[1], "root/root", line)
            for program in (f for f in FILES[name] if "/bin/" in f or f.startswith("usr/lib/") and "." not in f):
                self.assertTrue(os.access(self.path(program), os.X_OK), program)

    def test_control_fields_carry_the_version_and_the_dependencies(self):
        for name, deb in self.debs.items():
            fields = run("dpkg-deb", "-f", deb, "Package", "Version", "Source", "Depends").stdout
            self.assertIn("Package: %s\n" % name, fields)
            self.assertIn("Version: %s\n" % self.version, fields)
            self.assertIn("Source: quillon\n", fields)
            for depend in DEPENDS[name]:
                self.assertIn(depend, fields.split("Depends:")[1], name)
        with open(os.path.join(self.dir, "changelog"), "wb") as changelog:
            changelog.write(run("zcat", self.path("usr/share/doc/quillon/changelog.gz")).stdout.encode())
        with open(os.path.join(self.dir, "changelog")) as changelog:
            self.assertTrue(changelog.readline().startswith("quillon (%s) " % self.version),
                            "packaging/changelog needs an entry for this version")

    def test_lintian_finds_no_error_and_no_warning_left_unexplained(self):
        # Accepted warnings are overridden, with their reasons, in packaging/lintian/.
        result = run("lintian", "--no-tag-display-limit", *self.debs.values(), timeout=300)
        complaints = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:")]
        self.assertEqual(complaints, [], result.stdout + result.stderr)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_the_unpacked_programs_run(self):
        for relative, name in (("usr/sbin/Quillon", "Quillon"), ("usr/bin/quillonctl", "quillonctl"),
                               ("usr/lib/heraldo/Heraldo", "Heraldo"), ("usr/lib/vigimon/Vigimon", "Vigimon")):
            self.assertEqual(run(self.path(relative), "--version").stdout, "%s %s\n" % (name, self.version))
        decoded = run(self.path("usr/bin/quillonctl"), "pdu", "decode", PDU)
        self.assertEqual(decoded.returncode, 0, decoded.stderr)
        self.assertIn("number=8613912345678\n", decoded.stdout)
        self.assertIn("text=你好\n", decoded.stdout)

    def test_launchers_set_up_the_operators_folder_once(self):
        home = os.path.join(self.dir, "home")
        env = dict(os.environ, HOME=home)
        env.pop("HERALDO_HOME", None)
        env.pop("VIGIMON_HOME", None)
        env.pop("XDG_DATA_HOME", None)
        folder = os.path.join(home, ".local", "share", "heraldo")
        wav = os.path.join(self.dir, "spoken.wav")
        # Speaking and encoding goes through what the launcher put in place:
        # the voice list beside the program, the encoder linked into the folder.
        spoken = run(self.path("usr/bin/Heraldo"), "--speak", "测试", "--out", wav, env=env, timeout=60)
        self.assertEqual(spoken.returncode, 0, spoken.stdout + spoken.stderr)
        self.assertTrue(os.path.getsize(wav[:-4] + ".mp3") > 0)
        for file in ("SMS.ini", "SMServer.ini"):
            with open(os.path.join(folder, file), "rb") as copy, open(self.path("usr/share/heraldo/" + file),
                                                                       "rb") as shipped:
                self.assertEqual(copy.read(), shipped.read(), file)
        self.assertEqual(os.readlink(os.path.join(folder, "liblame_enc.so")),
                         self.path("usr/lib/heraldo/liblame_enc.so"))
        self.assertTrue(os.path.islink(os.path.join(folder, "OneSecond.mp3")))

        # An existing installation's files are read as they are.
        existing = "[COM]\r\nPort=4\r\nRate=9600\r\n[PAT1]\r\nNumber=13912345678\r\nIDs=1,2\r\n".encode("gbk")
        settings = "[SMS]\r\nCOM=3\r\n[TotalArea]\r\nName=大面积离线\r\n".encode("gbk")
        with open(os.path.join(folder, "SMS.ini"), "wb") as f:
            f.write(existing)
        os.makedirs(os.path.join(home, "monitor"))
        with open(os.path.join(home, "monitor", "Vigimon.ini"), "wb") as f:
            f.write(settings)
        self.assertEqual(run(self.path("usr/bin/Heraldo"), "--version", env=env).returncode, 0)
        env["VIGIMON_HOME"] = os.path.join(home, "monitor")
        self.assertEqual(run(self.path("usr/bin/Vigimon"), "--version", env=env).stdout,
                         "Vigimon %s\n" % self.version)
        with open(os.path.join(folder, "SMS.ini"), "rb") as f:
            self.assertEqual(f.read(), existing)
        with open(os.path.join(home, "monitor", "Vigimon.ini"), "rb") as f:
            self.assertEqual(f.read(), settings)

        del env["VIGIMON_HOME"]
        self.assertEqual(run(self.path("usr/bin/Vigimon"), "--version", env=env).returncode, 0)
        self.assertTrue(os.path.isfile(os.path.join(home, ".local", "share", "vigimon", "Vigimon.ini")))

    def test_man_pages_render(self):
        pages = {"man8/Quillon.8.gz": "FILES", "man1/quillonctl.1.gz": "COMMANDS", "man1/Heraldo.1.gz": "FILES",
                 "man1/Vigimon.1.gz": "FILES"}
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
        for page, own_section in pages.items():
            rendered = run("man", "--warnings", "-E", "UTF-8", "-l", self.path("usr/share/man/" + page), env=env)
            self.assertEqual((rendered.returncode, rendered.stderr), (0, ""), page)
            for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ENVIRONMENT", "EXIT STATUS", "EXAMPLES",
                            own_section):
                self.assertRegex(rendered.stdout, "(?m)^%s$" % section, page)
            self.assertIn("Quillon %s" % self.version, rendered.stdout.splitlines()[-1], page)

    def test_the_service_is_locked_down(self):
        unit = self.path("lib/systemd/system/quillon.service")
        with open(unit) as f:
            text = f.read()
        self.assertIn('\nExecStart="/usr/lib/quillon/Quillon" $QUILLON_OPTS\n', text)
        self.assertIn("\nUser=quillon\n", text)
        scored = run("systemd-analyze", "security", "--offline=true", "--no-pager", unit)
        exposure = re.search(r"Overall exposure level for quillon\.service: ([0-9.]+)", scored.stdout)
        self.assertIsNotNone(exposure, scored.stdout + scored.stderr)
        self.assertLess(float(exposure.group(1)), 3.0, scored.stdout)
        self.assertEqual(scored.stderr, "", "systemd cannot read every line of the unit")

    def test_quillon_registered_from_source_writes_the_packages_unit(self):
        scratch = os.path.join(self.dir, "service-verb")
        os.makedirs(os.path.join(scratch, "units"))
        env = dict(os.environ, QUILLON_UNIT_DIR=os.path.join(scratch, "units"),
                   QUILLON_REGISTRY=os.path.join(scratch, "registry"),
                   QUILLON_USER_REGISTRY=os.path.join(scratch, "user-registry"))
        program = self.path("usr/lib/quillon/Quillon")
        self.assertEqual(run(program, "-Service", env=env).returncode, 0)
        with open(os.path.join(scratch, "units", "quillon.service")) as written, \
                open(self.path("lib/systemd/system/quillon.service")) as packaged:
            self.assertEqual(written.read().replace(program, "/usr/lib/quillon/Quillon"), packaged.read())

    def test_desktop_entries(self):
        for entry in ("usr/share/applications/heraldo.desktop", "usr/share/applications/vigimon.desktop",
                      "etc/xdg/autostart/vigimon.desktop"):
            checked = run("desktop-file-validate", self.path(entry))
            self.assertEqual((checked.returncode, checked.stdout), (0, ""), entry)
            with open(self.path(entry)) as f:
                fields = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
            self.assertTrue(os.access(self.path("usr/bin/" + fields["Exec"]), os.X_OK), entry)
            self.assertTrue(os.path.isfile(self.path("usr/share/icons/hicolor/scalable/apps/%s.svg" % fields["Icon"])))
        # Vigimon starts at log-in only once the operator asks for it.
        with open(self.path("etc/xdg/autostart/vigimon.desktop")) as f:
            self.assertIn("\nHidden=true\n", f.read())

    def test_bash_completes_quillonctl(self):
        script = self.path("usr/share/bash-completion/completions/quillonctl")

        def complete(*words):
            line = 'source "%s"; COMP_WORDS=(quillonctl %s); COMP_CWORD=%d; _quillonctl; echo "${COMPREPLY[*]}"' % (
                script, " ".join("'%s'" % w for w in words), len(words))
            return run("bash", "--norc", "-c", line).stdout.split()

        self.assertEqual(complete("pa"), ["packet"])
        self.assertEqual(complete("packet", "encode", "s"), ["state", "submit"])
        self.assertEqual(complete("udev-rule", "--"), ["--com", "--device"])
        self.assertIn("--centre", complete("send", "--"))
        self.assertEqual(complete("pdu", "encode", "--to", ""), [])


if __name__ == "__main__":
    unittest.main()
