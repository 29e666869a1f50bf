#include "platform/com/guid.h"

#include <set>
#include <unordered_set>

#include <gtest/gtest.h>

namespace {

using com::FormatGuid;
using com::Guid;
using com::ParseGuid;

TEST(Guid, TextRoundTripKeepsFieldOrder) {
  auto g = ParseGuid("{1C5B8693-5955-4920-BDC6-303B240FE8D3}");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->data1, 0x1C5B8693u);
  EXPECT_EQ(g->data2, 0x5955);
  EXPECT_EQ(g->data3, 0x4920);
  EXPECT_EQ(g->data4, (std::array<uint8_t, 8>{0xBD, 0xC6, 0x30, 0x3B, 0x24, 0x0F, 0xE8, 0xD3}));
  EXPECT_EQ(FormatGuid(*g), "{1C5B8693-5955-4920-BDC6-303B240FE8D3}");
  // Lower-case digits are read; the text form is written in upper case.
  EXPECT_EQ(ParseGuid("{1c5b8693-5955-4920-bdc6-303b240fe8d3}"), g);
  constexpr Guid kLiteral = com::GuidLiteral("{1C5B8693-5955-4920-BDC6-303B240FE8D3}");
  EXPECT_EQ(kLiteral, *g);
  EXPECT_EQ(FormatGuid(com::kNullGuid), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, RejectsAnythingButTheBracedForm) {
  for (const char* text : {"", "1C5B8693-5955-4920-BDC6-303B240FE8D3", "{1C5B8693-5955-4920-BDC6-303B240FE8D3",
                           "{1C5B8693-5955-4920-BDC6303B240FE8D3-}", "{1C5B8693-5955-4920-BDC6-303B240FE8DG}",
                           "{1C5B8693 5955-4920-BDC6-303B240FE8D3}", "{1C5B8693-5955-4920-BDC6-303B240FE8D3}x",
                           "{+C5B8693-5955-4920-BDC6-303B240FE8D3}"})
    EXPECT_FALSE(ParseGuid(text)) << text;
}

TEST(Guid, OrdersAndHashesByValue) {
  Guid a = com::GuidLiteral("{00000001-0000-0000-0000-000000000000}");
  Guid b = com::GuidLiteral("{00000000-0000-0000-0000-000000000001}");
  EXPECT_NE(a, b);
  EXPECT_LT(b, a);  // the first field decides first
  std::unordered_set<Guid> set{a, b, a};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(set.count(*ParseGuid("{00000001-0000-0000-0000-000000000000}")));
  EXPECT_NE(std::hash<Guid>{}(a), std::hash<Guid>{}(b));
}

}  // namespace
