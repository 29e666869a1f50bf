#include "gateway/audio/speakable_text.h"

#include <string>

#include <gtest/gtest.h>

#include "gateway/audio/chinese_numbers.h"

namespace {

struct Case {
  const char* sms;
  const char* spoken;
};

// Messages as schools, property managers, weather services and alarm
// systems send them, and what a listener must hear.
constexpr Case kMessages[] = {
    // School notices
    {"各位家长：明天(12月8日)上午8:30召开家长会，请准时参加。",
     "各位家长：明天十二月八日上午八点三十分召开家长会，请准时参加。"},
    {"请三年级2班的同学14:00到操场集合", "请三年级二班的同学十四点整到操场集合"},
    {"期末考试定于2027年1月15日举行，共3天。", "期末考试定于二零二七年一月十五日举行，共三天。"},
    {"本周五放假，下周一8:05正常上课", "本周五放假，下周一八点零五分正常上课"},
    {"第2名：李华，得分98.5分", "第二名：李华，得分九十八点五分"},
    {"全校共有1,250名学生参加演练", "全校共有一千二百五十名学生参加演练"},
    {"请2位老师到办公室", "请两位老师到办公室"},
    // Alarms and safety
    {"火警！B栋3楼发生火情，请立即疏散！！！", "火警！B栋三楼发生火情，请立即疏散！"},
    {"紧急通知：请拨打119报警", "紧急通知：请拨打幺幺九报警"},
    {"如有人员受伤请拨打急救电话120", "如有人员受伤请拨打急救电话幺二零"},
    {"A区2号门禁故障，请值班人员到A301室处理", "A区二号门禁故障，请值班人员到A三零一室处理"},
    {"地下车库-2层积水，请勿停车", "地下车库负二层积水，请勿停车"},
    {"演练将于09:30开始，持续20分钟", "演练将于九点三十分开始，持续二十分钟"},
    {"请120人以上的楼层优先撤离", "请一百二十人以上的楼层优先撤离"},
    // Weather
    {"明天最低气温-5度，请注意防寒", "明天最低气温零下五度，请注意防寒"},
    {"今天晴，气温-3~5℃，北风3-4级", "今天晴，气温零下三到五摄氏度，北风三到四级"},
    {"降水概率80%，请带好雨具", "降水概率百分之八十，请带好雨具"},
    {"湿度45%，PM2.5指数120", "湿度百分之四十五，PM二点五指数一百二十"},
    {"预计降雨量10.5毫米", "预计降雨量十点五毫米"},
    {"台风预计2026-12-08晚间登陆", "台风预计二零二六年十二月八日晚间登陆"},
    {"2026/12/9起气温回升", "二零二六年十二月九日起气温回升"},
    // Meetings and notices
    {"会议改到3号楼2楼会议室，时间14:30", "会议改到三号楼二楼会议室，时间十四点三十分"},
    {"全体员工请于17:45前离开办公区", "全体员工请于十七点四十五分前离开办公区"},
    {"本月电费共计12,800元，请于25日前缴纳", "本月电费共计一万二千八百元，请于二十五日前缴纳"},
    {"停车费10元/小时", "停车费十元每小时"},
    {"活动经费￥1500元，已到账", "活动经费一千五百元，已到账"},
    {"本次捐款总额10000元", "本次捐款总额一万元"},
    {"报名人数已达25000人", "报名人数已达两万五千人"},
    {"请2小时内回复", "请两小时内回复"},
    {"共计2000份材料", "共计两千份材料"},
    {"会议时长1.5小时，中间休息10分钟", "会议时长一点五小时，中间休息十分钟"},
    // Telephone numbers
    {"如有疑问请联系13800138000", "如有疑问请联系幺三八零零幺三八零零零"},
    {"联系电话：0755-12345678", "联系电话：零七五五 幺二三四五六七八"},
    {"服务热线400-800-1234", "服务热线四零零 八零零 幺二三四"},
    {"客服10086", "客服幺零零八六"},
    {"请回电+86 138 0013 8000", "请回电加八六 幺三八 零零幺三 八零零零"},
    {"值班手机：139 1234 5678", "值班手机：幺三九 幺二三四 五六七八"},
    {"门卫室分机8021", "门卫室分机八零二幺"},
    // Latin words, full-width forms, symbols
    {"请连接WiFi：School-Guest，密码ABC123", "请连接WiFi：School-Guest，密码ABC一二三"},
    {"３号楼１２层会议室", "三号楼十二层会议室"},
    {"明天１４：３０开会！", "明天十四点三十分开会！"},
    {"按#号键确认，按*号键返回", "按井号键确认，按星号键返回"},
    {"通知\n明天停水\n请做好准备", "通知。明天停水。请做好准备"},
    {"请各位注意安全……谢谢", "请各位注意安全，谢谢"},
    {"《安全手册》第3章", "安全手册第三章"},
    {"报名请发邮件至admin@school.edu.cn", "报名请发邮件至admin@school.edu.cn"},
};

TEST(SpeakableText, RealMessagesReadAsAListenerExpects) {
  for (const Case& c : kMessages) {
    SpeakableText spoken = MakeSpeakable(c.sms);
    EXPECT_EQ(spoken.text, c.spoken) << c.sms;
    EXPECT_EQ(spoken.dropped, 0) << c.sms;
    EXPECT_TRUE(spoken.HasSpeech()) << c.sms;
  }
}

TEST(SpeakableText, CountsAreSaidWithTheirPlaces) {
  const std::pair<const char*, const char*> quantities[] = {
      {"0", "零"},
      {"7", "七"},
      {"10", "十"},
      {"15", "十五"},
      {"20", "二十"},
      {"105", "一百零五"},
      {"110", "一百一十"},
      {"1001", "一千零一"},
      {"1050", "一千零五十"},
      {"10010", "一万零一十"},
      {"100000", "十万"},
      {"150000", "十五万"},
      {"1000000", "一百万"},
      {"20000", "两万"},
      {"100000001", "一亿零一"},
      {"200000000", "两亿"},
      {"007", "七"},
  };
  for (auto [digits, words] : quantities) EXPECT_EQ(ChineseQuantity(digits), words) << digits;
  EXPECT_EQ(ChineseQuantity("2", true), "两");
  EXPECT_EQ(ChineseQuantity("12", true), "十二");
  EXPECT_EQ(ChineseQuantity("12345678901234567"), "一二三四五六七八九零一二三四五六七") << "past 16 digits";
  EXPECT_EQ(ChineseDigits("110", true), "幺幺零");
  EXPECT_EQ(ChineseDigits("110"), "一一零");
}

TEST(SpeakableText, WhatNoVoiceCanSayIsLeftOutAndCounted) {
  SpeakableText spoken = MakeSpeakable("会议取消😀👍🏻，请转告\x07同事❤️");
  EXPECT_EQ(spoken.text, "会议取消，请转告同事");
  EXPECT_EQ(spoken.dropped, 4) << "two emoji, the bell and the heart; the skin tone and selector are part of theirs";

  SpeakableText invalid = MakeSpeakable("停电\xff\xfe通知");
  EXPECT_EQ(invalid.text, "停电通知");
  EXPECT_EQ(invalid.dropped, 2);
}

TEST(SpeakableText, NothingToSpeakIsSaidSo) {
  for (const char* empty : {"", "   ", "\n\r\n", "😀😀😀", "？？！", "。。。", "\x01\x02", "（）"}) {
    SpeakableText spoken = MakeSpeakable(empty);
    EXPECT_FALSE(spoken.HasSpeech()) << empty;
  }
  EXPECT_TRUE(MakeSpeakable("OK").HasSpeech());
  EXPECT_TRUE(MakeSpeakable("3").HasSpeech()) << "三";
}

}  // namespace
