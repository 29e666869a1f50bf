#!/usr/bin/python3
"""quillonctl as an operator uses it: exact output, exit statuses, errors."""
import os
import shutil
import subprocess
import tempfile
import unittest

QUILLONCTL = os.path.join(os.environ.get("QUILLON_BIN_DIR", "build/bin"), "quillonctl")


def run(*args, stdin=None):
    result = subprocess.run([QUILLONCTL, *args], input=stdin, capture_output=True, timeout=10)
    return result.returncode, result.stdout.decode(), result.stderr.decode()


class WorkedExamples(unittest.TestCase):
    def test_pdu_encode(self):
        self.assertEqual(run("pdu", "encode", "--smsc", "861380", "--to", "8612", "--dcs", "0", "--text", "hi"),
                         (0, "049168310811000491682100000002E834\nlength=12\n", ""))
        self.assertEqual(run("pdu", "encode", "--smsc", "861380", "--to", "8612", "--dcs", "8", "--text", "hi")[1],
                         "04916831081100049168210008000400680069\nlength=14\n")

    def test_packet_encode(self):
        self.assertEqual(run("packet", "encode", "fetch")[1], "FD00111102000000\n")
        self.assertEqual(run("packet", "encode", "open", "--com", "3", "--baud", "9600")[1], "FD0001A905000380250000\n")
        self.assertEqual(run("packet", "encode", "state", "--com", "3", "--baud", "9600", "--state", "0")[1],
                         "FD0002AA0600038025000000\n")
        self.assertEqual(run("packet", "encode", "ack", "--result", "0")[1], "FD001414010000\n")

    def test_packet_decode(self):
        self.assertEqual(run("packet", "decode", "FD0002AA0600038025000000"),
                         (0, "command=TP_MODEM_STATE\ncom=3\nbaud=9600\nstate=0\n", ""))


class RoundTrips(unittest.TestCase):
    def test_submit_and_deliver_packets_carry_chinese(self):
        _, hex_text, _ = run("packet", "encode", "submit", "--smsc", "8613800100500", "--to", "13912345678",
                             "--dcs", "8", "--text", "请注意\\n")
        self.assertEqual(run("packet", "decode", hex_text.strip())[1],
                         "command=TP_SMS_SUBMIT\nsmsc=8613800100500\nto=13912345678\ndcs=8\nlength=8\n"
                         "text=请注意\\\\n\n")
        _, hex_text, _ = run("packet", "encode", "deliver", "--sender", "8613912345678",
                             "--timestamp", "24071216304232", "--text", "你好")
        self.assertIn("text=你好\n", run("packet", "decode", hex_text.strip())[1])

    def test_listing_with_an_incomplete_part(self):
        listing = ("+CMGL: 1,0,,25\r\n0891683108100005F0440D91683119325476F8000842217080200300080500030A0202"
                   "6587\r\n+CMGL: 2,0,,22\r\n0891683108100005F0040D91683119325476F80008422170802003000"
                   "24E2D\r\n\r\nOK\r\n")
        # As the modem sends it, and as pasted from a terminal.
        for ends in (listing, listing.replace("\r\n", "\n")):
            code, out, err = run("pdu", "listing", "-", stdin=ends.encode())
            self.assertEqual(code, 0, err)
            first, second = out.split("\n\n")
            self.assertIn("index=1\n", first)
            self.assertIn("part=2\n", first)
            self.assertIn("index=2\n", second)
            self.assertIn("number=8613912345678\n", second)
            self.assertIn("timestamp=24120708023000\n", second)
            self.assertIn("text=中\n", second)

    def test_listing_without_an_entry_says_so(self):
        code, out, err = run("pdu", "listing", "-", stdin=b"\r\nOK\r\n")
        self.assertEqual((code, out), (2, ""))
        self.assertIn("no \"+CMGL:\" entry", err)


class BadInput(unittest.TestCase):
    def assertRefused(self, *args, status=2):
        code, out, err = run(*args)
        self.assertEqual(code, status, (args, out, err))
        self.assertEqual(out, "")
        self.assertEqual(err.count("\n"), 1, err)

    def test_checksum_is_status_one(self):
        code, _, err = run("packet", "decode", "FD0002AB0600038025000000")
        self.assertEqual((code, err), (1, "invalid TP packet checksum\n"))

    def test_everything_else_is_status_two(self):
        self.assertRefused("packet", "decode", "FD0002AA06000380")  # declared length beyond the bytes
        self.assertRefused("packet", "decode", "XYZ")
        self.assertRefused("packet", "decode", "ABC")
        self.assertRefused("packet", "encode", "open", "--com", "0", "--baud", "9600")
        self.assertRefused("packet", "encode", "open", "--com", "3")
        self.assertRefused("packet", "encode", "teleport")
        self.assertRefused("pdu", "encode", "--smsc", "86", "--to", "12a", "--text", "x")
        self.assertRefused("pdu", "encode", "--smsc", "86", "--to", "1234567890123456", "--text", "x")
        self.assertRefused("pdu", "encode", "--smsc", "86", "--to", "1", "--dcs", "0", "--text", "x" * 161)
        self.assertRefused("pdu", "encode", "--smsc", "86", "--to", "1", "--dcs", "8", "--text", "中" * 71)
        self.assertRefused("pdu", "encode", "--smsc", "86", "--to", "1", "--text", "😀")
        self.assertRefused("pdu", "decode", "0891")
        self.assertRefused("pdu", "listing", "/nonexistent/file")
        self.assertRefused("nonsense")


