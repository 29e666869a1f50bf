#!/usr/bin/python3
"""Checks our PDU codec against libgammu, an independent implementation.

Our SMS-SUBMIT PDUs must decode in gammu to what we put in; SMS-DELIVER PDUs
that gammu makes must decode in ours to what gammu put in. 7-bit texts draw
on the whole GSM alphabet and its extension table, as far as GBK (the
programs' code page) has the characters.
"""
import binascii
import datetime
import os
import random
import subprocess
import unittest

import gammu

QUILLONCTL = os.path.join(os.environ.get("QUILLON_BIN_DIR", "build/bin"), "quillonctl")
SEED = int(os.environ.get("QUILLON_TEST_SEED", "20261207"))
GSM_SAFE = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 !\"#%&'()*+,-./:;<=>?"
# The GSM 03.38 default alphabet in septet order (0x1B, the escape, left
# out), and the extension table's characters, which take two septets each.
GSM_DEFAULT = ("@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
               "¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà")
GSM_EXTENSION = "^{}\\[~]|€"


def in_gbk(c):
    try:
        c.encode("gbk")
        return True
    except UnicodeEncodeError:
        return c == "€"  # GBK's 0x80, which Python's codec lacks


# No line ends: quillonctl takes the text on its command line.
GSM_TEXT = [c for c in GSM_DEFAULT + GSM_EXTENSION if c not in "\r\n" and in_gbk(c)]
STAMP = datetime.datetime(2024, 7, 12, 16, 30, 42)


def quillonctl(*args, stdin=None):
    result = subprocess.run([QUILLONCTL, *args], input=stdin, capture_output=True, check=True)
    return result.stdout.decode("utf-8")


def blocks(output):
    """key=value blocks separated by blank lines."""
    for chunk in output.strip("\n").split("\n\n"):
        yield dict(line.split("=", 1) for line in chunk.splitlines())


def septets(text):
    return sum(2 if c in GSM_EXTENSION else 1 for c in text)


def gsm_text(rng, low, high):
    """Random 7-bit text of `low` to `high` septets."""
    text = ""
    target = rng.randint(low, high)
    while True:
        c = rng.choice(GSM_TEXT)
        if septets(text + c) > target:
            return text
        text += c


def digits(rng, low, high):
    return "".join(rng.choice("0123456789") for _ in range(rng.randint(low, high)))


def hanzi_text(rng, length):
    # CJK unified ideographs are all in GBK; mix in ASCII as real messages do.
    return "".join(chr(rng.randint(0x4E00, 0x9FA5)) if rng.random() < 0.8 else rng.choice(GSM_SAFE)
                   for _ in range(length))


def deliver_template(number, smsc):
    return {
        "SMSC": {"Location": 0, "Number": "+" + smsc}, "Number": number, "Type": "Deliver",
        "Folder": 1, "InboxFolder": 1, "Memory": "", "Location": 0, "Name": "", "DateTime": STAMP,
        "SMSCDateTime": STAMP, "DeliveryStatus": 0, "ReplyViaSameSMSC": 0, "State": "UnRead", "Class": -1,
        "MessageReference": 0, "ReplaceMessage": 0, "RejectDuplicates": 0,
    }


