#!/usr/bin/python3
"""bcsim as the gateway's agent, the stream components and the terminal
information components see it: the command protocol with its framing and
pieces, the term list in several receives, what the data port recorded per
session, the information port's answers, and every fault the control port
can switch on."""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bcsim_harness import (BCSIM, E_TERMINAL_GONE, FILE_END, FILE_START, S_FALSE, BcSim, CommandClient, InfoClient,
                           data_record, frame_record, free_ports, parse_term_list, wait_for)

LOGON = "logon 10\tadmin\tvexil"
# An MPEG-1 layer III frame header and a body; only the sync bits matter here.
FRAME = b"\xff\xfb\x90\x64" + bytes(413)


class SimTestCase(unittest.TestCase):
    scenario = {"generate": {"terminals": 12, "areas": 2}}

    def setUp(self):
        self.sim = BcSim(self.scenario)

    def tearDown(self):
        self.assertEqual(self.sim.stop(), 0)

    def logged_on(self):
        client = CommandClient(self.sim.cmd_port)
        self.assertEqual(client.command(LOGON), b"000 OK")
        return client


class Logon(SimTestCase):
    def test_default_credentials_and_refusals(self):
        client = CommandClient(self.sim.cmd_port)
        self.assertEqual(client.command("session new x\t65794\t500\t10"), b"401 not logged on")
        self.assertEqual(client.command("logon 10\tadmin\tVexil"), b"201 logon refused")
        self.assertEqual(client.command("term list"), b"401 not logged on")
        self.assertEqual(client.command(LOGON), b"000 OK")
        self.assertEqual(client.command("session frobnicate 1"), b"400 unknown command")
        client.close()
        self.assertEqual(self.sim.session(1), None)

    def test_configured_credentials(self):
        self.sim.ok(cmd="credentials", user="运维", password="pw")
        client = CommandClient(self.sim.cmd_port)
        self.assertTrue(client.command(LOGON).startswith(b"201"))
        self.assertEqual(client.command("logon 10\t运维\tpw"), b"000 OK")
        client.close()
        self.sim.ok(cmd="reset")
        client = CommandClient(self.sim.cmd_port)
        self.assertEqual(client.command(LOGON), b"000 OK")
        client.close()


class Sessions(SimTestCase):
    def test_lifecycle_in_sessions_and_log(self):
        client = self.logged_on()
        self.assertEqual(client.command("session new 短信广播\t65794\t500\t10"), b"000 1")
        self.assertEqual(client.command("session add_term 1,3,5,9,"), b"000")
        self.assertEqual(client.command("session add_term 1,11,"), b"000")
        self.assertEqual(client.command("session set 1\tSTAT=1"), b"000")
        client.send("quit")
        self.assertEqual(client.receive(), b"")  # the server closes
        client.close()

        session = self.sim.session(1)
        self.assertEqual((session["name"], session["kind"], session["session_priority"], session["user_priority"]),
                         ("短信广播", 65794, 500, 10))
        self.assertEqual(session["terminals"], [3, 5, 9, 11])
        self.assertEqual(session["state"], "started")

        remover = self.logged_on()
        self.assertEqual(remover.command("session set 1\tSTAT=0"), b"000")
        self.assertEqual(self.sim.session(1)["state"], "stopped")
        self.assertEqual(remover.command("session rm 1"), b"000")
        self.assertEqual(remover.command("session rm 1"), b"404 no such session")
        self.assertEqual(remover.command("session set 1\tSTAT=1"), b"404 no such session")
        self.assertEqual(remover.command("session new second\t65794\t500\t10"), b"000 2")
        self.assertEqual(remover.command("session set 2\tSTAT=7"), b"400 bad arguments")
        remover.close()

        session = self.sim.session(1)
        self.assertEqual(session["state"], "removed")
        self.assertEqual([e["event"] for e in session["events"]],
                         ["new", "add_term", "add_term", "start", "stop", "remove"])
        log = self.sim.ok(cmd="log")
        self.assertEqual(log["open"], 0)
        first = [e for e in log["entries"] if e["conn"] == log["entries"][0]["conn"]]
        self.assertEqual([e["kind"] for e in first], ["connect"] + ["command"] * 6 + ["close"])
        self.assertEqual([e.get("line") for e in first[1:-1]],
                         [LOGON, "session new 短信广播\t65794\t500\t10", "session add_term 1,3,5,9,",
                          "session add_term 1,11,", "session set 1\tSTAT=1", "quit"])
        self.assertEqual(first[-1]["by"], "server")
        times = [e["t"] for e in first]
        self.assertEqual(times, sorted(times))
        self.assertEqual(self.sim.ok(cmd="log", clear=True)["entries"][-1]["kind"], "close")
        self.assertEqual(self.sim.ok(cmd="log")["entries"], [])


