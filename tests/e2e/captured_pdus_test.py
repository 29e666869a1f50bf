#!/usr/bin/python3
"""PDUs captured on real networks (published by other projects' test
suites, smsservice/modem/tests/data/captured_pdus.json).

Stored in modemsim as they were captured, listed by Quillon and fetched by
a client, every text message arrives once, whole, from its sender; no
status report, port-addressed data, data for the handset or broken PDU
arrives as text. Decoded by quillonctl, each agrees with libgammu wherever
libgammu decodes it right."""
import collections
import json
import os
import subprocess
import unittest

import gammu

from quillon_harness import BIN, SOURCE, Quillon

CORPUS = os.path.join(SOURCE, "smsservice", "modem", "tests", "data", "captured_pdus.json")


def in_code_page(character):
    if character == "\u20ac":
        return character  # GBK's 0x80, which Python's codec lacks
    try:
        character.encode("gbk")
        return character
    except UnicodeEncodeError:
        return "?"


def shown(text):
    """As a client prints it: through the code page (a character it lacks is
    one "?"), with backslash, CR and LF escaped."""
    text = "".join(in_code_page(c) for c in text)
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")


def expected_messages(corpus):
    """(sender, text) of every message the corpus holds whole; text None for
    8-bit data, whose bytes are no text to compare."""
    messages = collections.Counter()
    parts = collections.defaultdict(list)
    for entry in corpus:
        if entry["verdict"] != "message":
            continue
        concat = entry.get("concat")
        if not concat:
            messages[(shown(entry["number"]), None if entry["text"] is None else shown(entry["text"]))] += 1
            continue
        parts[(entry["number"], concat["reference"], concat["wide"])].append(entry)
    for (number, _, _), listed in parts.items():
        if len(listed) != listed[0]["concat"]["total"]:
            continue  # the corpus lacks a part: the message waits
        listed.sort(key=lambda e: e["concat"]["sequence"])
        messages[(shown(number), shown("".join(e["text"] for e in listed)))] += 1
    return messages


class CapturedPdus(unittest.TestCase):
    def test_every_message_arrives_once_and_nothing_else_does(self):
        with open(CORPUS, encoding="utf-8") as f:
            corpus = json.load(f)
        expected = expected_messages(corpus)
        self.assertGreaterEqual(sum(expected.values()), 40)
        q = Quillon(storage=len(corpus) + 10)
        self.addCleanup(q.stop)
        q.open_ready()
        for entry in corpus:
            # A modem stores whole octets; the PDUs cut inside one are the decoder test's.
            if len(entry["pdu"]) % 2 == 0:
                q.sim.ok(cmd="inject_pdu", pdu=entry["pdu"])

        got = q.quillonctl("fetch", "--count", str(sum(expected.values())), "--timeout", "60", timeout=120)
        self.assertEqual(got.returncode, 0, got.stderr)
        extra = q.quillonctl("fetch", "--timeout", "5")
        self.assertEqual(extra.stdout, "", "something more than the messages arrived")
        arrived = collections.Counter()
        for line in got.stdout.split("\n")[:-1]:  # not splitlines(): a text may hold a form feed
            sender = line[len("from="):line.index(" time=")]
            text = line[line.index(" text=") + len(" text="):]
            arrived[(sender, text if (sender, text) in expected else None)] += 1
        self.assertEqual(arrived - expected, collections.Counter(), "arrived, not expected")
        self.assertEqual(expected - arrived, collections.Counter(), "expected, not arrived")
        # Every entry is gone from the modem, the withheld ones too.
        self.assertEqual(q.sim.ok(cmd="storage")["messages"], [])


# Where libgammu itself is wrong on a corpus entry, the field not compared.
GAMMU_FAULTS = {
    "gammu_at_sms_04_alnum_O2": "number",  # alphanumeric senders as raw septets
    "ofono_unicode_deliver_dcs19_national_smsc": "number",
    "android_cphs_mwi_set_pid41_alnum": "number",
    "android_cphs_mwi_clear_pid41_tz_minus8": "number",
    "android_cphs_mwi_clear_pid41_delta_at": "number",
    "frontline_alnum_from_orange": "number",
    "android_addressing_ton6_star_hash": "number",  # drops the digits * # a b c
    "android_cingular_mwi_set_dcs_c8_udh01": "number",  # reads the filler semi-octet as a digit
    "android_cingular_mwi_clear_dcs_c0": "number",
    "gammu_at_sms_09_ton4_year99": "timestamp",  # 1999 taken as 2089
    "frontline_turkish_single_shift_udh24": "text",  # a national shift table neither side has
}
KINDS = {"Deliver": None, "Status_Report": "a status report, not a message", "Submit": "a PDU that is no SMS-DELIVER"}


def decode(pdu):
    """quillonctl's decoding of one PDU: its fields, or None when broken."""
    result = subprocess.run([os.path.join(BIN, "quillonctl"), "pdu", "decode", pdu], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    return dict(line.split("=", 1) for line in result.stdout.split("\n") if "=" in line)


class AgreeWithGammu(unittest.TestCase):
    def test_every_pdu_gammu_decodes_decodes_alike(self):
        with open(CORPUS, encoding="utf-8") as f:
            corpus = json.load(f)
        compared = 0
        for entry in corpus:
            if len(entry["pdu"]) % 2:
                continue  # half an octet: no bytes to hand libgammu
            try:
                theirs = gammu.DecodePDU(bytes.fromhex(entry["pdu"]))
            except gammu.GSMError:
                continue
            ours = decode(entry["pdu"])
            faulty = GAMMU_FAULTS.get(entry["id"], "")
            with self.subTest(entry["id"]):
                self.assertIsNotNone(ours, "gammu decodes what we call broken")
                if theirs["Type"] != "Deliver":
                    self.assertEqual(ours.get("withheld"), KINDS[theirs["Type"]])
                    continue
                self.assertNotIn(ours.get("withheld"), set(KINDS.values()) - {None})
                compared += 1
                if faulty != "number":
                    self.assertEqual(ours["number"], shown(theirs["Number"].lstrip("+")))
                if faulty != "timestamp":
                    self.assertEqual(ours["timestamp"][:12], theirs["DateTime"].strftime("%y%m%d%H%M%S"))
                udh = theirs["UDH"]
                if udh["Type"].startswith("ConcatenatedMessages"):
                    self.assertEqual(int(ours["part"]), udh["PartNumber"] if "withheld" not in ours else 0)
                text_coding = theirs["Coding"] in ("Default_No_Compression", "Unicode_No_Compression")
                if text_coding and "withheld" not in ours and faulty != "text":
                    # libgammu appends what lies past an escaped text's end, after a NUL.
                    self.assertEqual(ours["text"], shown(theirs["Text"].split("\x00")[0]))
        self.assertGreaterEqual(compared, 80)


if __name__ == "__main__":
    unittest.main()
