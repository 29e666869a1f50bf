#!/usr/bin/python3
"""quillonctl as an operator uses it: exact output, exit statuses, errors."""
import os
import subprocess
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
        listing = ("+CMGL: 1,0,,27\r\n0891683108100005F0440D91683119325476F80008422170802003000A0500030A0202"
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


if __name__ == "__main__":
    unittest.main()