class Framing(SimTestCase):
    def test_command_split_across_segments_is_one_command(self):
        client = self.logged_on()
        client.command("session new a\t65794\t500\t10")
        client.send("session add_term 1,")
        time.sleep(0.01)
        client.send("3,5,")
        self.assertEqual(client.receive(), b"000")
        client.send("te")
        time.sleep(0.01)
        client.send("rm list")  # complete the moment it is whole
        self.assertTrue(client.receive().startswith(b"000 1\t"))
        client.close()
        self.assertEqual(self.sim.session(1)["terminals"], [3, 5])
        self.assertIn("session add_term 1,3,5,", self.sim.commands())

    def test_long_command_in_pieces_is_reassembled(self):
        client = self.logged_on()
        client.command("session new a\t65794\t500\t10")
        ids = list(range(1000, 1200)) + [12345]
        command = "session add_term 1," + "".join("%d," % i for i in ids)
        self.assertEqual(len(command), 1025)
        pieces, final = client.chunked(command)
        self.assertEqual((pieces, final), ([b"000", b"000"], b"000"))
        self.assertEqual(self.sim.session(1)["terminals"], ids)
        entries = [e for e in self.sim.ok(cmd="log")["entries"] if e["kind"] in ("piece", "pieces_end", "command")]
        self.assertEqual([(e["kind"], e.get("seq")) for e in entries[-4:]],
                         [("piece", 0), ("piece", 1), ("pieces_end", None), ("command", None)])
        self.assertEqual(len(entries[-4]["line"]), 1024)
        self.assertEqual(entries[-3]["line"], "001 " + command[1020:])
        self.assertEqual((entries[-1]["line"], entries[-1]["pieces"]), (command, 2))

        # A piece out of order spoils the command; its "999" is refused.
        self.assertEqual(client.command(b"000 session rm"), b"000")
        self.assertEqual(client.command(b"002  1"), b"400 piece out of order")
        self.assertTrue(client.command(b"999").startswith(b"400"))
        self.assertEqual(self.sim.session(1)["state"], "created")
        client.close()