# "udevadm info --query=property" of a USB modem with a serial number (one of
# its several ports), of one without, and of a built-in port.
USB_MODEM = """DEVPATH=/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.2/ttyUSB2/tty/ttyUSB2
DEVNAME=/dev/ttyUSB2
MAJOR=188
MINOR=2
SUBSYSTEM=tty
ID_BUS=usb
ID_VENDOR_ID=1e0e
ID_MODEL_ID=9001
ID_VENDOR=SimTech
ID_MODEL=SIM7600
ID_SERIAL=SimTech_SIM7600_0123456789ABCDEF
ID_SERIAL_SHORT=0123456789ABCDEF
ID_USB_INTERFACE_NUM=02
ID_USB_DRIVER=option
DEVLINKS=/dev/serial/by-id/usb-SimTech_SIM7600_0123456789ABCDEF-if02-port0
"""
NO_SERIAL = """DEVNAME=/dev/ttyUSB0
SUBSYSTEM=tty
ID_BUS=usb
ID_VENDOR_ID=12d1
ID_MODEL_ID=1001
ID_VENDOR=HUAWEI_Technology
ID_MODEL=HUAWEI_Mobile
ID_USB_INTERFACE_NUM=00
"""
BUILT_IN = "DEVPATH=/devices/pnp0/00:05/tty/ttyS0\nDEVNAME=/dev/ttyS0\nMAJOR=4\nMINOR=64\nSUBSYSTEM=tty\n"
DISK = "DEVNAME=/dev/sda\nSUBSYSTEM=block\nID_BUS=ata\n"


class UdevRule(unittest.TestCase):
    """The rule is built from what a stand-in udevadm on the PATH prints."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="udev_rule_test.")
        self.devices = {"/dev/serial/by-id/usb-SimTech_SIM7600_0123456789ABCDEF-if02-port0": USB_MODEM,
                        "/dev/ttyUSB0": NO_SERIAL, "/dev/ttyS0": BUILT_IN, "/dev/sda": DISK,
                        "/dev/odd": NO_SERIAL.replace("ID_MODEL_ID=1001", 'ID_MODEL_ID=10"01')}
        for number, (name, text) in enumerate(self.devices.items()):
            with open(os.path.join(self.dir, "device%d" % number), "w") as f:
                f.write(name + "\n" + text)
        with open(os.path.join(self.dir, "udevadm"), "w") as f:
            f.write("""#!/bin/sh
# Answers only the question quillonctl must ask.
[ "$1 $2" = "info --query=property" ] || { echo "udevadm: unexpected $*" >&2; exit 64; }
for file in "$(dirname "$0")"/device*; do
    [ "--name=$(head -n 1 "$file")" = "$3" ] && exec tail -n +2 "$file"
done
echo "Unknown device \"${3#--name=}\": No such device" >&2
exit 1
""")
        os.chmod(os.path.join(self.dir, "udevadm"), 0o755)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def rule(self, com, device, path=None):
        env = dict(os.environ, PATH=path if path is not None else self.dir + ":" + os.environ["PATH"])
        result = subprocess.run([QUILLONCTL, "udev-rule", "--com", str(com), "--device", device], env=env,
                                capture_output=True, timeout=10, text=True)
        return result.returncode, result.stdout, result.stderr

    def test_a_usb_modem_is_matched_wherever_it_is_plugged(self):
        self.assertEqual(self.rule(3, "/dev/serial/by-id/usb-SimTech_SIM7600_0123456789ABCDEF-if02-port0"), (0,
            "# COM3: /dev/ttyUSB2, SimTech SIM7600\n"
            'SUBSYSTEM=="tty", ENV{ID_VENDOR_ID}=="1e0e", ENV{ID_MODEL_ID}=="9001", '
            'ENV{ID_SERIAL_SHORT}=="0123456789ABCDEF", ENV{ID_USB_INTERFACE_NUM}=="02", SYMLINK+="quillon/COM3", '
            'GROUP="dialout", MODE="0660", ENV{ID_MM_DEVICE_IGNORE}="1"\n', ""))
        code, out, _ = self.rule(12, "/dev/ttyUSB0")
        self.assertEqual(code, 0)
        self.assertIn("any modem of this model matches", out.splitlines()[0])
        self.assertNotIn("ID_SERIAL_SHORT", out)
        self.assertIn('ENV{ID_MODEL_ID}=="1001", ENV{ID_USB_INTERFACE_NUM}=="00", SYMLINK+="quillon/COM12"', out)

    def test_a_built_in_port_is_matched_by_its_kernel_name(self):
        code, out, _ = self.rule(1, "/dev/ttyS0")
        self.assertEqual(code, 0)
        self.assertEqual(out.splitlines()[1], 'SUBSYSTEM=="tty", KERNEL=="ttyS0", SYMLINK+="quillon/COM1", '
                                              'GROUP="dialout", MODE="0660", ENV{ID_MM_DEVICE_IGNORE}="1"')

    def test_what_cannot_become_a_rule_is_refused_in_one_line(self):
        for args, status, fragment in (((3, "/dev/sda"), 2, "not a serial port"),
                                       ((3, "/dev/ttyUSB9"), 2, "knows no device /dev/ttyUSB9"),
                                       ((3, "/dev/odd"), 2, "ID_MODEL_ID"),
                                       ((0, "/dev/ttyS0"), 2, "--com"),
                                       ((3, "/dev/ttyS0", "/nonexistent"), 2, "cannot run udevadm")):
            code, out, err = self.rule(*args)
            self.assertEqual((code, out), (status, ""), args)
            self.assertIn(fragment, err.splitlines()[-1], args)


if __name__ == "__main__":
    unittest.main()
