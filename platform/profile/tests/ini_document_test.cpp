#include "platform/profile/ini_document.h"

#include <string>

#include <gtest/gtest.h>

namespace profile {
namespace {

// GBK for 大面积 and 离线; values and names in the settings files look like this.
constexpr const char* kBigArea = "\xB4\xF3\xC3\xE6\xBB\xFD";
constexpr const char* kOffline = "\xC0\xEB\xCF\xDF";

std::string Edited(const std::string& text, bool (*edit)(IniDocument&)) {
  IniDocument doc = ParseIni(text);
  EXPECT_TRUE(edit(doc));
  return RenderIni(doc);
}

TEST(IniDocumentTest, RenderGivesBackTheBytesRead) {
  const std::string texts[] = {
      "[TotalArea]\r\nName=" + std::string(kBigArea) + "\r\n; note\r\n\r\n[SMS]\r\nCOM=3\r\n",
      "[A]\nx=1\n\n[B]\ny=2\n",
      "[A]\r\nx=1\ny=2\r\nlast line without terminator",
      "junk before any section\r\n[A]\r\n",
      "",
  };
  for (const std::string& text : texts) EXPECT_EQ(RenderIni(ParseIni(text)), text) << text;
}

TEST(IniDocumentTest, ClassifiesLines) {
  const IniDocument doc = ParseIni(
      "k=before any section\r\n"
      "  [ Area1 ]  ; trailing note\r\n"
      "\tName \t=  " +
      std::string(kOffline) +
      "  \r\n"
      ";Name=commented out\r\n"
      "no equals sign\r\n"
      "[unclosed\r\n"
      "[\x81\x5D]\r\n");
  ASSERT_EQ(doc.lines.size(), 7U);
  EXPECT_EQ(doc.lines[0].kind, IniLine::Kind::kOther);
  EXPECT_EQ(doc.lines[1].kind, IniLine::Kind::kSection);
  EXPECT_EQ(doc.lines[1].name, "Area1");
  EXPECT_EQ(doc.lines[2].kind, IniLine::Kind::kEntry);
  EXPECT_EQ(doc.lines[2].name, "Name");
  EXPECT_EQ(doc.lines[2].value, kOffline);
  EXPECT_EQ(doc.lines[3].kind, IniLine::Kind::kOther);
  EXPECT_EQ(doc.lines[4].kind, IniLine::Kind::kOther);
  EXPECT_EQ(doc.lines[5].kind, IniLine::Kind::kOther);
  // The trail byte of this GBK character is ']'; the name runs to the last one.
  EXPECT_EQ(doc.lines[6].kind, IniLine::Kind::kSection);
  EXPECT_EQ(doc.lines[6].name, "\x81\x5D");
}

TEST(IniDocumentTest, NamesFoldAsciiCaseOnly) {
  EXPECT_TRUE(NamesEqual("LastOfflineCount", "lastofflinecount"));
  EXPECT_TRUE(NamesEqual(kBigArea, kBigArea));
  EXPECT_FALSE(NamesEqual("Name1", "Name"));
  // 0x81 0x41 and 0x81 0x61 are two different GBK characters.
  EXPECT_FALSE(NamesEqual("\x81\x41", "\x81\x61"));
  EXPECT_FALSE(NamesEqual("\xC0", "\xE0"));
}

TEST(IniDocumentTest, FindsFirstKeyOfFirstSection) {
  const IniDocument doc = ParseIni(
      "Port=0\r\n"
      "[COM]\r\nPort=1\r\nport=2\r\n"
      "[com]\r\nRate=9600\r\n");
  EXPECT_EQ(FindValue(doc, " com ", " PORT "), "1");
  // Only the first section of a name is searched.
  EXPECT_EQ(FindValue(doc, "COM", "Rate"), std::nullopt);
  EXPECT_EQ(FindValue(doc, "Missing", "Port"), std::nullopt);
  EXPECT_EQ(SectionNames(ParseIni("[]\n[COM]\n[ Area1 ]\n[com]\n")), (std::vector<std::string>{"COM", "Area1", "com"}));
}

TEST(IniDocumentTest, SetValueReplacesInPlace) {
  IniDocument doc = ParseIni("[Ui]\n; keep me\nINTERVAL = 30\nx=1\n");
  EXPECT_TRUE(SetValue(doc, "UI", "Interval", "45"));
  EXPECT_EQ(RenderIni(doc), "[Ui]\n; keep me\nINTERVAL=45\nx=1\n");
  // An equal value leaves the user's formatting alone.
  doc = ParseIni("[Ui]\r\nInterval = 30\r\n");
  EXPECT_FALSE(SetValue(doc, "Ui", "Interval", "30"));
  EXPECT_EQ(RenderIni(doc), "[Ui]\r\nInterval = 30\r\n");
}

TEST(IniDocumentTest, SetValueAppendsKeyAfterLastNonBlankLineOfSection) {
  IniDocument doc = ParseIni("[A]\r\nx=1\r\n; tail\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_TRUE(SetValue(doc, "a", "z", kBigArea));
  EXPECT_EQ(RenderIni(doc), "[A]\r\nx=1\r\n; tail\r\nz=" + std::string(kBigArea) + "\r\n\r\n[B]\r\ny=2\r\n");

  doc = ParseIni("[A]\ny=2");
  EXPECT_TRUE(SetValue(doc, "A", "z", "3"));
  EXPECT_EQ(RenderIni(doc), "[A]\ny=2\r\nz=3\r\n");
}

TEST(IniDocumentTest, SetValueAppendsMissingSectionAtEnd) {
  IniDocument doc;
  EXPECT_TRUE(SetValue(doc, " SMS ", " COM ", "1"));
  EXPECT_TRUE(SetValue(doc, "UI", "Interval", "30"));
  EXPECT_EQ(RenderIni(doc), "[SMS]\r\nCOM=1\r\n\r\n[UI]\r\nInterval=30\r\n");

  doc = ParseIni("[A]\nx=1\n\n");
  EXPECT_TRUE(SetValue(doc, "B", "y", "2"));
  EXPECT_EQ(RenderIni(doc), "[A]\nx=1\n\n[B]\r\ny=2\r\n");

  doc = ParseIni("[A]\nx=1");
  EXPECT_TRUE(SetValue(doc, "B", "y", "2"));
  EXPECT_EQ(RenderIni(doc), "[A]\nx=1\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(IniDocumentTest, DeletesKeysAndSections) {
  EXPECT_EQ(Edited("[A]\r\nx=1\r\nX=2\r\ny=3\r\n", [](IniDocument& d) { return DeleteKey(d, "a", "x"); }),
            "[A]\r\nX=2\r\ny=3\r\n");
  EXPECT_EQ(Edited("[A]\r\nx=1\r\n\r\n[Area2]\r\n; c\r\nID=7\r\n\r\n[B]\r\n[area2]\r\nID=8\r\n",
                   [](IniDocument& d) { return DeleteSection(d, "AREA2"); }),
            "[A]\r\nx=1\r\n\r\n[B]\r\n");

  IniDocument doc = ParseIni("[A]\r\nx=1\r\n");
  EXPECT_FALSE(DeleteKey(doc, "A", "y"));
  EXPECT_FALSE(DeleteKey(doc, "B", "x"));
  EXPECT_FALSE(DeleteSection(doc, "B"));
  EXPECT_EQ(RenderIni(doc), "[A]\r\nx=1\r\n");
}

}  // namespace
}  // namespace profile