class TermList(SimTestCase):
    scenario = {"generate": {"terminals": 250, "areas": 3},
                "terminals": [{"id": 7, "online": False, "fault": 5, "name": "Hall A"}, {"id": 9, "tag": ""}]}

    def test_long_list_arrives_in_several_receives(self):
        client = self.logged_on()
        receives = client.term_list()
        client.close()
        data = b"".join(receives)
        self.assertGreater(len(receives), 3)
        self.assertTrue(data.endswith(b"\n000 \n"))
        lines = data.split(b"\n")[:-2]
        self.assertEqual(len(lines), 250)
        self.assertEqual(lines[0], "000 1\t终端001\t10.0.0.1\t1\t1\t0\tT001".encode("gbk"))
        self.assertEqual(lines[6], b"000 7\tHall A\t10.0.0.7\t1\t0\t5\tT007")
        self.assertEqual(lines[249].split(b"\t")[2:4], [b"10.0.0.250", b"3"])
        terminals = parse_term_list(data)
        # The empty tag of 9 leaves a six-field line, which a reader skips.
        self.assertEqual(len(terminals), 249)
        self.assertNotIn(9, [t[0] for t in terminals])
        entry = [e for e in self.sim.ok(cmd="log")["entries"] if e.get("line") == "term list"][0]
        self.assertEqual((entry["lines"], entry["bytes"]), (250, len(data)))

    def test_extra_lines_pacing_and_unlisted_terminals(self):
        self.sim.ok(cmd="term_list_extra", lines=["000 1\tx\t1.2.3.4\t0\t1\t0\n", "junk\n"], at=2)
        self.sim.ok(cmd="set_terminal", id=3, listed=False)
        self.sim.ok(cmd="remove_terminal", id=4)
        self.sim.ok(cmd="term_list_pacing", chunk=100000, gap_ms=0)
        client = self.logged_on()
        receives = client.term_list()
        client.close()
        lines = b"".join(receives).split(b"\n")
        self.assertEqual(len(receives), 1)
        self.assertEqual(lines[2:4], [b"000 1\tx\t1.2.3.4\t0\t1\t0", b"junk"])
        self.assertEqual(len(lines), 248 + 2 + 2)  # end line, and the empty rest after it
        ids = [t[0] for t in parse_term_list(b"".join(receives))]
        self.assertNotIn(3, ids)
        self.assertNotIn(4, ids)


class DataPort(SimTestCase):
    def test_records_are_kept_per_session(self):
        stream = b"".join([
            data_record(FILE_START, 1, "/tmp/语音/one.mp3".encode()),
            data_record(FILE_START, 2, b"/tmp/b.mp3"),
            frame_record(1, 26122, FRAME), frame_record(2, 26122, FRAME), frame_record(1, 26122, FRAME),
            data_record(FILE_END, 1),
            data_record(FILE_START, 1, b"/tmp/two.mp3"),
            frame_record(1, 24000, b"\x00\x01junk"),
            data_record(FILE_END, 1),
        ])
        sock = socket.create_connection(("127.0.0.1", self.sim.data_port))
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for at in range(0, len(stream), 7):  # records split and joined anywhere
            sock.sendall(stream[at:at + 7])
            if at % 140 == 0:
                time.sleep(0.002)
        got = wait_for(lambda: (self.sim.session(1) or {}).get("received", {}).get("frames") == 3)
        self.assertTrue(got)
        one = self.sim.session(1)
        self.assertEqual(one["state"], "unknown")  # no command created it
        received = one["received"]
        self.assertEqual([(f["path"], f["frames"], f["bytes"], f["duration_us"], f["unsynced"], f["ended"])
                          for f in received["files"]],
                         [("/tmp/语音/one.mp3", 2, 2 * len(FRAME), 52244, 0, True),
                          ("/tmp/two.mp3", 1, 6, 24000, 1, True)])
        self.assertEqual((received["frames"], received["bytes"], received["duration_us"]),
                         (3, 2 * len(FRAME) + 6, 76244))
        self.assertLessEqual(received["first_frame_ms"], received["last_frame_ms"])
        self.assertEqual(self.sim.session(2)["received"]["files"][0]["ended"], False)

        # A session created afterwards keeps what came for its number.
        client = self.logged_on()
        self.assertEqual(client.command("session new a\t65794\t500\t10"), b"000 1")
        client.close()
        self.assertEqual(self.sim.session(1)["received"]["frames"], 3)

        sock.sendall(data_record(9, 1))
        self.assertEqual(sock.recv(10), b"")  # a broken stream is closed
        sock.close()
        errors = self.sim.ok(cmd="sessions")["data_errors"]
        self.assertEqual(len(errors), 1)
        self.assertIn("record type 9", errors[0]["error"])


