"""What "cmake --install" puts on a system, from the build folder of the
tests (MIRELINK_BUILD_DIR), below a folder of the test's own (DESTDIR)."""
import os
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("MIRELINK_BUILD_DIR", "")


@unittest.skipUnless(BUILD, "MIRELINK_BUILD_DIR names the build folder")
class Install(unittest.TestCase):
    def install(self, prefix):
        root = tempfile.mkdtemp(prefix="mirelink-install-")
        self.addCleanup(shutil.rmtree, root)
        done = subprocess.run(["cmake", "--install", BUILD, "--component", "gateway", "--prefix", prefix],
                              env=dict(os.environ, DESTDIR=root), capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return root + prefix

    def test_the_unit_starts_the_program_where_the_installation_puts_it(self):
        for prefix in ("/usr/local", "/opt/mirelink"):
            with self.subTest(prefix=prefix):
                installed = self.install(prefix)
                self.assertTrue(os.access(installed + "/bin/mirelink", os.X_OK))
                with open(installed + "/lib/systemd/user/mirelink.service") as f:
                    unit = f.read().splitlines()
                self.assertIn("ExecStart=%s/bin/mirelink --log -" % prefix, unit)
                self.assertIn("Type=notify", unit)
                self.assertTrue(os.path.isfile(installed + "/share/bash-completion/completions/mirelink"))
                self.assertFalse(os.path.exists(installed + "/bin/mirelink-httpmail"))


if __name__ == "__main__":
    unittest.main()
