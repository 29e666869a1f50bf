#!/usr/bin/python3
"""Heraldo ended with SIGKILL in the middle of a broadcast, as a power cut
would end it, while SMS from two authorised numbers keep arriving: after
its restart every message is played, and none twice but the one cut off."""
import collections
import os
import re
import sqlite3
import unittest

from fault_matrix import Installation, wait_until

FIRST, SECOND = "13911112222", "13933334444"


class GatewayKilledMidBroadcast(unittest.TestCase):
    def test_every_message_plays_once_after_a_kill_during_the_third_broadcast(self):
        site = Installation(self, heraldo=True, pat={FIRST: "3,7,", SECOND: "5,"}, regular=0, delay=1,
                            terminals=12)
        texts = ["第%02d条广播，请注意" % i for i in range(20)]
        for i, text in enumerate(texts):
            site.inject(FIRST if i % 2 == 0 else SECOND, text)

        def sessions():
            return site.bcsim.ok(cmd="sessions")["sessions"]

        self.assertTrue(wait_until(lambda: len(sessions()) >= 3, 60), "\n".join(site.heraldo.lines))
        site.heraldo.kill_and_restart()

        def played_in_full():
            """journal id -> how many sessions received its speech whole."""
            counts = collections.Counter()
            for session in sessions():
                for received in session["received"]["files"]:
                    name = os.path.basename(received["path"] or "")
                    found = re.match(r"(%s|%s)_(\d+)_" % (FIRST, SECOND), name)
                    if found and received["ended"] and received["frames"] > 0:
                        counts[int(found.group(2))] += 1
            return counts

        self.assertTrue(wait_until(lambda: len(played_in_full()) == 20, 120),
                        "%s\n%s" % (played_in_full(), "\n".join(site.heraldo.lines)))
        counts = played_in_full()
        self.assertEqual(sorted(counts), list(range(1, 21)), "one journal entry per SMS, each played")
        twice = [id for id, count in counts.items() if count > 1]
        self.assertLessEqual(len(twice), 1, counts)
        self.assertTrue(all(count <= 2 for count in counts.values()), counts)
        # Each journal entry is one of the texts, each text one entry.
        with sqlite3.connect(os.path.join(site.heraldo.home, "heraldo.db")) as db:
            journaled = {id: text.decode("gbk") for id, text in
                         db.execute("SELECT id, CAST(text AS BLOB) FROM message WHERE is_text = 0")}
        self.assertEqual(sorted(journaled.values()), sorted(texts))
        self.assertEqual(sorted(journaled), sorted(counts))

if __name__ == "__main__":
    unittest.main()