class InfoPort(SimTestCase):
    scenario = {"generate": {"terminals": 250, "areas": 1},
                "terminals": [{"id": 5, "online": False, "fault": 0x85}, {"id": 6, "state": 0},
                              {"id": 300, "ip": "192.168.1.5", "name": "Hall A", "tag": "A-1"}],
                "areas": [{"id": 7, "name": "静默区", "members": [300, 5], "s_false": True}]}

    def test_directory_and_items(self):
        info = InfoClient(self.sim.info_port)
        self.assertEqual(info.request(op="terminal_count"), {"hr": 0, "count": 251})
        ids = info.request(op="terminal_ids", first=0, max=251)["ids"]
        self.assertEqual(ids, list(range(1, 251)) + [300])
        self.assertEqual(info.request(op="terminal_ids", first=249, max=10)["ids"], [250, 300])
        self.assertEqual(info.request(op="terminal_addresses", ids=[300, 1, 999])["addresses"],
                         [0xC0A80105, 0x0A000001, 0])
        self.assertEqual(info.request(op="area_count")["count"], 2)
        self.assertEqual(info.request(op="area_ids", first=0, max=2)["ids"], [1, 7])
        self.assertEqual(info.request(op="area_name", id=1), {"hr": 0, "name": "区域1"})
        self.assertEqual(info.request(op="area_name", id=7), {"hr": S_FALSE})
        self.assertLess(info.request(op="area_name", id=8)["hr"], 0)
        pages = [info.request(op="area_terminals", id=1, first=first, max=100)["ids"] for first in (0, 100, 200)]
        self.assertEqual([len(p) for p in pages], [100, 100, 50])
        self.assertEqual(pages[2][-1], 250)
        self.assertEqual(info.request(op="area_terminals", id=7, first=0, max=100)["ids"], [300, 5])
        self.assertEqual(info.request(op="terminal", id=300),
                         {"hr": 0, "name": "Hall A", "tag": "A-1", "state": 1, "fault": 0})
        five = info.request(op="terminal", id=5)
        self.assertEqual((five["state"] < 0, five["fault"]), (True, 0x85))
        self.assertEqual(info.request(op="terminal", id=6)["state"], 0)
        self.assertEqual(info.request(op="terminal", id=251), {"hr": E_TERMINAL_GONE})
        self.assertLess(info.request(op="bogus")["hr"], 0)
        self.assertLess(info.request(op="terminal_ids", first=0)["hr"], 0)  # no max

        # Changes show at once; a removed terminal is gone everywhere.
        self.sim.ok(cmd="set_terminal", id=300, online=False, fault=6, name="Hall B")
        self.assertEqual(info.request(op="terminal", id=300)["name"], "Hall B")
        self.sim.ok(cmd="remove_terminal", id=300)
        self.assertEqual(info.request(op="terminal", id=300), {"hr": E_TERMINAL_GONE})
        self.assertEqual(info.request(op="area_terminals", id=7, first=0, max=100)["ids"], [5])
        self.assertEqual(info.request(op="terminal_count")["count"], 250)
        # Unlisted: out of the lists, yet the item still answers.
        self.sim.ok(cmd="set_terminal", id=2, listed=False)
        self.assertNotIn(2, info.request(op="terminal_ids", first=0, max=300)["ids"])
        self.assertEqual(info.request(op="terminal", id=2)["hr"], 0)
        self.sim.ok(cmd="set_area", id=7, s_false=False, name="新区", members=[1])
        self.sim.ok(cmd="add_area", id=9, members=[3, 4])
        self.sim.ok(cmd="remove_area", id=1)
        self.assertEqual(info.request(op="area_ids", first=0, max=5)["ids"], [7, 9])
        self.assertEqual(info.request(op="area_name", id=7)["name"], "新区")
        self.assertEqual(info.request(op="area_name", id=9)["name"], "区域9")
        info.close()

        requests = self.sim.ok(cmd="info_log")["entries"]
        self.assertEqual(requests[0]["request"], {"op": "terminal_count"})
        self.assertEqual(requests[0]["reply"], {"hr": 0, "count": 251})

    def test_control_rejects_bad_changes(self):
        for request in [dict(cmd="add_terminal", id=1), dict(cmd="set_terminal", id=999, online=True),
                        dict(cmd="set_terminal", id=1, ip="10.0.0"), dict(cmd="set_terminal", id=1, fault="5"),
                        dict(cmd="remove_area", id=42), dict(cmd="load", scenario={"terminalz": []}),
                        dict(cmd="fail", command="session nuke"), dict(cmd="frobnicate"),
                        # members that are no terminal ids, rather than truncated or wrapped ones
                        dict(cmd="add_area", id=8, members=[1e10]), dict(cmd="add_area", id=9, members=[4294967297]),
                        dict(cmd="set_area", id=7, members=[300, 1.5])]:
            reply = self.sim.control(**request)
            self.assertFalse(reply["ok"], request)
            self.assertTrue(reply["error"])
        self.assertEqual([(a["id"], a["members"][:2]) for a in self.sim.ok(cmd="scenario")["areas"]],
                         [(1, [1, 2]), (7, [300, 5])])
        self.sim.sock.sendall(b"not json\n")
        self.assertFalse(json.loads(self.sim.replies.readline())["ok"])
        self.assertEqual(self.sim.ok(cmd="scenario")["terminals"][0]["ip"], "10.0.0.1")


