#!/usr/bin/python3
"""Faults the gateway meets on its way to the broadcast server: the server
down or stalled, its data port down, the terminal list cut short, and a
temp/ folder it cannot write. Each message either plays in full on its
terminals, after the server is back when it was away, or its row fails with
the reason in log.txt; the gateway goes on with the next one."""
import os
import unittest

from fault_matrix import Installation, wait_until

AUTHORISED = "13911112222"
EVERYONE = "13500000000"  # not in the table: the whole terminal list hears it


class GatewayFaults(unittest.TestCase):
    def start(self, regular=0):
        self.site = Installation(self, heraldo=True, pat={AUTHORISED: "3,7,"}, regular=regular, delay=1,
                                 terminals=12)
        self.heraldo, self.bcsim = self.site.heraldo, self.site.bcsim

    def message(self, sender, text):
        """Injects an SMS and returns its row's final state once it has one."""
        self.site.inject(sender, text)
        finished = wait_until(lambda: [s for s in self.site.row_states(text) if s in ("短信播放完成", "短信播放失败")],
                              30)
        self.assertTrue(finished, "\n".join(self.heraldo.lines))
        return finished[0]

    def log_lines(self):
        if not os.path.exists(os.path.join(self.heraldo.home, "log.txt")):
            return []
        with open(os.path.join(self.heraldo.home, "log.txt"), "rb") as log:
            return log.read().decode("gbk").split("\r\n")

    def sessions(self):
        return self.bcsim.ok(cmd="sessions")["sessions"]

    def assert_last_played_in_full(self, terminals):
        """The last session went through start and removal on `terminals` and received the spoken file whole."""
        session = wait_until(lambda: [s for s in self.sessions() if s["state"] == "removed"
                                      and any(text_file(f) for f in s["received"]["files"])][-1:], 10)
        self.assertTrue(session, self.sessions())
        session = session[-1]
        self.assertEqual([e["event"] for e in session["events"]], ["new", "add_term", "start", "stop", "remove"])
        self.assertEqual(session["terminals"], terminals)
        spoken = [f for f in session["received"]["files"] if text_file(f)]
        self.assertTrue(spoken[0]["ended"] and spoken[0]["frames"] > 0, session)

    def test_a_server_down_or_stalled_holds_the_row_until_it_answers_again(self):
        self.start()
        self.bcsim.ok(cmd="port_down", port="command")
        self.bcsim.ok(cmd="port_down", port="data")
        self.site.inject(AUTHORISED, "服务器停止时")
        self.assertTrue(wait_until(lambda: [line for line in self.log_lines()
                                            if "did not start the session; tried again until" in line], 20),
                        self.log_lines())
        self.assertEqual(self.site.row_states("服务器停止时")[-1], "短信等待播放")
        self.bcsim.ok(cmd="port_up", port="command")
        self.bcsim.ok(cmd="port_up", port="data")
        self.assertTrue(wait_until(lambda: "短信播放完成" in self.site.row_states("服务器停止时"), 40),
                        "\n".join(self.heraldo.lines))
        self.assert_last_played_in_full([3, 7])

        said = {"session new": "创建会话失败", "session add_term": "添加终端失败", "session set": "启动会话失败"}
        for command in ("session new", "session add_term", "session set"):
            # The played row's session leaves the server a moment later; the stall is not for its commands.
            self.assertTrue(wait_until(lambda: all(s["state"] == "removed" for s in self.sessions()), 10))
            heard = len(self.heraldo.lines)
            self.bcsim.ok(cmd="stall", command=command, count=1)
            # Tried again once the stalled command has failed: the row still plays.
            self.assertEqual(self.message(AUTHORISED, "卡住的" + command), "短信播放完成", command)
            # No session is left at the server that the row does not show as playing.
            self.assertTrue(wait_until(lambda: all(s["state"] == "removed" for s in self.sessions()), 10),
                            self.sessions())
            self.assertTrue([line for line in self.heraldo.lines[heard:]
                             if line.startswith("broadcast: " + said[command]) and command in line],
                            "\n".join(self.heraldo.lines[heard:]))
        self.assertTrue(self.heraldo.proc.poll() is None)

    def test_audio_that_never_reaches_the_data_port_fails_the_row_with_the_reason(self):
        self.start()
        self.bcsim.ok(cmd="port_down", port="data")
        self.assertEqual(self.message(AUTHORISED, "数据端口关闭"), "短信播放失败")
        lines = self.log_lines()
        self.assertTrue([line for line in lines if "not broadcast:" in line
                         and "did not reach the broadcast server's data port" in line], lines)
        self.bcsim.ok(cmd="port_up", port="data")
        self.assertEqual(self.message(AUTHORISED, "数据端口恢复"), "短信播放完成")
        self.assert_last_played_in_full([3, 7])

    def test_a_terminal_list_cut_short_is_never_played_to_part_of_the_installation(self):
        self.start(regular=1)
        self.bcsim.ok(cmd="term_list_close", after=5, count=1)
        self.assertEqual(self.message(EVERYONE, "名单中断"), "短信播放完成")
        self.assertFalse([s for s in self.sessions() if s["terminals"] != list(range(1, 13))], self.sessions())
        self.assert_last_played_in_full(list(range(1, 13)))

    def test_an_unwritable_temp_fails_the_row_says_why_and_the_gateway_goes_on(self):
        self.start()
        temp = os.path.join(self.heraldo.home, "temp")
        os.rmdir(temp)
        with open(temp, "w"):  # a file where the folder should be: root cannot write into it either
            pass
        self.assertEqual(self.message(AUTHORISED, "无法生成声音"), "短信播放失败")
        with open(os.path.join(self.heraldo.home, "log.txt"), "rb") as log:
            lines = log.read().decode("gbk").split("\r\n")
        reason = [line for line in lines if "MP3" in line or "mp3" in line]
        self.assertTrue(any("temp" in line for line in reason), lines)
        self.assertFalse(any(text_file(f) for s in self.sessions() for f in s["received"]["files"]))

        os.remove(temp)
        self.assertEqual(self.message(AUTHORISED, "恢复之后"), "短信播放完成")
        self.assert_last_played_in_full([3, 7])
        self.assertTrue(os.path.isdir(temp))


def text_file(received):
    """Whether a file the server received is a message's speech, not the lead-in."""
    return received["path"] is not None and os.path.basename(received["path"]).startswith(("139", "135"))


if __name__ == "__main__":
    unittest.main()
