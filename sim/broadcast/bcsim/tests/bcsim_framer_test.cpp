// Where the command port cuts commands: the quiet gap, the texts that are
// complete the moment they are whole, and the pieces of long commands.
#include <string>

#include <gtest/gtest.h>

#include "sim/broadcast/bcsim/command_framer.h"

namespace bcsim {
namespace {

using Kind = CommandFramer::Unit::Kind;
constexpr int kQuiet = 50;

TEST(CommandFramer, CommandEndsWhenTheClientHasBeenQuietSinceItsLastByte) {
  CommandFramer framer;
  framer.Feed("session add_term 12,3,", 100);
  framer.Feed("5,9,", 130);
  EXPECT_EQ(framer.DueMs(kQuiet), 180);
  EXPECT_FALSE(framer.Next(179, kQuiet));
  auto unit = framer.Next(180, kQuiet);
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->kind, Kind::kCommand);
  EXPECT_EQ(unit->text, "session add_term 12,3,5,9,");
  EXPECT_EQ(unit->firstByteMs, 100);
  EXPECT_EQ(framer.DueMs(kQuiet), -1);
  EXPECT_FALSE(framer.Next(1000, kQuiet));
}

TEST(CommandFramer, FixedCommandsAreCompleteTheMomentTheyAreWhole) {
  CommandFramer framer;
  framer.Feed("term", 10);
  EXPECT_FALSE(framer.Next(11, kQuiet));
  framer.Feed(" list", 12);
  EXPECT_EQ(framer.DueMs(kQuiet), 12);
  EXPECT_EQ(framer.Next(12, kQuiet)->text, "term list");
  framer.Feed("quit", 20);
  EXPECT_EQ(framer.Next(20, kQuiet)->text, "quit");
  // Only while a command in pieces is open is "999" its end.
  framer.Feed("999", 30);
  EXPECT_FALSE(framer.Next(30, kQuiet));
  auto unit = framer.Next(80, kQuiet);
  EXPECT_EQ(unit->kind, Kind::kCommand);
}

TEST(CommandFramer, PiecesOfALongCommand) {
  CommandFramer framer;
  std::string first = "000 " + std::string(1020, 'a');
  framer.Feed(first.substr(0, 600), 0);
  framer.Feed(first.substr(600), 1);
  auto piece = framer.Next(1, kQuiet);  // 1,024 bytes: cannot grow
  ASSERT_TRUE(piece);
  EXPECT_EQ(piece->kind, Kind::kPiece);
  EXPECT_EQ(piece->sequence, 0);
  EXPECT_EQ(piece->text, first);

  framer.Feed("001 bbbbb", 5);
  EXPECT_FALSE(framer.Next(54, kQuiet));
  piece = framer.Next(55, kQuiet);
  EXPECT_EQ(piece->kind, Kind::kPiece);
  EXPECT_EQ(piece->sequence, 1);

  framer.Feed("999", 60);
  EXPECT_EQ(framer.Next(60, kQuiet)->kind, Kind::kPiecesEnd);
  framer.Feed("999", 70);  // no longer in pieces
  EXPECT_FALSE(framer.Next(70, kQuiet));
}

TEST(CommandFramer, MoreThanOneUnitAtOnceIsCutAt1024Bytes) {
  CommandFramer framer;
  framer.Feed(std::string(1024, 'x') + "quit", 0);
  auto unit = framer.Next(0, kQuiet);
  EXPECT_EQ(unit->text.size(), 1024u);
  EXPECT_EQ(framer.Next(0, kQuiet)->text, "quit");

  framer.Feed("session rm", 10);
  auto rest = framer.TakeRest();
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->text, "session rm");
  EXPECT_FALSE(framer.TakeRest());
}

}  // namespace
}  // namespace bcsim