class Faults(SimTestCase):
    def test_refused_and_stalled_commands(self):
        self.sim.ok(cmd="fail", command="session new", code="503")
        self.sim.ok(cmd="stall", command="term list", count=-1)
        self.sim.ok(cmd="stall", command="session rm", apply=True)
        client = CommandClient(self.sim.cmd_port, timeout=0.3)
        self.assertEqual(client.command(LOGON), b"000 OK")
        self.assertEqual(client.command("session new a\t65794\t500\t10"), b"503 simulated failure")
        self.assertEqual(client.command("session new a\t65794\t500\t10"), b"000 1")
        self.assertEqual(client.command("term list"), None)
        self.assertEqual(client.command("term list"), None)
        self.assertEqual(client.command("session rm 1"), None)
        self.assertEqual(self.sim.session(1)["state"], "removed")  # it acted all the same
        self.sim.ok(cmd="stall", command="term list", count=0)
        self.assertTrue(client.command("term list").startswith(b"000 1\t"))
        client.close()
        stalled = [e for e in self.sim.ok(cmd="log")["entries"] if e.get("stalled")]
        self.assertEqual([e["line"] for e in stalled], ["term list", "term list", "session rm 1"])

        self.sim.ok(cmd="fail", command="logon", count=2)
        for _ in range(2):
            client = CommandClient(self.sim.cmd_port)
            self.assertEqual(client.command(LOGON), b"500 simulated failure")
            self.assertEqual(client.command("term list"), b"401 not logged on")
            client.close()
        client = self.logged_on()
        self.assertEqual(client.command("session set 1\tSTAT=1"), b"404 no such session")
        client.close()

    def test_failed_piece_and_list_closed_midway(self):
        self.sim.ok(cmd="fail", command="piece")
        client = self.logged_on()
        self.assertEqual(client.chunked("x" * 1100)[0][0], b"500 simulated failure")
        self.sim.ok(cmd="term_list_close", after=3)
        receives = client.term_list()
        self.assertEqual(b"".join(receives).count(b"\n"), 3)
        self.assertEqual(client.receive(), b"")  # closed, without the end line
        client.close()
        client = self.logged_on()
        self.assertTrue(b"".join(client.term_list()).endswith(b"000 \n"))  # only once
        client.close()

    def test_information_faults_and_outage(self):
        info = InfoClient(self.sim.info_port)
        self.sim.ok(cmd="fail_info", op="terminal", id=4, hr=-2147467259, count=2)
        self.sim.ok(cmd="fail_info", op="area_count", hr=-5, count=-1)
        self.assertEqual(info.request(op="terminal", id=3)["hr"], 0)
        self.assertEqual([info.request(op="terminal", id=4)["hr"] for _ in range(3)], [-2147467259] * 2 + [0])
        self.assertEqual([info.request(op="area_count")["hr"] for _ in range(3)], [-5] * 3)
        faults = self.sim.ok(cmd="fail_info", op="area_count", count=0)["faults"]
        self.assertEqual(faults["info"], [])
        self.assertEqual(info.request(op="area_count")["hr"], 0)

        self.sim.ok(cmd="info_down")
        with self.assertRaises(OSError):
            info.request(op="terminal_count")  # the open connection goes too
        info.close()
        with self.assertRaises(ConnectionRefusedError):
            InfoClient(self.sim.info_port)
        self.sim.ok(cmd="info_up")
        info = InfoClient(self.sim.info_port)
        self.assertEqual(info.request(op="terminal_count")["count"], 12)
        info.close()

        self.sim.ok(cmd="port_down", port="info")
        self.sim.ok(cmd="fail", command="logon", count=-1)
        self.sim.ok(cmd="set_terminal", id=1, name="changed")
        self.sim.ok(cmd="reset")
        self.assertEqual(self.sim.ok(cmd="faults")["faults"]["fail"], {})
        info = InfoClient(self.sim.info_port)
        self.assertEqual(info.request(op="terminal", id=1)["name"], "终端001")
        info.close()
        self.logged_on().close()