def listing(pdus):
    reply = "AT+CMGL=0\r\r\n"
    for index, pdu in enumerate(pdus, start=1):
        reply += "+CMGL: %d,0,,%d\r\n%s\r\n" % (index, len(pdu) // 2 - 9, pdu)
    return reply + "\r\nOK\r\n"


class SubmitDecodesInGammu(unittest.TestCase):
    def check(self, smsc, number, dcs, text):
        out = quillonctl("pdu", "encode", "--smsc", smsc, "--to", number, "--dcs", str(dcs), "--text", text)
        pdu_hex, length_line = out.splitlines()
        pdu = binascii.unhexlify(pdu_hex)
        self.assertEqual(int(length_line.split("=")[1]), len(pdu) - (pdu[0] + 1))
        sms = gammu.DecodePDU(pdu, True)
        context = (smsc, number, dcs, text, pdu_hex)
        self.assertEqual(sms["Type"], "Submit", context)
        self.assertEqual(sms["Number"], "+" + number, context)
        self.assertEqual(sms["SMSC"]["Number"], ("+" + smsc) if smsc else "", context)
        self.assertEqual(sms["SMSC"]["Validity"], "5M", context)
        coding = {0: "Default_No_Compression", 8: "Unicode_No_Compression"}.get(dcs, "8bit")
        self.assertEqual(sms["Coding"], coding, context)
        if coding == "8bit":
            self.assertEqual(sms["Text"], text.encode("ascii"), context)
        else:  # libgammu appends what lies past an escaped text's end, after a NUL
            self.assertEqual(sms["Text"].split("\x00")[0], text, context)

    def test_random_messages_in_every_coding(self):
        rng = random.Random(SEED)
        for _ in range(60):
            smsc, number = digits(rng, 3, 15), digits(rng, 1, 15)
            self.check(smsc, number, 0, gsm_text(rng, 1, 160))
            self.check(smsc, number, 8, hanzi_text(rng, rng.randint(1, 70)))
            self.check(smsc, number, 4, "".join(rng.choice(GSM_SAFE) for _ in range(rng.randint(1, 140))))

    def test_boundaries(self):
        self.check("8613800100500", "8613912345678", 0, "x" * 160)
        self.check("8613800100500", "13912345678", 0, "hellohel")
        self.check("8613800100500", "1", 0, "1234567")
        self.check("8613800100500", "1", 0, "@" * 160)  # septet 0, throughout
        self.check("8613800100500", "1", 0, "{}" * 40)  # 160 septets of escapes
        self.check("8613800100500", "12", 8, "中" * 70)
        self.check("86", "123456789012345", 4, "y" * 140)


class GammuDeliverDecodesInOurs(unittest.TestCase):
    def decode(self, pdus):
        return list(blocks(quillonctl("pdu", "listing", "-", stdin=listing(pdus).encode("ascii"))))

    def expect(self, record, number, smsc, text):
        self.assertEqual(record["number"], number)
        self.assertEqual(record["smsc"], smsc)
        self.assertEqual(record["timestamp"][:12], STAMP.strftime("%y%m%d%H%M%S"))
        self.assertEqual(record["text"], text.replace("\\", "\\\\"))  # quillonctl escapes the backslash
        self.assertEqual(record["part"], "-1")

    def test_single_messages(self):
        rng = random.Random(SEED + 1)
        cases = []
        for _ in range(40):
            number, smsc = "86" + digits(rng, 9, 13), "86" + digits(rng, 9, 13)
            for coding, text in (("Default_No_Compression", gsm_text(rng, 1, 160)),
                                 ("Unicode_No_Compression", hanzi_text(rng, rng.randint(1, 70))),
                                 ("8bit", "".join(rng.choice(GSM_SAFE) for _ in range(rng.randint(1, 140))))):
                sms = deliver_template(number, smsc)
                sms.update({"Coding": coding, "Text": text.encode() if coding == "8bit" else text,
                            "UDH": {"Type": "NoUDH", "Text": b""}, "Length": len(text)})
                cases.append((binascii.hexlify(gammu.EncodePDU(sms, "Deliver")).decode().upper(), number, smsc, text))
        records = self.decode([pdu for pdu, *_ in cases])
        self.assertEqual(len(records), len(cases))
        for record, (pdu, number, smsc, text) in zip(records, cases):
            with self.subTest(pdu=pdu):
                self.expect(record, number, smsc, text)

    def concatenated(self, text, unicode, wide, rng):
        entry = "ConcatenatedTextLong16bit" if wide else "ConcatenatedTextLong"
        parts = gammu.EncodeSMS({"Class": -1, "Unicode": unicode, "Entries": [{"ID": entry, "Buffer": text}]})
        number, smsc = "86" + digits(rng, 11, 11), "86" + digits(rng, 11, 11)
        pdus = []
        for part in parts:
            sms = deliver_template(number, smsc)
            sms.update({k: part[k] for k in ("UDH", "Coding", "Text", "Length")})
            pdus.append(binascii.hexlify(gammu.EncodePDU(sms, "Deliver")).decode().upper())
        return pdus, number, smsc

    def test_concatenated_messages_in_any_order(self):
        rng = random.Random(SEED + 2)
        for unicode in (True, False):
            for wide in (False, True):
                with self.subTest(unicode=unicode, wide=wide):
                    text = hanzi_text(rng, 200) if unicode else "".join(rng.choice(GSM_SAFE) for _ in range(400))
                    pdus, number, smsc = self.concatenated(text, unicode, wide, rng)
                    self.assertGreaterEqual(len(pdus), 3)
                    records = self.decode(pdus[1:] + pdus[:1])  # part 1 arrives last
                    self.assertEqual([r["part"] for r in records], [str(n) for n in range(2, len(pdus) + 1)] + ["-1"])
                    self.expect(records[-1], number, smsc, text)
                    self.assertEqual(records[-1]["index"], str(len(pdus)))  # where the last part was stored

    def test_two_messages_interleaved(self):
        rng = random.Random(SEED + 3)
        first, number1, _ = self.concatenated(hanzi_text(rng, 100), True, False, rng)
        second, number2, _ = self.concatenated(hanzi_text(rng, 100), True, True, rng)
        records = self.decode([first[0], second[1], second[0], first[1]])
        complete = [r for r in records if r["part"] == "-1"]
        self.assertEqual([r["number"] for r in complete], [number2, number1])


if __name__ == "__main__":
    print("seed", SEED)
    unittest.main(verbosity=1)