class Startup(unittest.TestCase):
    def test_scenario_file_and_refusals_to_start(self):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            json.dump({"generate": {"terminals": 4}, "areas": [{"id": 2, "members": [4, 1]}]}, f)
        try:
            sim = BcSim(f.name)
            info = InfoClient(sim.info_port)
            self.assertEqual(info.request(op="area_terminals", id=2, max=9)["ids"], [4, 1])
            info.close()
            sim.ok(cmd="load", scenario={})
            sim.ok(cmd="reset")
            self.assertEqual(sim.ok(cmd="scenario")["terminals"], [])
            self.assertEqual(sim.ok(cmd="load", path=f.name)["terminals"], 4)
            with open(f.name, "w") as broken:
                broken.write('{"terminals": [{"id": 1, "ip": "10.0.0.300"}]}')
            run = subprocess.run([BCSIM, "--control", str(sim.control_port + 1), "--scenario", f.name],
                                 capture_output=True, timeout=5)
            self.assertEqual((run.returncode, run.stdout), (1, b""))
            self.assertIn(b"dotted IPv4", run.stderr)
            # A port already taken.
            ports = [str(p) for p in free_ports(2)]
            run = subprocess.run([BCSIM, "--cmd-port", ports[0], "--data-port", ports[1], "--info-port",
                                  str(sim.info_port), "--control", str(sim.control_port)],
                                 capture_output=True, timeout=5)
            self.assertEqual(run.returncode, 1)
            self.assertEqual(sim.stop(), 0)
        finally:
            os.unlink(f.name)


class Robustness(SimTestCase):
    scenario = {"generate": {"terminals": 3000}}

    def test_many_generated_areas_load_without_stalling_the_simulator(self):
        started = time.monotonic()
        self.assertEqual(self.sim.ok(cmd="load", scenario={"generate": {"areas": 100000}})["areas"], 100000)
        self.assertLess(time.monotonic() - started, 3)
        self.assertEqual(self.logged_on().command("session new a\t65794\t500\t10"), b"000 1")

    def test_slow_and_many_clients_do_not_hold_up_others(self):
        # A client that asks for a long list and never reads it.
        sluggard = self.logged_on()
        sluggard.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sluggard.send("term list")
        crowd = [CommandClient(self.sim.cmd_port) for _ in range(60)]
        for client in crowd:
            client.send(LOGON)
        self.assertEqual([client.receive() for client in crowd], [b"000 OK"] * 60)
        self.assertEqual(self.sim.ok(cmd="log")["open"], 61)
        for client in crowd:
            client.close()
        data = b""
        while not data.endswith(b"000 \n"):
            data += sluggard.receive()
        self.assertEqual(len(parse_term_list(data)), 3000)
        sluggard.close()


if __name__ == "__main__":
    unittest.main()
